// skyswap.exe started with switches, as a launcher or a batch file starts it: exit codes, what
// it did to the game folder, and where its text goes (the starter's pipes, its console, or a
// message box when there is neither).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <thread>
#include <string>
#include <vector>

#include "description.h"
#include "picture_scaler.h"
#include "single_instance_win.h"
#include "support/test_console_win.h"
#include "support/zip_maker.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

constexpr DWORD kWaitMs = 30000;

struct ProgramRun {
    DWORD exitCode = 99;
    std::string out;
    std::string err;
};

class Pipe {
  public:
    Pipe() {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        CreatePipe(&read_, &write_, &inherit, 0);
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
    }
    ~Pipe() {
        CloseWrite();
        CloseHandle(read_);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    HANDLE write() const { return write_; }
    void CloseWrite() {
        if (write_ != nullptr) {
            CloseHandle(write_);
            write_ = nullptr;
        }
    }
    std::string ReadAll() const {
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read_, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            text.append(buffer, got);
        }
        return text;
    }

  private:
    HANDLE read_ = nullptr;
    HANDLE write_ = nullptr;
};

std::wstring CommandLineFor(const std::string& arguments) {
    std::wstring line = L"\"" + Utf8ToWide(HostPath(SKYSWAP_EXE_PATH)) + L"\"";
    if (!arguments.empty()) {
        line += L" " + Utf8ToWide(arguments);
    }
    return line;
}

// Starts `line` in `folder` with its output and errors into pipes. With `pumpMessages` this
// thread handles its windows' messages while it waits, for a window of the test that the
// program talks to; the program's text must then fit in the pipes.
ProgramRun RunLineRedirected(const std::string& folder, std::wstring line,
                             bool pumpMessages = false) {
    Pipe out;
    Pipe err;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.write();
    startup.hStdError = err.write();
    const std::wstring where = Utf8ToWide(folder);
    PROCESS_INFORMATION process{};
    ProgramRun run;
    // Wine now and then answers a start with ERROR_INTERNAL_ERROR while its server is busy
    // with the processes before; a second try a moment later starts the program.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 where.c_str(), &startup, &process) != FALSE;
        if (!started && GetLastError() != ERROR_INTERNAL_ERROR) {
            break;
        }
        if (!started) {
            Sleep(200);
        }
    }
    if (!started) {
        ADD_FAILURE() << "cannot start " << WideToUtf8(line) << " (error " << GetLastError() << ")";
        return run;
    }
    out.CloseWrite();
    err.CloseWrite();
    if (pumpMessages) {
        PumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; },
                  kWaitMs);
    }
    // Both pipes are read to their ends at once, so a program that fills one while the test
    // reads the other never stalls, and neither loses what came last.
    std::thread errors([&] { run.err = err.ReadAll(); });
    run.out = out.ReadAll();
    errors.join();
    if (WaitForSingleObject(process.hProcess, kWaitMs) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 99);
        ADD_FAILURE() << WideToUtf8(line) << " did not end";
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

// Starts the program in `folder` with its output and errors into pipes.
ProgramRun RunRedirected(const std::string& folder, const std::string& arguments,
                         bool pumpMessages = false) {
    return RunLineRedirected(folder, CommandLineFor(arguments), pumpMessages);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CommandLineProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        MakePictureLibrary(temp_, 4);
        WriteSkyFiles(temp_, kGame, "ORIGINAL");
        library_ = temp_.Join(kLibrary);
    }
    ProgramRun Start(const std::string& arguments) { return RunRedirected(library_, arguments); }
    std::vector<std::string> Game() { return GameTags(temp_, 4, {"ORIGINAL"}); }

    TempFolder temp_;
    std::string library_;
};

// A temporary folder under Program Files, where Windows gives an old game shadow copies.
class ProgramFilesFolder {
  public:
    ProgramFilesFolder() {
        wchar_t programFiles[MAX_PATH]{};
        wchar_t temp[MAX_PATH]{};
        GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
        const DWORD hadTemp = GetEnvironmentVariableW(L"TMP", temp, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", programFiles);
        folder_ = std::make_unique<TempFolder>();
        SetEnvironmentVariableW(L"TMP", hadTemp != 0 ? temp : nullptr);
    }
    const TempFolder& operator*() const { return *folder_; }

  private:
    std::unique_ptr<TempFolder> folder_;
};

TEST(CommandLineVirtualStore, TheGamesShadowCopiesAreKeptThenRemovedAfterAnInstall) {
    ProgramFilesFolder programFiles;
    const TempFolder& temp = *programFiles;
    MakePictureLibrary(temp, 2);
    TempFolder store;
    // The mirror repeats the game folder's path below its drive.
    const std::string mirror = store.path() + temp.Join(kGame).substr(2);
    const std::string mirrorRelative = mirror.substr(store.path().size() + 1);
    store.MakeFolder(mirrorRelative);
    WriteSkyFiles(store, mirrorRelative, "SHADOW");
    store.WriteFile(mirrorRelative + "\\eaw.cfg", "the game's own");

    const ProgramRun run =
        RunRedirected(temp.Join(kLibrary), "/install 1 /virtualstore \"" + store.path() + "\"");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "kept them as set ZT2")) << run.out;
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT2", {"SHADOW"}), Repeated("SHADOW"))
        << "the sky the game showed is a set now";
    EXPECT_EQ(TagsIn(store, mirrorRelative, {"SHADOW"}), Repeated("")) << "the copies are gone";
    EXPECT_TRUE(store.Exists(mirrorRelative + "\\eaw.cfg")) << "and only they";
    EXPECT_EQ(GameTags(temp, 2), Repeated("ZT1"));
}

