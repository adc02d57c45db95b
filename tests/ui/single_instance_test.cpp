// One SkySwap per library, with real processes: a second start in the same library (in another
// letter case, or by its short name) brings the first window to the front, restored, and ends;
// another library has a window of its own; a restart given /library waits for the SkySwap that
// started it to end; a holder without a window to show is named in a message; a lock file left
// behind is taken and kept; one that is a link is refused, and nothing opens without the lock.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <optional>
#include <string>
#include <vector>

#include "library_lock.h"
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

HWND ButtonCalled(HWND window, const std::wstring& caption) {
    struct Search {
        const std::wstring* caption;
        HWND found;
    } search{&caption, nullptr};
    EnumChildWindows(
        window,
        [](HWND child, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            if (WindowText(child) == *s->caption) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(SingleInstance, ASecondStartByAnotherSpellingBringsUpTheMessageTheFirstShows) {
    FirstSkySwap running;
    ASSERT_NE(running.window, nullptr);
    // LOAD MY DEFAULT without a personal default: the first SkySwap shows why in a message box.
    const HWND button = ButtonCalled(running.window, L"LOAD MY DEFAULT");
    ASSERT_NE(button, nullptr);
    PostMessageW(button, BM_CLICK, 0, 0);
    const HWND box = FindProgramMessageBox(running.first.id());
    ASSERT_NE(box, nullptr);
    // Another window is in front meanwhile.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 200, 100, nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    ASSERT_NE(GetForegroundWindow(), box);

    wchar_t shortName[MAX_PATH]{};
    ASSERT_GT(GetShortPathNameW(running.library.c_str(), shortName, MAX_PATH), 0u);
    Program second(shortName);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.WaitForEnd(30000), 0u);
    // Activation across processes arrives a moment later.
    for (int waited = 0; waited < 5000 && GetForegroundWindow() != box; waited += 50) {
        Sleep(50);
    }
    EXPECT_EQ(GetForegroundWindow(), box) << "the message box, not its disabled owner";
    DestroyWindow(other);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    PostMessageW(running.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(running.first.WaitForEnd(30000), 0u);
}

TEST(SingleInstance, AHolderWithoutAWindowIsNamedAndTheSecondStartEndsWithOne) {
    TempFolder temp;
    MakePictureLibrary(temp, 2);
    const std::wstring library = Utf8ToWide(temp.Join(kLibrary));
    // A command line holds the library while it changes the sky.
    SingleInstance commandLine(library, SingleInstance::Holder::CommandLine);
    ASSERT_TRUE(commandLine.IsFirst());
    Program window(library);
    ASSERT_TRUE(window.started());
    const HWND box = FindProgramMessageBox(window.id());
    ASSERT_NE(box, nullptr);
    const MessageBoxContents contents = ContentsOf(box);
    ASSERT_EQ(contents.texts.size(), 1u);
    EXPECT_EQ(contents.texts[0].rfind(
                  L"SkySwap is already open for this library folder (" + library + L").", 0),
              0u)
        << WideToUtf8(contents.texts[0]);
    EXPECT_NE(contents.texts[0].find(L"A command line is changing the sky"), std::wstring::npos);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(window.WaitForEnd(30000), 1u);
    EXPECT_EQ(SingleInstance::FindHolderWindow(library), nullptr) << "no window was made";
}

TEST(SingleInstance, ALockFileLeftBehindIsTakenAtOnceAndKeptForTheNext) {
    TempFolder temp;
    MakePictureLibrary(temp, 2);
    const std::wstring library = Utf8ToWide(temp.Join(kLibrary));
    const std::string lockName = std::string(kLibrary) + "\\" + kLibraryLockFileName;
    // A power cut left the lock file of a process that has ended since.
    Program ended(library, L"/status /quiet");
    ASSERT_TRUE(ended.started());
    ended.WaitForEnd(30000);
    LockHolder left;
    left.processId = ended.id();
    left.window = 0x10010;
    temp.WriteFile(lockName, EncodeLockHolder(left));

    Program first(library);
    ASSERT_TRUE(first.started());
    const HWND window = WaitForHolder(library, first.id());
    ASSERT_NE(window, nullptr) << "the first start takes the library at once";
    Program second(library);
    EXPECT_EQ(second.WaitForEnd(30000), 0u) << "a second start brings the first window back";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForEnd(30000), 0u);
    EXPECT_TRUE(temp.Exists(lockName)) << "the lock file stays, for the next start to hold";
    EXPECT_EQ(temp.ReadFile(lockName), std::optional<std::string>(""));
}

TEST(SingleInstance, ALockFileThatIsAHardLinkIsRefusedAndNoWindowOpens) {
    TempFolder temp;
    MakePictureLibrary(temp, 2);
    const std::wstring library = Utf8ToWide(temp.Join(kLibrary));
    const std::string lockName = std::string(kLibrary) + "\\" + kLibraryLockFileName;
    temp.WriteFile("boot.ini", "another file of the player's");
    ASSERT_TRUE(CreateHardLinkW(Utf8ToWide(temp.Join(lockName)).c_str(),
                                Utf8ToWide(temp.Join("boot.ini")).c_str(), nullptr));
    const std::vector<std::string> game = GameTags(temp, 2);

    Program window(library);
    ASSERT_TRUE(window.started());
    const HWND box = FindProgramMessageBox(window.id());
    ASSERT_NE(box, nullptr);
    const MessageBoxContents contents = ContentsOf(box);
    ASSERT_EQ(contents.texts.size(), 1u);
    EXPECT_EQ(contents.texts[0],
              L"SkySwap cannot lock this library folder (" + library +
                  L"), so it leaves the library alone: its lock file skyswap.lock is a hard link, "
                  L"another name of a file that may lie elsewhere, and SkySwap never writes to "
                  L"one. Delete skyswap.lock there and try again.");
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(window.WaitForEnd(30000), 1u);
    EXPECT_EQ(SingleInstance::FindHolderWindow(library), nullptr) << "no window was made";

    Program install(library, L"/install 1 /quiet");
    ASSERT_TRUE(install.started());
    EXPECT_EQ(install.WaitForEnd(30000), 1u) << "a command line changes nothing without the lock";
    EXPECT_EQ(GameTags(temp, 2), game);
    EXPECT_EQ(temp.ReadFile("boot.ini"),
              std::optional<std::string>("another file of the player's"));
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

TEST(SingleInstance, ACommandLineTransferLeavesALibraryThatAWindowHasOpen) {
    FirstSkySwap running;
    ASSERT_NE(running.window, nullptr);
    const std::vector<std::string> game = GameTags(running.temp, 2);
    Program install(running.library, L"/install 1 /quiet");
    ASSERT_TRUE(install.started());
    EXPECT_EQ(install.WaitForEnd(30000), 1u) << "refused: the window has the library";
    EXPECT_EQ(GameTags(running.temp, 2), game) << "the game folder is unchanged";
    Program status(running.library, L"/status /quiet");
    ASSERT_TRUE(status.started());
    EXPECT_EQ(status.WaitForEnd(30000), 0u) << "reading what is in the game changes nothing";

    PostMessageW(running.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(running.first.WaitForEnd(30000), 0u);
    Program again(running.library, L"/install 1 /quiet");
    EXPECT_EQ(again.WaitForEnd(30000), 0u) << "with the window closed the transfer runs";
    EXPECT_NE(GameTags(running.temp, 2), game);
}

}  // namespace
}  // namespace skyswap::test
