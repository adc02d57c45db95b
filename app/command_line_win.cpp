#include "command_line_win.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "add_request.h"
#include "console_win.h"
#include "discovery.h"
#include "elevation_win.h"
#include "game_start.h"
#include "game_start_win.h"
#include "library_lock.h"
#include "library_services_win.h"
#include "messages.h"
#include "single_instance_win.h"
#include "text_win.h"
#include "windows_file_system.h"

namespace skyswap {

namespace {

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

// The window that has the library open adds the paths itself and shows the outcome. Nothing
// when the holder ended meanwhile and this process holds the library now.
std::optional<CommandOutcome> HandToTheWindow(SingleInstance& library, const CommandLine& command,
                                              const std::string& folder) {
    HWND window = nullptr;
    const HolderVerdict verdict = library.ActivateHolder(kFindWindowMs, &window);
    if (verdict == HolderVerdict::Taken) {
        return std::nullopt;
    }
    // Only a window whose process Windows names as this account's, in this session, is handed
    // the paths.
    if (verdict == HolderVerdict::BringToFront) {
        if (window != nullptr && SendAddRequest(window, command.paths, kHandOverMs)) {
            return CommandOutcome{kExitSuccess,
                                  "SkySwap is open for this library folder: its window adds the "
                                  "skies and shows what it added.",
                                  {}};
        }
    }
    return CommandOutcome{
        kExitFailed, {}, AlreadyOpenMessage(folder, verdict, true, library.holderComputer())};
}

// Writes the outcome where the starter looks; false when it has no console or redirection.
bool TellTheStarter(const CommandLine& command, const CommandOutcome& outcome, bool borrowConsole) {
    if (command.action != LibraryAction::AddDownloads) {
        return WriteToStarter(outcome.text, outcome.exitCode != kExitSuccess, borrowConsole);
    }
    return (outcome.text.empty() || WriteToStarter(outcome.text, false, borrowConsole)) &&
           (outcome.errors.empty() || WriteToStarter(outcome.errors, true, borrowConsole));
}

}  // namespace

CommandLine ProcessCommandLine(const std::vector<std::string>& arguments) {
    CommandLine command = ParseCommandLine(arguments);
    // Paths are the starter's, relative to the folder it started SkySwap in, which /library or
    // the library's own lookup may change.
    const auto MakeFull = [](std::string& path) {
        const std::wstring given = Utf8ToWide(path);
        const DWORD length = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
        std::wstring full(length, L'\0');
        if (length > 0 &&
            GetFullPathNameW(given.c_str(), length, full.data(), nullptr) == length - 1) {
            full.resize(length - 1);
            path = WideToUtf8(full);
        }
    };
    for (std::string& path : command.paths) {
        MakeFull(path);
    }
    if (command.game) {
        MakeFull(*command.game);
    }
    return command;
}

std::optional<std::string> EnterLibraryFolder(const CommandLine& command) {
    if (!command.library || SetCurrentDirectoryW(Utf8ToWide(*command.library).c_str())) {
        return std::nullopt;
    }
    return "The library folder " + *command.library +
           " cannot be opened: " + SystemMessage(GetLastError());
}

int RunFromCommandLine(const CommandLine& command, CommandFront front) {
    CommandOutcome outcome;
    bool windowTells = false;  // the open window shows what it added
    if (!command.ok()) {
        outcome = {kExitBadCommandLine,
                   command.error + "\nType skyswap /? for the list of switches."};
    } else if (command.help) {
        outcome = {kExitSuccess, CommandLineHelp()};
    } else if (const std::optional<std::string> problem = EnterLibraryFolder(command)) {
        outcome = {kExitBadCommandLine, *problem};
    } else {
        // As for the window: the library is the current folder, or the one /library names.
        WindowsFileSystem fileSystem;
        if (!command.library && command.action == LibraryAction::AddDownloads) {
            FindLibraryToAddTo(fileSystem);
        }
        const std::string folder = fileSystem.CurrentFolder().value_or(std::string());
        // Two SkySwaps never change the same folders at once: a transfer or an addition holds
        // the library while it may write and waits for nobody; a library that another SkySwap
        // holds is left alone, or gets the paths to add when that is a window. Where the folder
        // refuses even the lock file, SkySwap cannot write there either, and the transfer meets
        // that refusal itself.
        std::optional<SingleInstance> library;
        if (command.action != LibraryAction::Status && command.action != LibraryAction::None) {
            library.emplace(Utf8ToWide(folder), SingleInstance::Holder::CommandLine);
        }
        std::optional<CommandOutcome> leftToTheHolder;
        if (library && library->state() == SingleInstance::State::InUse) {
            leftToTheHolder =
                command.action == LibraryAction::AddDownloads
                    ? HandToTheWindow(*library, command, folder)
                    : CommandOutcome{kExitFailed,
                                     AlreadyOpenMessage(folder, library->JudgeHolderNow(), true,
                                                        library->holderComputer()),
                                     {}};
            windowTells = command.action == LibraryAction::AddDownloads && leftToTheHolder &&
                          leftToTheHolder->exitCode == kExitSuccess;
        }
        // A lock file that is there but is not taken: nothing is changed without the lock.
        if (!leftToTheHolder && library && library->state() == SingleInstance::State::Refused) {
            const std::string why = LockRefusedMessage(folder, library->refusal(),
                                                       SystemMessage(library->error()), true);
            leftToTheHolder = command.action == LibraryAction::AddDownloads
                                  ? CommandOutcome{kExitFailed, {}, why}
                                  : CommandOutcome{kExitFailed, why, {}};
        }
        LibrarySession session(fileSystem, WindowsSessionSystem());
        session.UseVirtualStore(command.virtualStore.value_or(std::string()));
        if (leftToTheHolder) {
            outcome = *leftToTheHolder;
        } else {
            if (command.action == LibraryAction::AddDownloads) {
                const WindowsAddServices adding(fileSystem);
                outcome = RunAdd(command, session, adding.services());
            } else {
                outcome = RunCommand(command, session);
            }
        }
        if (command.play) {
            outcome = PlayAfter(command, session, outcome, StartDetached);
        }
    }
    const bool failure = outcome.exitCode != kExitSuccess;
    const bool window = front == CommandFront::Window;
    if (TellTheStarter(command, outcome, window) || command.quiet || windowTells || !window) {
        return outcome.exitCode;
    }
    // Without a console only what needs the user's attention is shown: a failure, the list
    // that "/?" asked for, or what a drop on the icon added.
    if (failure || command.help || command.action == LibraryAction::AddDownloads) {
        const std::string text = outcome.text +
                                 (outcome.text.empty() || outcome.errors.empty() ? "" : "\n") +
                                 outcome.errors;
        UINT type = MB_OK;
        if (outcome.exitCode == kExitBadCommandLine) {
            type |= MB_ICONERROR;
        } else if (failure && text != kInstallationMessage) {
            type |= MB_ICONWARNING;
        } else if (command.action == LibraryAction::AddDownloads && !failure) {
            type |= MB_ICONINFORMATION;
        }
        ShowProgramMessage(nullptr, text, type);
    }
    return outcome.exitCode;
}

}  // namespace skyswap