TEST_F(CommandLineProgram, EachActionChangesTheGameAndEndsWithItsExitCode) {
    // The game's original sky is in no set: kept first, as the window's buttons do.
    ProgramRun run = Start("/install 2");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.out,
              "The sky files in the game folder were in no set of your library. SkySwap "
              "kept them as set ZT4 before replacing them.\r\n"
              "Sky set ZT2 is now in the game.\r\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Game(), Repeated("ZT2"));
    EXPECT_EQ(TagsIn(temp_, std::string(kLibrary) + "\\ZT4", {"ORIGINAL"}), Repeated("ORIGINAL"));

    run = Start("/status");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(Contains(run.out, "It holds all ten sky files.")) << run.out;
    EXPECT_TRUE(Contains(run.out, "In the game: ZT2: Sky 2")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Game folder: " + temp_.Join(kGame))) << run.out;

    run = Start("-RANDOM");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const std::vector<std::string> drawn = Game();
    EXPECT_EQ(drawn, Repeated(drawn[0])) << "one whole set";
    EXPECT_NE(drawn[0], "ZT2") << "the random draw changes the sky";
    // The kept set ZT4 holds the original sky's files.
    const std::string set = drawn[0] == "ORIGINAL" ? "ZT4" : drawn[0];
    EXPECT_EQ(run.out, "Sky set " + set + " is now in the game.\r\n");

    run = Start("/mydefault");
    EXPECT_EQ(run.exitCode, 1u) << "no personal default yet";
    EXPECT_TRUE(Contains(run.err, "ZTDef")) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Game(), drawn);

    WriteSkyFiles(temp_, std::string(kLibrary) + "\\ZTDef", "ZT1");
    run = Start("/MyDefault /quiet");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Game(), Repeated("ZT1"));

    run = Start("/gamedefault");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Game(), Repeated(""));
    EXPECT_TRUE(temp_.Exists(std::string(kGame) + "\\eaw.ini"));

    run = Start("/?");
    EXPECT_EQ(run.exitCode, 0u);
    for (const char* listed : {"/random", "/install N", "/mydefault", "/gamedefault", "/status",
                               "/add PATH", "/quiet"}) {
        EXPECT_TRUE(Contains(run.out, listed)) << listed;
    }
}

TEST_F(CommandLineProgram, LibraryNamesTheFolderToWorkInFromAnyCurrentFolder) {
    const ProgramRun run = RunRedirected(temp_.path(), "/install 1 /library \"" + library_ + "\"");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Game(), Repeated("ZT1"));
    // Started elsewhere without it, the game is not found.
    EXPECT_EQ(RunRedirected(temp_.path(), "/install 2").exitCode, 1u);
    EXPECT_EQ(Game(), Repeated("ZT1"));
}

TEST_F(CommandLineProgram, BadCommandLinesEndWithExitCodeTwoAndChangeNothing) {
    const struct {
        const char* arguments;
        const char* said;
    } cases[] = {
        {"/shuffle", "Unknown switch /shuffle."},
        {"/install", "/install needs a set number"},
        {"/install -1", "not \"-1\""},
        {"/install 123456789012", "not \"123456789012\""},
        {"/random /status", "Only one action at a time"},
        {"/install 1 /gamedefault", "Only one action at a time"},
        {"/random extra", "Unexpected argument \"extra\""},
        {"/add", "/add needs a folder or a .zip file"},
    };
    for (const auto& bad : cases) {
        const ProgramRun run = Start(bad.arguments);
        EXPECT_EQ(run.exitCode, 2u) << bad.arguments;
        EXPECT_TRUE(Contains(run.err, bad.said)) << bad.arguments << ": " << run.err;
        EXPECT_TRUE(Contains(run.err, "skyswap /?")) << bad.arguments;
    }
    EXPECT_EQ(Game(), Repeated("ORIGINAL"));

    // A well-formed number without its folder is a failed transfer, not a bad command line.
    const ProgramRun missing = Start("/install 40");
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_TRUE(Contains(missing.err, "the set folder ZT40 does not exist")) << missing.err;
    EXPECT_EQ(Game(), Repeated("ORIGINAL"));
}

