#include "command_line_win.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "console_win.h"
#include "keep_sky.h"
#include "known_folders_win.h"
#include "library_lock.h"
#include "messages.h"
#include "single_instance_win.h"
#include "text_win.h"
#include "virtual_store.h"
#include "windows_file_system.h"

namespace skyswap {

namespace {

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
    CommandOutcome outcome =
        RunCommand(command, state, view, KeptDescription(today.wYear, today.wMonth, today.wDay),
                   view.BehindShadows());
    const bool changedTheGame =
        command.action != CommandAction::Status && outcome.exitCode == kExitSuccess;
    if (changedTheGame && view.Mirror()) {
        // The sky the game showed was kept through the view before the transfer.
        const TransferReport cleanup = RemoveShadowCopies(fileSystem, *view.Mirror());
        const std::string message = ShadowCleanupMessage(cleanup);
        if (!message.empty()) {
            outcome = {kExitFailed, outcome.text + "\n" + message};
        }
    }
    return outcome;
}

}  // namespace

CommandLine ProcessCommandLine() {
    return ParseCommandLine(ProgramArguments());
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
    if (!command.ok()) {
        outcome = {kExitBadCommandLine,
                   command.error + "\nType skyswap /? for the list of switches."};
    } else if (command.action == CommandAction::Help) {
        outcome = {kExitSuccess, CommandLineHelp()};
    } else if (const std::optional<std::string> problem = EnterLibraryFolder(command)) {
        outcome = {kExitBadCommandLine, *problem};
    } else {
        // As for the window: the library is the current folder, or the one /library names.
        AppState state;
        WindowsFileSystem fileSystem;
        const std::string folder = fileSystem.CurrentFolder().value_or(std::string());
        // Two SkySwaps never change the same folders at once: a transfer holds the library
        // while it may write, waits for nobody, and leaves a library that another SkySwap
        // holds alone. Where the folder refuses even the lock file, SkySwap cannot write there
        // either, and the transfer meets that refusal itself.
        std::optional<SingleInstance> library;
        if (command.action != CommandAction::Status) {
            library.emplace(Utf8ToWide(folder), SingleInstance::Holder::CommandLine);
        }
        if (library && library->state() == SingleInstance::State::InUse) {
            outcome = {kExitFailed, AlreadyOpenMessage(folder, library->JudgeHolderNow(), true)};
        } else {
            outcome = RunThroughTheGamesView(command, state, fileSystem);
        }
    }
    const bool failure = outcome.exitCode != kExitSuccess;
    const bool window = front == CommandFront::Window;
    if (WriteToStarter(outcome.text, failure, window) || command.quiet || !window) {
        return outcome.exitCode;
    }
    // Without a console only what needs the user's attention is shown: a failure, or the list
    // that "/?" asked for.
    if (failure || command.action == CommandAction::Help) {
        UINT type = MB_OK;
        if (outcome.exitCode == kExitBadCommandLine) {
            type |= MB_ICONERROR;
        } else if (failure && outcome.text != kInstallationMessage) {
            type |= MB_ICONWARNING;
        }
        MessageBoxW(nullptr, Utf8ToWide(outcome.text).c_str(), Utf8ToWide(kProgramTitle).c_str(),
                    type);
    }
    return outcome.exitCode;
}

}  // namespace skyswap
