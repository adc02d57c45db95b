// One SkySwap per library, with real processes: a second start in the same library (in another
// letter case) brings the first window to the front, restored, and ends; another library has a
// window of its own; a restart given /library waits for the SkySwap that started it to end.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "single_instance_win.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

class Program {
  public:
    Program(const std::wstring& folder, const std::wstring& arguments = L"") {
        std::wstring commandLine = L"\"" + Utf8ToWide(HostPath(SKYSWAP_EXE_PATH)) + L"\"";
        if (!arguments.empty()) {
            commandLine += L" " + arguments;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  folder.c_str(), &startup, &process_) != 0;
    }
    ~Program() {
        if (started_) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
            }
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return started_; }
    DWORD id() const { return process_.dwProcessId; }
    // The exit code once ended within `milliseconds`, else STILL_ACTIVE.
    DWORD WaitForEnd(DWORD milliseconds) const {
        WaitForSingleObject(process_.hProcess, milliseconds);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

  private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

// The window holding the library, once one of process `processId` (any when 0) holds it.
HWND WaitForHolder(const std::wstring& library, DWORD processId = 0) {
    for (int waited = 0; waited < 30000; waited += 100) {
        HWND window = SingleInstance::FindHolderWindow(library);
        DWORD owner = 0;
        if (window != nullptr) {
            GetWindowThreadProcessId(window, &owner);
        }
        if (window != nullptr && (processId == 0 || owner == processId)) {
            return window;
        }
        Sleep(100);
    }
    return nullptr;
}

std::wstring Upper(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return towupper(c); });
    return text;
}

// A library and the first SkySwap started in it, with its window.
struct FirstSkySwap {
    TempFolder temp;
    const bool made = (MakePictureLibrary(temp, 2), true);  // before the program starts
    const std::wstring library = Utf8ToWide(temp.Join(kLibrary));
    Program first{library};
    const HWND window = WaitForHolder(library, first.id());
};

TEST(SingleInstance, ASecondStartInTheSameLibraryBringsTheFirstWindowBack) {
    FirstSkySwap running;
    const std::wstring& library = running.library;
    const Program& first = running.first;
    const HWND window = running.window;
    ASSERT_NE(window, nullptr) << "the first SkySwap's window never came";
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));

    Program second(Upper(library) + L"\\");
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.WaitForEnd(30000), 0u) << "the second start ends";
    for (int waited = 0; waited < 5000 && IsIconic(window); waited += 50) {
        Sleep(50);
    }
    EXPECT_FALSE(IsIconic(window)) << "the first window is restored";
    EXPECT_EQ(first.WaitForEnd(0), static_cast<DWORD>(STILL_ACTIVE));

    // Another game install has its own SkySwap.
    TempFolder other;
    MakePictureLibrary(other, 1);
    const std::wstring otherLibrary = Utf8ToWide(other.Join(kLibrary));
    Program third(otherLibrary);
    ASSERT_TRUE(third.started());
    const HWND otherWindow = WaitForHolder(otherLibrary, third.id());
    EXPECT_NE(otherWindow, nullptr);
    EXPECT_NE(otherWindow, window);

    PostMessageW(window, WM_CLOSE, 0, 0);
    PostMessageW(otherWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForEnd(30000), 0u);
    EXPECT_EQ(third.WaitForEnd(30000), 0u);
}

TEST(SingleInstance, ARestartTakesOverTheLibraryOnceTheFirstHasEnded) {
    FirstSkySwap running;
    const std::wstring& library = running.library;
    const Program& first = running.first;
    const HWND window = running.window;
    ASSERT_NE(window, nullptr);

    // Started elsewhere: the library comes from the command line, trailing backslash and all.
    Program restarted(Utf8ToWide(running.temp.path()), L"/library \"" + library + L"\\\\\"");
    ASSERT_TRUE(restarted.started());
    Sleep(500);
    EXPECT_EQ(restarted.WaitForEnd(0), static_cast<DWORD>(STILL_ACTIVE)) << "it waits";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForEnd(30000), 0u);
    const HWND taken = WaitForHolder(library, restarted.id());
    ASSERT_NE(taken, nullptr) << "the restarted SkySwap holds the library";
    PostMessageW(taken, WM_CLOSE, 0, 0);
    EXPECT_EQ(restarted.WaitForEnd(30000), 0u);
}

}  // namespace
}  // namespace skyswap::test