// A sky as a friend sends it: a folder holding the ten sky files.
std::string MakeDownload(const TempFolder& temp, const std::string& name, const std::string& tag) {
    temp.MakeFolder(name);
    WriteSkyFiles(temp, name, tag);
    return temp.Join(name);
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

TEST_F(CommandLineProgram, AddSaysWhatItAddedAndRefusedAndEndsWithExitCodeZeroOneOrTwo) {
    const std::string stormy = MakeDownload(temp_, "Stormy Evening", "STORMY");
    const std::string noon = MakeDownload(temp_, "Clear Noon", "NOON");
    temp_.MakeFolder("Photos");
    temp_.WriteFile("Photos\\readme.txt", "no sky in here");
    const std::string photos = temp_.Join("Photos");

    ProgramRun run = Start("/add " + Quoted(stormy));
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(run.out, "Added ZT4: Stormy Evening\r\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(TagsIn(temp_, std::string(kLibrary) + "\\ZT4", {"STORMY"}), Repeated("STORMY"));

    // Without the switch, as Windows starts it for files dropped on its icon; a path that adds
    // nothing makes the exit code 1 and the others are still added.
    run = Start(Quoted(photos) + " " + Quoted(noon) + " /quiet");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.out, "Added ZT5: Clear Noon\r\n");
    EXPECT_EQ(run.err.rfind(photos + ": ", 0), 0u) << run.err;
    EXPECT_EQ(TagsIn(temp_, std::string(kLibrary) + "\\ZT5", {"NOON"}), Repeated("NOON"));

    // A relative path is the starter's, though /library names another folder to work in.
    run = RunRedirected(temp_.path(), "/library " + Quoted(library_) + " /add Photos");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err.rfind(photos + ": ", 0), 0u) << run.err;

    run = Start("/add");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_TRUE(Contains(run.err, "/add needs a folder or a .zip file")) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(temp_.Exists(std::string(kLibrary) + "\\ZT6"));
    EXPECT_EQ(Game(), Repeated("ORIGINAL")) << "adding never touches the game";
}

TEST_F(CommandLineProgram, AddHandsItsPathsToTheWindowThatHasTheLibraryOpen) {
    const std::string stormy = MakeDownload(temp_, "Stormy Evening", "STORMY");
    StartedForm form(temp_);
    ASSERT_TRUE(form.started);
    SingleInstance library(Utf8ToWide(library_));
    ASSERT_TRUE(library.IsFirst());
    library.MarkWindow(form->hwnd());

    const ProgramRun run = RunRedirected(
        temp_.path(), "/library " + Quoted(library_) + " " + Quoted("Stormy Evening"), true);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(Contains(run.out, "its window adds the skies")) << run.out;
    ASSERT_TRUE(PumpUntil([&] { return !form->Adding() && !form.messages.empty(); }, kWaitMs));
    EXPECT_EQ(form.messages[0].text, L"Added ZT4: Stormy Evening");
    EXPECT_EQ(form->State().setCount, 5);
    EXPECT_EQ(TagsIn(temp_, std::string(kLibrary) + "\\ZT4", {"STORMY"}), Repeated("STORMY"));

    // Dropped on the icon (no console, no standard handles), it ends without a message box of
    // its own: the window says what it added.
    const std::string dawn = MakeDownload(temp_, "Dawn", "DAWN");
    FreeConsole();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    std::wstring line = CommandLineFor(Quoted(dawn));
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               Utf8ToWide(library_).c_str(), &startup, &process));
    CloseHandle(process.hThread);
    EXPECT_TRUE(PumpUntil([&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; },
                          kWaitMs));
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);
    ASSERT_TRUE(PumpUntil([&] { return !form->Adding() && form.messages.size() == 2; }, kWaitMs));
    EXPECT_EQ(form.messages[1].text, L"Added ZT5: Dawn");
}

TEST_F(CommandLineProgram, FilesDroppedOnTheIconGoToTheLibraryTheProgramIsIn) {
    const std::string stormy = MakeDownload(temp_, "Stormy Evening", "STORMY");
    // Explorer starts the program in a folder of its choosing, here the download's.
    const std::string program = temp_.Join(std::string(kLibrary) + "\\skyswap.exe");
    ASSERT_TRUE(CopyFileW(Utf8ToWide(HostPath(SKYSWAP_EXE_PATH)).c_str(),
                          Utf8ToWide(program).c_str(), FALSE));
    // As Explorer starts it: no console to borrow and no standard handles, so the outcome is
    // shown in a message box.
    FreeConsole();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    std::wstring line = L"\"" + Utf8ToWide(program) + L"\" " + Utf8ToWide(Quoted(stormy));
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               Utf8ToWide(stormy).c_str(), &startup, &process));
    CloseHandle(process.hThread);
    const HWND box = FindProgramMessageBox(process.dwProcessId);
    ASSERT_NE(box, nullptr) << "no message box titled SkySwap appeared";
    EXPECT_EQ(ContentsOf(box).texts, std::vector<std::wstring>{L"Added ZT4: Stormy Evening"});
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    WaitForSingleObject(process.hProcess, kWaitMs);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(TagsIn(temp_, std::string(kLibrary) + "\\ZT4", {"STORMY"}), Repeated("STORMY"));
}

TEST_F(CommandLineProgram, OutsideAGameFolderItEndsWithTheInstallationMessage) {
    ASSERT_TRUE(
        MakePlatformFileSystem()->RemoveFile(temp_.Join(std::string(kGame) + "\\eaw.ini")).ok());
    for (const char* arguments : {"/random", "/status", "/install 1 /quiet"}) {
        const ProgramRun run = Start(arguments);
        EXPECT_EQ(run.exitCode, 1u) << arguments;
        EXPECT_EQ(run.err, "Installation is not correct!\r\nPlease read the README.TXT file!\r\n")
            << arguments;
    }
    EXPECT_EQ(Game(), Repeated("ORIGINAL"));
}

}  // namespace
}  // namespace skyswap::test

