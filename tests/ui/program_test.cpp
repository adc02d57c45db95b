// The real skyswap.exe, started where no game is: its one message, and its end.
#include <windows.h>

#include <gtest/gtest.h>

#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

struct MessageBoxFinder {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMessageBox(HWND window, LPARAM lParam) {
    auto* finder = reinterpret_cast<MessageBoxFinder*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[64]{};
    GetClassNameW(window, className, 64);
    if (owner == finder->processId && std::wstring(className) == L"#32770" &&
        WindowText(window) == L"SkySwap" && IsWindowVisible(window)) {
        finder->found = window;
        return FALSE;
    }
    return TRUE;
}

struct BoxContents {
    std::vector<std::wstring> texts;    // static controls with text
    std::vector<std::wstring> buttons;  // captions of the buttons
};

BOOL CALLBACK CollectContents(HWND child, LPARAM lParam) {
    auto* contents = reinterpret_cast<BoxContents*>(lParam);
    wchar_t className[64]{};
    GetClassNameW(child, className, 64);
    const std::wstring name = className;
    const std::wstring text = WindowText(child);
    if (_wcsicmp(name.c_str(), L"Static") == 0 && !text.empty()) {
        contents->texts.push_back(text);
    } else if (_wcsicmp(name.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
        contents->buttons.push_back(text);
    }
    return TRUE;
}

TEST(SkySwapProgram, StartedOutsideAGameFolderShowsTheInstallationMessageAndEnds) {
    TempFolder temp;
    temp.MakeFolder("NoGame\\Skies");  // "NoGame" holds no eaw.ini
    WritePicture(temp.Join("NoGame\\Skies\\nosky.jpg"), 20, 20, kPlaceholderColour,
                 ImageFormat::Jpeg);

    std::wstring commandLine = L"\"" + Utf8ToWide(HostPath(SKYSWAP_EXE_PATH)) + L"\"";
    const std::wstring folder = Utf8ToWide(temp.Join("NoGame\\Skies"));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startup, &process))
        << "cannot start " << SKYSWAP_EXE_PATH;

    MessageBoxFinder finder{process.dwProcessId, nullptr};
    for (int waited = 0; waited < 30000 && finder.found == nullptr; waited += 100) {
        Sleep(100);
        EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&finder));
    }
    if (finder.found == nullptr) {
        TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        FAIL() << "no message box titled SkySwap appeared";
    }

    BoxContents contents;
    EnumChildWindows(finder.found, CollectContents, reinterpret_cast<LPARAM>(&contents));
    EXPECT_EQ(contents.texts,
              std::vector<std::wstring>{
                  L"Installation is not correct!\nPlease read the README.TXT file!"});
    EXPECT_EQ(contents.buttons, std::vector<std::wstring>{L"OK"}) << "only an OK button";

    HWND ok = GetDlgItem(finder.found, IDOK);
    ASSERT_NE(ok, nullptr);
    SendMessageW(ok, BM_CLICK, 0, 0);

    const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the program ends when the message is closed";
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace skyswap::test
