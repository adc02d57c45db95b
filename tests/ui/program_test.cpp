// The real skyswap.exe, started where no game is: its one message, and its end.
#include <windows.h>

#include <gtest/gtest.h>

#include "restart_arguments.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

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

    const HWND box = FindProgramMessageBox(process.dwProcessId);
    if (box == nullptr) {
        TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        FAIL() << "no message box titled SkySwap appeared";
    }

    const MessageBoxContents contents = ContentsOf(box);
    EXPECT_EQ(contents.texts,
              std::vector<std::wstring>{
                  L"Installation is not correct!\nPlease read the README.TXT file!"});
    EXPECT_EQ(contents.buttons, std::vector<std::wstring>{L"OK"}) << "only an OK button";

    HWND ok = GetDlgItem(box, IDOK);
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

TEST(SkySwapProgram, RestartedAsAdministratorItCarriesOnWithWhatWasAsked) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    WriteSkyFiles(temp, kGame, "ZT0");
    // As the restart starts it: the library named, wherever the working folder is.
    std::wstring commandLine =
        L"\"" + Utf8ToWide(HostPath(SKYSWAP_EXE_PATH)) + L"\" " +
        Utf8ToWide(RestartParameters({temp.Join(kLibrary), "", {LibraryAction::InstallSet, 2, {}}}));
    const std::wstring folder = Utf8ToWide(temp.path());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startup, &process));
    // First the question what the restart is for, then the outcome.
    const HWND question = FindProgramMessageBox(process.dwProcessId);
    ASSERT_NE(question, nullptr) << "nothing asked";
    const MessageBoxContents asked = ContentsOf(question);
    ASSERT_EQ(asked.texts.size(), 1u);
    EXPECT_EQ(asked.texts[0].rfind(L"SkySwap was started with administrator rights to install sky "
                                   L"set ZT2 in the game.",
                                   0),
              0u);
    EXPECT_EQ(GameTags(temp, 3), Repeated("ZT0")) << "nothing done before the answer";
    SendMessageW(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    HWND box = nullptr;
    for (int tries = 0; tries < 300 && box == nullptr; ++tries) {
        const HWND found = FindProgramMessageBox(process.dwProcessId);
        if (found != nullptr && found != question && IsWindow(found)) {
            box = found;
        } else {
            Sleep(100);
        }
    }
    EXPECT_NE(box, nullptr) << "no outcome shown";
    if (box != nullptr) {
        EXPECT_EQ(ContentsOf(box).texts,
                  std::vector<std::wstring>{L"Sky set ZT2 is now in the game."});
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    }
    EXPECT_EQ(GameTags(temp, 3), Repeated("ZT2"));
    if (const HWND window = FindProcessWindow(process.dwProcessId, L"SkySwapMainWindow")) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    AwaitEnd(process);
}

}  // namespace
}  // namespace skyswap::test