namespace skyswap::test {
namespace {

// Starts `line` with no handles of its own, as Explorer or cmd.exe starts a window program.
HANDLE StartLine(const std::string& folder, std::wstring line, DWORD* processId = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    const std::wstring where = Utf8ToWide(folder);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, where.c_str(),
                        &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    if (processId != nullptr) {
        *processId = process.dwProcessId;
    }
    return process.hProcess;
}

HANDLE StartPlain(const std::string& folder, const std::string& arguments,
                  DWORD* processId = nullptr) {
    return StartLine(folder, CommandLineFor(arguments), processId);
}

DWORD WaitForExit(HANDLE process) {
    DWORD exitCode = 99;
    if (WaitForSingleObject(process, kWaitMs) != WAIT_OBJECT_0) {
        TerminateProcess(process, 99);
    }
    GetExitCodeProcess(process, &exitCode);
    CloseHandle(process);
    return exitCode;
}

TEST_F(CommandLineProgram, WithoutRedirectionTheTextGoesToTheStartersConsole) {
    TestConsole console;
    if (!console.made()) {
        GTEST_SKIP() << "no console can be made here";
    }
    const DWORD exitCode = WaitForExit(StartPlain(library_, "/install 3"));
    const std::wstring shown = console.Text();
    EXPECT_EQ(exitCode, 0u);
    EXPECT_NE(shown.find(L"Sky set ZT3 is now in the game."), std::wstring::npos)
        << WideToUtf8(shown.substr(0, 200));
    EXPECT_EQ(Game(), Repeated("ZT3"));
}

TEST_F(CommandLineProgram, WithoutAConsoleAFailureIsShownInAMessageBoxUnlessQuiet) {
    FreeConsole();  // as a program started from a shortcut: no console to borrow

    DWORD processId = 0;
    HANDLE process = StartPlain(library_, "/install 40", &processId);
    ASSERT_NE(process, nullptr);
    const HWND box = FindProgramMessageBox(processId);
    ASSERT_NE(box, nullptr) << "no message box titled SkySwap appeared";
    const MessageBoxContents contents = ContentsOf(box);
    EXPECT_EQ(contents.texts, std::vector<std::wstring>{
                                  L"Nothing was changed: the set folder ZT40 does not exist."});
    EXPECT_EQ(contents.buttons, std::vector<std::wstring>{L"OK"});
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForExit(process), 1u);

    // /quiet: the same failure ends at once, with its exit code only; success says nothing.
    EXPECT_EQ(WaitForExit(StartPlain(library_, "/quiet /install 40")), 1u);
    EXPECT_EQ(WaitForExit(StartPlain(library_, "/bogus /quiet")), 2u);
    EXPECT_EQ(WaitForExit(StartPlain(library_, "/install 2")), 0u);
    EXPECT_EQ(Game(), Repeated("ZT2"));
}

}  // namespace
}  // namespace skyswap::test

