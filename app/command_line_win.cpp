#include "command_line_win.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "add_request.h"
#include "discovery.h"
#include "elevation_win.h"
#include "keep_sky.h"
#include "known_folders_win.h"
#include "messages.h"
#include "picture_scaler_win.h"
#include "single_instance_win.h"
#include "text_win.h"
#include "virtual_store.h"
#include "windows_file_system.h"
#include "zip_archive.h"

namespace skyswap {

namespace {

constexpr char kLibraryInUseMessage[] =
    "SkySwap is open for this library folder. Nothing was changed: change the sky in its window, "
    "or close it and try again.";

// A handle that the starter gave for output: a pipe or a file ("skyswap /status > a.txt").
bool IsRedirected(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

bool WriteAll(HANDLE handle, const std::string& bytes) {
    DWORD written = 0;
    for (std::size_t done = 0; done < bytes.size(); done += written) {
        if (!WriteFile(handle, bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &written, nullptr) ||
            written == 0) {
            return false;
        }
    }
    return true;
}

std::wstring WithCrLf(const std::string& text) {
    std::wstring wide;
    for (wchar_t c : Utf8ToWide(text)) {
        if (c == L'\n') {
            wide += L'\r';
        }
        wide += c;
    }
    return wide + L"\r\n";
}

// The text goes where the starter looks: its redirection, else its console. False when there
// is neither, as for a program started from Explorer or a shortcut.
bool WriteToStarter(const std::string& text, bool failure) {
    const std::wstring lines = WithCrLf(text);
    HANDLE given = GetStdHandle(failure ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (IsRedirected(given)) {
        return WriteAll(given, WideToUtf8(lines));
    }
    // A window program has no console of its own; it borrows its starter's. Wine hands it
    // that console already, and then AttachConsole refuses with "access denied".
    const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
    if (!attached && GetLastError() != ERROR_ACCESS_DENIED) {
        return false;
    }
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    bool ok = false;
    if (console != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ok = WriteConsoleW(console, lines.c_str(), static_cast<DWORD>(lines.size()), &written,
                           nullptr) != FALSE;
        CloseHandle(console);
    }
    if (attached) {
        FreeConsole();
    }
    return ok;
}

// As the window does: the game is seen as it sees itself, VirtualStore shadow copies included,
// and after a transfer into it those copies go, so the game shows what was installed.
CommandOutcome RunThroughTheGamesView(const CommandLine& command, AppState& state,
                                      WindowsFileSystem& fileSystem) {
    KnownFolders known = ThisUsersKnownFolders();
    if (command.virtualStore) {
        known.virtualStore = *command.virtualStore;
    }
    // The game folder is the library's parent, as discovery finds it.
    const std::string library = fileSystem.CurrentFolder().value_or(std::string());
    const std::string game = library.substr(0, library.find_last_of('\\'));
    GameView view(fileSystem);
    view.SetFolders(game, VirtualStoreMirror(game, known));
    SYSTEMTIME today{};
    GetLocalTime(&today);
    CommandOutcome outcome = RunCommand(
        command, state, view, KeptDescription(today.wYear, today.wMonth, today.wDay),
        view.BehindShadows(),
        {FolderOnNetworkShare, KeptDefaultDescription(today.wYear, today.wMonth, today.wDay)});
    const bool changedTheGame = command.action != CommandAction::Status &&
                                command.action != CommandAction::SaveDefault &&
                                outcome.exitCode == kExitSuccess;
    if (changedTheGame && view.Mirror()) {
        // The sky the game showed was kept through the view before the transfer.
        const std::string store = VirtualStoreFolder(known);
        const TransferReport cleanup = RemoveShadowCopies(
            fileSystem, *view.Mirror(), {},
            [&](const std::string& path) { return RemoveShadowCopyWithoutLinks(store, path); });
        const std::string message = ShadowCleanupMessage(cleanup);
        if (!message.empty()) {
            outcome = {kExitFailed, outcome.text + "\n" + message};
        }
    }
    return outcome;
}

// How long "/add" waits for the window that has the library open to appear and take the paths.
constexpr DWORD kFindWindowMs = 3000;
constexpr UINT kHandOverMs = 10000;

// Started by a drop on its icon, SkySwap runs in a folder that Explorer chose: when that is no
// library, the library is the folder the program is in, as it is when it lives in one.
void FindLibraryToAddTo(WindowsFileSystem& fileSystem) {
    AppState probe;
    if (DiscoverLibrary(probe, fileSystem) == DiscoveryResult::Ok) {
        return;
    }
    const std::wstring program = ThisProgramPath();
    const std::size_t separator = program.find_last_of(L"\\/");
    if (separator != std::wstring::npos) {
        SetCurrentDirectoryW(program.substr(0, separator).c_str());
    }
}

// The window that has the library open adds the paths itself and shows the outcome.
CommandOutcome HandToTheWindow(const SingleInstance& library, const CommandLine& command) {
    const std::wstring folder = Utf8ToWide(WindowsFileSystem().CurrentFolder().value_or(""));
    if (library.ActivateHolder(kFindWindowMs)) {
        const HWND window = SingleInstance::FindHolderWindow(folder);
        if (window != nullptr && SendAddRequest(window, command.paths, kHandOverMs)) {
            return {kExitSuccess,
                    "SkySwap is open for this library folder: its window adds the skies and "
                    "shows what it added.",
                    {}};
        }
    }
    return {kExitFailed, {}, kLibraryInUseMessage};
}

CommandOutcome AddToTheLibrary(const CommandLine& command, WindowsFileSystem& fileSystem) {
    // The pictures are scaled through WIC, a COM service.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CommandOutcome outcome;
    {
        const std::unique_ptr<ArchiveOpener> archives = MakeZipArchiveOpener();
        const std::unique_ptr<PictureScaler> pictures = MakeWicPictureScaler();
        AppState state;
        outcome = RunAdd(command, state, {fileSystem, *archives, *pictures});
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return outcome;
}

// Writes the outcome where the starter looks; false when it has no console or redirection.
bool TellTheStarter(const CommandLine& command, const CommandOutcome& outcome) {
    if (command.action != CommandAction::Add) {
        return WriteToStarter(outcome.text, outcome.exitCode != kExitSuccess);
    }
    return (outcome.text.empty() || WriteToStarter(outcome.text, false)) &&
           (outcome.errors.empty() || WriteToStarter(outcome.errors, true));
}

}  // namespace

CommandLine ProcessCommandLine() {
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; words != nullptr && i < count; ++i) {
        arguments.push_back(WideToUtf8(words[i]));
    }
    LocalFree(words);
    CommandLine command = ParseCommandLine(arguments);
    // Paths are the starter's, relative to the folder it started SkySwap in, which /library or
    // the library's own lookup may change.
    for (std::string& path : command.paths) {
        const std::wstring given = Utf8ToWide(path);
        const DWORD length = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
        std::wstring full(length, L'\0');
        if (length > 0 &&
            GetFullPathNameW(given.c_str(), length, full.data(), nullptr) == length - 1) {
            full.resize(length - 1);
            path = WideToUtf8(full);
        }
    }
    return command;
}

int RunFromCommandLine(const CommandLine& command) {
    CommandOutcome outcome;
    bool windowTells = false;  // the open window shows what it added
    if (!command.ok()) {
        outcome = {kExitBadCommandLine,
                   command.error + "\nType skyswap /? for the list of switches."};
    } else if (command.action == CommandAction::Help) {
        outcome = {kExitSuccess, CommandLineHelp()};
    } else {
        // As for the window: the library is the current folder, or the one /library names.
        WindowsFileSystem fileSystem;
        if (command.library) {
            SetCurrentDirectoryW(Utf8ToWide(*command.library).c_str());
        } else if (command.action == CommandAction::Add) {
            FindLibraryToAddTo(fileSystem);
        }
        AppState state;
        // Two SkySwaps never change the same folders at once: a transfer waits for nobody and
        // leaves the library to the window that has it open.
        std::optional<SingleInstance> library;
        if (command.action != CommandAction::Status) {
            library.emplace(Utf8ToWide(fileSystem.CurrentFolder().value_or(std::string())));
        }
        if (library && !library->IsFirst()) {
            outcome = command.action == CommandAction::Add
                          ? HandToTheWindow(*library, command)
                          : CommandOutcome{kExitFailed, kLibraryInUseMessage};
            windowTells = command.action == CommandAction::Add && outcome.exitCode == kExitSuccess;
        } else if (command.action == CommandAction::Add) {
            outcome = AddToTheLibrary(command, fileSystem);
        } else {
            outcome = RunThroughTheGamesView(command, state, fileSystem);
        }
    }
    const bool failure = outcome.exitCode != kExitSuccess;
    if (TellTheStarter(command, outcome) || command.quiet || windowTells) {
        return outcome.exitCode;
    }
    // Without a console only what needs the user's attention is shown: a failure, the list
    // that "/?" asked for, or what a drop on the icon added.
    if (failure || command.action == CommandAction::Help || command.action == CommandAction::Add) {
        const std::string text = outcome.text +
                                 (outcome.text.empty() || outcome.errors.empty() ? "" : "\n") +
                                 outcome.errors;
        UINT type = MB_OK;
        if (outcome.exitCode == kExitBadCommandLine) {
            type |= MB_ICONERROR;
        } else if (failure && text != kInstallationMessage) {
            type |= MB_ICONWARNING;
        } else if (command.action == CommandAction::Add && !failure) {
            type |= MB_ICONINFORMATION;
        }
        MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(kProgramTitle).c_str(), type);
    }
    return outcome.exitCode;
}

}  // namespace skyswap
