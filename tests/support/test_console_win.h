// A console of the test's own, made fresh for one test, whose screen the test reads back: what
// a program started in it wrote there.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <string>

namespace skyswap::test {

class TestConsole {
  public:
    TestConsole() {
        FreeConsole();
        if (AllocConsole()) {
            screen_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        }
    }
    ~TestConsole() {
        if (screen_ != INVALID_HANDLE_VALUE) {
            CloseHandle(screen_);
        }
        FreeConsole();
    }
    TestConsole(const TestConsole&) = delete;
    TestConsole& operator=(const TestConsole&) = delete;

    bool made() const { return screen_ != INVALID_HANDLE_VALUE; }
    HANDLE screen() const { return screen_; }

    // What the screen holds, lines joined by spaces.
    std::wstring Text() const {
        CONSOLE_SCREEN_BUFFER_INFO info{};
        GetConsoleScreenBufferInfo(screen_, &info);
        const DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
        std::wstring text(cells, L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(screen_, text.data(), cells, {0, 0}, &read);
        text.resize(read);
        return text;
    }

  private:
    HANDLE screen_ = INVALID_HANDLE_VALUE;
};

}  // namespace skyswap::test
#endif