// skyswap.com beside skyswap.exe in the library, as the release ZIP puts them: what cmd does
// with "skyswap /status" at a prompt, where the text goes, and what the console program hands
// to the window program.
namespace skyswap::test {
namespace {

// Copies both programs into `folder`; the path of the console program there.
std::wstring PutProgramsIn(const std::string& folder) {
    const std::wstring com = Utf8ToWide(folder + "\\skyswap.com");
    EXPECT_TRUE(CopyFileW(Utf8ToWide(HostPath(SKYSWAP_COM_PATH)).c_str(), com.c_str(), FALSE));
    EXPECT_TRUE(CopyFileW(Utf8ToWide(HostPath(SKYSWAP_EXE_PATH)).c_str(),
                          Utf8ToWide(folder + "\\skyswap.exe").c_str(), FALSE));
    return com;
}

// Wine's cmd now and then fails to find a program in its current folder, as if it were not
// there ("Can't recognize ...", 9009), where Windows' finds it; SkySwap itself never says that, so
// such a run is made again, at most twice.
ProgramRun RunInCmd(const std::string& folder, const std::string& commands) {
    ProgramRun run;
    for (int attempt = 0; attempt < 3; ++attempt) {
        run = RunLineRedirected(folder, L"cmd.exe /c " + Utf8ToWide(commands));
        if (!Contains(run.err, "Can't recognize")) {
            break;
        }
    }
    return run;
}

// The folder the stand-in game noted in "played.txt" beside itself, once it has run (a bounded
// wait: SkySwap does not wait for the game).
std::optional<std::string> FolderThePlayedGameNoted(const TempFolder& temp,
                                                    const std::string& beside) {
    const std::string file = beside + "\\played.txt";
    PumpUntil([&] { return temp.Exists(file); }, kWaitMs);
    const std::optional<std::string> bytes = temp.ReadFile(file);
    if (!bytes) {
        return std::nullopt;
    }
    return WideToUtf8(std::wstring(reinterpret_cast<const wchar_t*>(bytes->data()),
                                   bytes->size() / sizeof(wchar_t)));
}

TEST_F(CommandLineProgram, PlayStartsTheGameInTheGameFolderOnceTheSkyIsInstalled) {
    const std::string gameProgram = temp_.Join(std::string(kGame) + "\\Eaw.exe");
    ASSERT_TRUE(CopyFileW(Utf8ToWide(HostPath(STAND_IN_GAME_PATH)).c_str(),
                          Utf8ToWide(gameProgram).c_str(), FALSE));
    const ProgramRun run = Start("/random /play");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    const std::vector<std::string> drawn = Game();
    EXPECT_EQ(drawn, Repeated(drawn[0])) << "one whole set";
    EXPECT_EQ(FolderThePlayedGameNoted(temp_, kGame), temp_.Join(kGame));

    // skyswap.com, typed in another folder with a launcher relative to it.
    const std::wstring com = PutProgramsIn(library_);
    temp_.MakeFolder("Launcher");
    ASSERT_TRUE(CopyFileW(Utf8ToWide(HostPath(STAND_IN_GAME_PATH)).c_str(),
                          Utf8ToWide(temp_.Join("Launcher\\fly.exe")).c_str(), FALSE));
    const ProgramRun launched = RunLineRedirected(
        temp_.path(), L"\"" + com + L"\" /play /game Launcher\\fly.exe /library \"" +
                          Utf8ToWide(library_) + L"\"");
    EXPECT_EQ(launched.exitCode, 0u) << launched.out << launched.err;
    EXPECT_EQ(FolderThePlayedGameNoted(temp_, "Launcher"), temp_.Join(kGame));
    EXPECT_EQ(Game(), drawn) << "/play alone changes nothing";
}

TEST_F(CommandLineProgram, CmdWaitsForSkySwapAndGetsItsExitCode) {
    PutProgramsIn(library_);
    const std::string missing = temp_.Join("No Such Library");
    const struct {
        std::string arguments;
        const char* code;
        std::string said;  // on standard output for 0, on the error output otherwise
    } cases[] = {
        {"/status", "0", "It holds all ten sky files."},
        {"/install 40", "1", "the set folder ZT40 does not exist"},
        {"/shuffle", "2", "Unknown switch /shuffle."},
        {"/status /library \"" + missing + "\"", "2",
         "The library folder " + missing + " cannot be opened: "},
        {"/install 1 /library \"" + missing + "\"", "2", "cannot be opened"},
    };
    for (const auto& c : cases) {
        const ProgramRun run =
            RunInCmd(library_, "skyswap " + c.arguments + " & echo %ERRORLEVEL%");
        const std::string said = std::string(c.code) == "0" ? run.out : run.err;
        EXPECT_TRUE(Contains(said, c.said)) << c.arguments << ": " << run.out << run.err;
        // The code comes after the text: cmd waited for the program to end.
        EXPECT_EQ(run.out.substr(run.out.size() >= 3 ? run.out.size() - 3 : 0),
                  std::string(c.code) + "\r\n")
            << c.arguments << ": " << run.out;
    }
    EXPECT_EQ(Game(), Repeated("ORIGINAL")) << "nothing ran in the folder cmd started in";
}

TEST_F(CommandLineProgram, ALibraryFolderThatCannotBeOpenedEndsTheWindowProgramWithTwo) {
    FreeConsole();
    DWORD processId = 0;
    const std::string missing = temp_.Join("No Such Library");
    HANDLE process = StartPlain(library_, "/library \"" + missing + "\"", &processId);
    ASSERT_NE(process, nullptr);
    const HWND box = FindProgramMessageBox(processId);
    ASSERT_NE(box, nullptr);
    const MessageBoxContents contents = ContentsOf(box);
    ASSERT_EQ(contents.texts.size(), 1u);
    EXPECT_EQ(contents.texts[0].rfind(
                  Utf8ToWide("The library folder " + missing + " cannot be opened: "), 0),
              0u)
        << WideToUtf8(contents.texts[0]);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForExit(process), 2u);
    EXPECT_EQ(SingleInstance::FindHolderWindow(Utf8ToWide(library_)), nullptr);
}

TEST_F(CommandLineProgram, OutputToNulNeverReachesTheConsole) {
    PutProgramsIn(library_);
    TestConsole console;
    if (!console.made()) {
        GTEST_SKIP() << "no console can be made here";
    }
    for (const char* program : {"skyswap.com", "skyswap.exe"}) {
        const std::wstring line = L"cmd.exe /c " + Utf8ToWide(program) + L" /install 2 >nul";
        EXPECT_EQ(WaitForExit(StartLine(library_, line)), 0u) << program;
        EXPECT_EQ(Game(), Repeated("ZT2")) << program;
    }
    const std::wstring shown = console.Text();
    EXPECT_EQ(shown.find(L"Sky set ZT2"), std::wstring::npos) << WideToUtf8(shown.substr(0, 300));
    EXPECT_EQ(shown.find(L"kept them"), std::wstring::npos);
}

// A game in a folder whose name has spaces and letters of several languages.
class ForeignFolderName : public ::testing::Test {
  protected:
    void SetUp() override {
        MakePictureLibrary(temp_, 2);
        game_ = temp_.Join(kGameName);
        ASSERT_TRUE(MoveFileW(Utf8ToWide(temp_.Join(kGame)).c_str(), Utf8ToWide(game_).c_str()));
        library_ = game_ + std::string(kLibrary).substr(std::string(kGame).size());
        com_ = PutProgramsIn(library_);
    }

    static constexpr const char* kGameName =
        "Jeu d'\xC3\xA9t\xC3\xA9 \xE2\x98\x81 \xD0\xBD\xD0\xB5\xD0\xB1\xD0\xBE";
    TempFolder temp_;
    std::string game_;
    std::string library_;
    std::wstring com_;
};

TEST_F(ForeignFolderName, AnUnquotedProgramNameWithSpacesIsNotReadAsArguments) {
    // As old launchers start a program: its path unquoted, spaces and all.
    const ProgramRun run = RunLineRedirected(library_, com_ + L" /status");
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    // No byte order mark: the first bytes are the text's. The folder's name comes in the code
    // page of whatever console the program shares with this test, UTF-8 where there is none.
    EXPECT_EQ(run.out.rfind("Game folder: ", 0), 0u) << run.out;

    const std::wstring withoutExtension = com_.substr(0, com_.size() - 4);
    EXPECT_EQ(RunLineRedirected(library_, withoutExtension + L" /bogus").exitCode, 2u)
        << "the switch after the name is still read";
}

TEST_F(ForeignFolderName, AConsoleShowsTheTextInEveryLanguage) {
    TestConsole console;
    if (!console.made()) {
        GTEST_SKIP() << "no console can be made here";
    }
    EXPECT_EQ(WaitForExit(StartLine(library_, L"cmd.exe /c skyswap /status")), 0u);
    const std::wstring shown = console.Text();
    EXPECT_NE(shown.find(L"Game folder: " + Utf8ToWide(game_)), std::wstring::npos)
        << WideToUtf8(shown.substr(0, 300));
}

TEST_F(CommandLineProgram, WithoutAnActionTheConsoleProgramWaitsForTheWindowAndGivesItsCode) {
    const std::wstring com = PutProgramsIn(library_);
    HANDLE console = StartLine(library_, L"\"" + com + L"\"");
    ASSERT_NE(console, nullptr);
    HWND window = nullptr;
    for (int waited = 0; waited < 30000 && window == nullptr; waited += 100) {
        Sleep(100);
        window = SingleInstance::FindHolderWindow(Utf8ToWide(library_));
    }
    ASSERT_NE(window, nullptr) << "the window program was started";
    EXPECT_EQ(WaitForSingleObject(console, 500), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a batch file goes on only once the window is closed";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(console), 0u);

    // The window's own exit code comes through: a library that cannot be opened ends it with 2.
    const std::string missing = temp_.Join("No Such Library");
    console = StartLine(library_, L"\"" + com + L"\" /library \"" + Utf8ToWide(missing) + L"\"");
    ASSERT_NE(console, nullptr);
    HWND box = nullptr;
    for (int waited = 0; waited < 30000 && box == nullptr; waited += 100) {
        Sleep(100);
        box = FindWindowW(L"#32770", L"SkySwap");
    }
    ASSERT_NE(box, nullptr) << "the window program says why";
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForExit(console), 2u);
}

// Downloads that Windows would unpack wrongly, through the real skyswap.com: each is refused,
// with exit code 1, and leaves the library as it was; a readme name too long for Windows is cut
// and the sky added.
std::vector<ZipItem> SkyItems(const std::string& folder, const std::string& tag) {
    std::vector<ZipItem> items;
    for (const std::string& name : SkyFileNames()) {
        std::string upper = name;
        for (char& c : upper) {
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        }
        items.push_back({folder + upper, SkyFileBytes(tag, name)});
    }
    return items;
}

std::string WriteZip(const TempFolder& temp, const std::string& name, std::vector<ZipItem> items,
                     const std::string& extra, const std::string& bytes = "x") {
    items.push_back({extra, bytes});
    temp.WriteFile(name, MakeZip(items));
    return temp.Join(name);
}

TEST_F(CommandLineProgram, TheConsoleProgramRefusesNamesWindowsWouldTakeWrongly) {
    const std::wstring com = PutProgramsIn(library_);
    const std::vector<std::string> before = temp_.List(kLibrary);
    std::vector<std::string> zips = {
        WriteZip(temp_, "case twins.zip", SkyItems("Sky/", "TWIN"), "Sky/cloud1.ter", "other"),
        WriteZip(temp_, "folder twins.zip", SkyItems("Sky/", "TWIN"), "SKY/readme.txt"),
        WriteZip(temp_, "trailing dot.zip", SkyItems("Sky/", "DOT"), "Sky/cloud1.ter."),
        WriteZip(temp_, "short name.zip", SkyItems("Sky/", "SHORT"), "Sky/CLOUD1~1.TER"),
    };
    // minizip's writer takes no NUL: the name is patched in afterwards.
    std::string withNul = MakeZip([] {
        std::vector<ZipItem> items = SkyItems("Sky/", "NUL");
        items.push_back({"Sky/a.txt@../../x.ter", "x"});
        return items;
    }());
    RenameEntries(withNul, "Sky/a.txt@../../x.ter", std::string("Sky/a.txt\0../../x.ter", 21));
    temp_.WriteFile("nul inside.zip", withNul);
    zips.push_back(temp_.Join("nul inside.zip"));

    std::wstring line = L"\"" + com + L"\" /add";
    for (const std::string& zip : zips) {
        line += L" \"" + Utf8ToWide(zip) + L"\"";
    }
    const ProgramRun run = RunLineRedirected(library_, line);

    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    for (const std::string& zip : zips) {
        EXPECT_TRUE(Contains(run.err, zip + ": ")) << zip << ": " << run.err;
    }
    EXPECT_TRUE(Contains(run.err, "differ only in letter case")) << run.err;
    EXPECT_TRUE(Contains(run.err, "unsafe name (Sky/a.txt")) << run.err;
    EXPECT_TRUE(Contains(run.err, "unsafe name (Sky/CLOUD1~1.TER)")) << run.err;
    std::vector<std::string> after = temp_.List(kLibrary);
    // The run leaves its lock file for the next one.
    after.erase(std::remove(after.begin(), after.end(), kLibraryLockFileName), after.end());
    EXPECT_EQ(after, before) << "no set and no staging folder";
    EXPECT_FALSE(temp_.Exists("a.txt"));
    EXPECT_FALSE(temp_.Exists(std::string(kLibrary) + "\\a.txt"));
}

TEST_F(CommandLineProgram, TheConsoleProgramCutsAReadmeNameTooLongForWindows) {
    const std::wstring com = PutProgramsIn(library_);
    const std::string zip = WriteZip(temp_, "Long Readme.zip", SkyItems("Sky/", "LONG"),
                                     "Sky/" + std::string(300, 'r') + ".txt", "the readme");

    const ProgramRun run =
        RunLineRedirected(library_, L"\"" + com + L"\" /add \"" + Utf8ToWide(zip) + L"\"");

    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(run.out, "Added ZT4: Long Readme\r\n");
    EXPECT_EQ(run.err, "");
    const std::string set = std::string(kLibrary) + "\\ZT4";
    EXPECT_EQ(TagsIn(temp_, set, {"LONG"}), Repeated("LONG"));
    EXPECT_EQ(temp_.ReadFile(set + "\\" + std::string(251, 'r') + ".txt"), "the readme");
}

TEST_F(CommandLineProgram, TheConsoleProgramAddsPathsWhereTheyWereTyped) {
    const std::wstring com = PutProgramsIn(library_);
    // The player's downloads, and a decoy of the same name in the library folder.
    TempFolder downloads;
    WriteSkyFiles(downloads, "Dawn Patrol", "DAWN");
    WriteSkyFiles(temp_, std::string(kLibrary) + "\\Dawn Patrol", "DECOY");
    // "cd Downloads", then the program by its full path and the path as typed, without /add.
    const ProgramRun run = RunLineRedirected(downloads.path(), L"\"" + com + L"\" \"Dawn Patrol\"");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_NE(run.out.find("Added ZT4"), std::string::npos) << run.out << run.err;
    EXPECT_EQ(TagsIn(temp_, std::string(kLibrary) + "\\ZT4", {"DAWN", "DECOY"}), Repeated("DAWN"))
        << "the download, not the library's folder of that name";
}

// The real console program on ZIPs as downloads come: one with the longest comment a ZIP can
// carry, and a 7z archive renamed .zip, which is named and refused with nothing added.
TEST_F(CommandLineProgram, TheConsoleProgramAddsAZipWithTheLongestCommentAndNamesA7zArchive) {
    const std::wstring com = PutProgramsIn(library_);
    std::vector<ZipItem> items;
    for (const std::string& name : SkyFileNames()) {
        items.push_back({"Long Story/" + name, SkyFileBytes("STORY", name)});
    }
    temp_.WriteFile("Long Story.zip", MakeZip(items, std::string(65535, '*')));
    temp_.WriteFile("Packed.zip", std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8) + "packed sky");
    const std::wstring add = L"\"" + com + L"\" /add \"";

    ProgramRun run =
        RunLineRedirected(library_, add + Utf8ToWide(temp_.Join("Long Story.zip")) + L"\"");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(run.out, "Added ZT4: Long Story\r\n") << run.err;
    EXPECT_EQ(TagsIn(temp_, std::string(kLibrary) + "\\ZT4", {"STORY"}), Repeated("STORY"));

    run = RunLineRedirected(library_, add + Utf8ToWide(temp_.Join("Packed.zip")) + L"\"");
    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, temp_.Join("Packed.zip") +
                           ": This is a 7z archive, though its name says ZIP. SkySwap reads ZIP "
                           "archives; unpack this one and add its folder.\r\n");
    EXPECT_FALSE(temp_.Exists(std::string(kLibrary) + "\\ZT5"));
    EXPECT_EQ(Game(), Repeated("ORIGINAL"));
}

// Wine's shell moves what goes to the Recycle Bin into the Unix account's desktop trash
// ($XDG_DATA_HOME/Trash). Pointed at a folder of the test, the programs started meanwhile fill
// that one instead of the account's, and the test sees what went there. Nothing outside Wine.
class TrashInFolder {
  public:
    explicit TrashInFolder(const TempFolder& folder) {
        using UnixFileName = char*(CDECL*)(const WCHAR*);
        const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        char* unixName =
            unixFileName != nullptr ? unixFileName(Utf8ToWide(folder.path()).c_str()) : nullptr;
        if (unixName == nullptr) {
            return;
        }
        const DWORD length = GetEnvironmentVariableW(kVariable, nullptr, 0);
        if (length > 0) {
            previous_.emplace(length, L'\0');
            previous_->resize(GetEnvironmentVariableW(kVariable, previous_->data(), length));
        }
        SetEnvironmentVariableW(kVariable, Utf8ToWide(unixName).c_str());
        HeapFree(GetProcessHeap(), 0, unixName);
        redirected_ = true;
    }
    ~TrashInFolder() {
        if (redirected_) {
            SetEnvironmentVariableW(kVariable, previous_ ? previous_->c_str() : nullptr);
        }
    }
    TrashInFolder(const TrashInFolder&) = delete;
    TrashInFolder& operator=(const TrashInFolder&) = delete;
    bool redirected() const { return redirected_; }

  private:
    static constexpr const wchar_t* kVariable = L"XDG_DATA_HOME";
    bool redirected_ = false;
    std::optional<std::wstring> previous_;
};

// A set's life through the real skyswap.com as a player types it: described, exported, added to
// a friend's library from the ZIP, then removed, except while its sky is in the game.
TEST_F(CommandLineProgram,
       ASetIsDescribedExportedAddedToAnotherLibraryAndTheInstalledOneIsNotRemoved) {
    const std::wstring com = PutProgramsIn(library_);
    const auto Run = [&](const std::string& folder, const std::string& arguments) {
        return RunLineRedirected(folder, L"\"" + com + L"\" " + Utf8ToWide(arguments));
    };
    const std::string set = std::string(kLibrary) + "\\ZT3";
    // A thumbnail as SkySwap makes one when it adds a sky: of the thumbnail's size, and every
    // pixel different from its neighbours, so a resampled copy would differ.
    std::string pixels(static_cast<std::size_t>(kThumbnailWidth) * kThumbnailHeight * 3, '\0');
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<char>(i * 7 % 251);
    }
    const std::string thumbnail = BmpFile24(kThumbnailWidth, kThumbnailHeight, pixels);
    temp_.WriteFile(set + "\\ZT3.bmp", thumbnail);
    temp_.WriteFile(set + "\\ZT3.txt", "\"Sky 3\",Ann\r\nDrawn on a summer evening.\r\n");

    ProgramRun run = Run(library_, "/describe 3 \"Stormy Evening\"");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    const std::string described = temp_.ReadFile(set + "\\ZT3.txt").value_or("");
    EXPECT_EQ(FirstField(described), "Stormy Evening") << described;
    EXPECT_TRUE(Contains(described, ",Ann\r\nDrawn on a summer evening.\r\n")) << described;

    // Typed in another folder with a relative name: the ZIP lands there, not in the library.
    temp_.MakeFolder("Outbox");
    run = Run(temp_.Join("Outbox"), "/export 3 out.zip /library " + Quoted(library_));
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(temp_.Exists("Outbox\\out.zip"));
    EXPECT_FALSE(temp_.Exists(std::string(kLibrary) + "\\out.zip"));

    // A friend's game and library, whose sets hold other skies.
    TempFolder friends;
    MakePictureLibrary(friends, 2);
    WriteSkyFiles(friends, kGame, "ORIGINAL");
    run = Run(friends.Join(kLibrary), "/add " + Quoted(temp_.Join("Outbox\\out.zip")));
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_EQ(run.out.rfind("Added ZT2", 0), 0u) << run.out << run.err;
    const std::string added = std::string(kLibrary) + "\\ZT2";
    for (const std::string& name : SkyFileNames()) {
        const std::optional<std::string> copy = friends.ReadFile(added + "\\" + name);
        ASSERT_TRUE(copy) << name;
        EXPECT_TRUE(*copy == temp_.ReadFile(set + "\\" + name)) << name << " differs";
    }
    EXPECT_TRUE(friends.ReadFile(added + "\\ZT2.bmp") == thumbnail) << "the thumbnail differs";
    EXPECT_EQ(FirstField(friends.ReadFile(added + "\\ZT2.txt").value_or("")), "Stormy Evening");

    // The sky in the game is kept: the next transfer would keep it again as a new set.
    run = Run(library_, "/install 3");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    ASSERT_EQ(Game(), Repeated("ZT3"));
    run = Run(library_, "/remove 3");
    EXPECT_EQ(run.exitCode, 1u) << run.out << run.err;
    EXPECT_EQ(run.err,
              "ZT3 is the sky in the game now. Load another sky first, then remove ZT3.\r\n");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(temp_.Exists(set + "\\ZT3.txt"));

    // The temporary folder is on a fixed drive, which has a Recycle Bin, so the set goes there
    // and is not deleted for good; under Wine the bin is the Unix desktop's trash.
    TempFolder bin;
    const TrashInFolder trash(bin);
    run = Run(library_, "/remove 1");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "Recycle Bin")) << run.out;
    EXPECT_FALSE(temp_.Exists(std::string(kLibrary) + "\\ZT1"));
    if (trash.redirected()) {
        EXPECT_EQ(TagsIn(bin, "Trash\\files\\ZT1", {"ZT1"}), Repeated("ZT1")) << "the whole set";
    }
    for (const char* kept : {"ZT0", "ZT2", "ZT3", "ZT4"}) {
        EXPECT_TRUE(temp_.Exists(std::string(kLibrary) + "\\" + kept)) << kept;
    }
    EXPECT_EQ(Game(), Repeated("ZT3"));
}

}  // namespace
}  // namespace skyswap::test
