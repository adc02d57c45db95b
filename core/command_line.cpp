#include "command_line.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "discovery.h"
#include "game_transfers.h"
#include "messages.h"
#include "selection.h"
#include "transfers.h"

namespace skyswap {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsSwitch(const std::string& argument) {
    return argument.size() > 1 && (argument[0] == '/' || argument[0] == '-');
}

std::optional<CommandAction> ActionSwitch(const std::string& name) {
    static const std::pair<const char*, CommandAction> kActions[] = {
        {"random", CommandAction::Random},
        {"install", CommandAction::Install},
        {"mydefault", CommandAction::MyDefault},
        {"gamedefault", CommandAction::GameDefault},
        {"status", CommandAction::Status},
        {"?", CommandAction::Help},
        {"add", CommandAction::Add},
        {"savedefault", CommandAction::SaveDefault},
    };
    for (const auto& [switchName, action] : kActions) {
        if (name == switchName) {
            return action;
        }
    }
    return std::nullopt;
}

bool IsQuiet(const std::string& argument) {
    return IsSwitch(argument) && Lower(argument.substr(1)) == "quiet";
}

}  // namespace

std::optional<int32_t> SetNumberArgument(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return std::nullopt;
    }
    const long value = std::stol(text);
    if (value > kHighestSetNumber) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    // "/quiet" holds for a command line that is refused too: a launcher that asked for no
    // message box never gets one.
    const bool quiet = std::any_of(arguments.begin(), arguments.end(), IsQuiet);
    const auto Refused = [quiet](std::string error) {
        CommandLine refused;
        refused.quiet = quiet;
        refused.error = std::move(error);
        return refused;
    };
    CommandLine command;
    std::string actionSwitch;  // as typed, for the message about two actions
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!IsSwitch(argument)) {
            if (argument.empty() || argument == "/" || argument == "-") {
                return Refused("Unexpected argument \"" + argument + "\".");
            }
            // Windows starts a program with the paths of the files dropped on its icon.
            command.paths.push_back(argument);
            continue;
        }
        const std::string name = Lower(argument.substr(1));
        const bool hasValue = i + 1 < arguments.size();
        if (name == "quiet") {
            command.quiet = true;
        } else if (name == "library" || name == "virtualstore") {
            std::optional<std::string>& folder =
                name == "library" ? command.library : command.virtualStore;
            if (!hasValue || arguments[i + 1].empty()) {
                return Refused(argument + " needs a folder.");
            }
            if (folder) {
                return Refused(argument + " is given twice.");
            }
            folder = arguments[++i];
        } else if (name == kResumeSwitchName) {
            const std::string wrong = ReadResumeSwitch(arguments, i, command.resume);
            if (!wrong.empty()) {
                return Refused(argument + " " + wrong);
            }
        } else if (const std::optional<CommandAction> action = ActionSwitch(name)) {
            if (!actionSwitch.empty()) {
                return Refused("Only one action at a time: " + actionSwitch + " and " + argument +
                               " were both given.");
            }
            actionSwitch = argument;
            command.action = *action;
            if (*action == CommandAction::Install || *action == CommandAction::SaveDefault) {
                if (!hasValue) {
                    return Refused(argument + " needs a set number, for example " + argument +
                                   " 12.");
                }
                const std::optional<int32_t> number = SetNumberArgument(arguments[++i]);
                if (!number) {
                    return Refused(argument + " takes a set number from 0 to " +
                                   std::to_string(kHighestSetNumber) + ", not \"" + arguments[i] +
                                   "\".");
                }
                command.setNumber = *number;
            }
        } else {
            return Refused("Unknown switch " + argument + ".");
        }
    }
    if (!command.paths.empty()) {
        if (command.action == CommandAction::Window) {
            command.action = CommandAction::Add;
        } else if (command.action != CommandAction::Add) {
            return Refused("Unexpected argument \"" + command.paths.front() + "\".");
        }
    } else if (command.action == CommandAction::Add) {
        return Refused(actionSwitch + " needs a folder or a .zip file to add, for example " +
                       actionSwitch + " \"Stormy Evening.zip\".");
    }
    if (!command.resume.empty() && command.action != CommandAction::Window) {
        return Refused("/" + std::string(kResumeSwitchName) +
                       " belongs to SkySwap's own restart and comes with no action switch.");
    }
    return command;
}

std::string CommandLineHelp() {
    return "Usage: skyswap [switch] [/quiet]\n"
           "       skyswap [/add] PATH... [/quiet]\n"
           "Started in its library folder, inside the game folder.\n"
           "\n"
           "  (none)          open the SkySwap window\n"
           "  /random         install a sky set drawn at random\n"
           "  /install N      install sky set N (the folder ZTN)\n"
           "  /mydefault      install your personal default (ZTDef)\n"
           "  /gamedefault    remove the ten sky files: the game uses its own skies\n"
           "  /savedefault N  save sky set N as your personal default (ZTDef)\n"
           "  /status         tell what the game folder holds\n"
           "  /add PATH...    add each downloaded sky (a folder or a .zip file) as a new set;\n"
           "                  paths without a switch mean the same\n"
           "  /?              show this list\n"
           "  /quiet          no message box when something goes wrong\n"
           "\n"
           "Exit code: 0 done, 1 failed or nothing changed (for /add: some path added no set),\n"
           "2 bad command line.";
}

CommandOutcome RunAdd(const CommandLine& command, AppState& state, const AddServices& services) {
    if (DiscoverLibrary(state, services.fs) != DiscoveryResult::Ok ||
        !services.fs.CanOpenForReading(state.libraryFolder + "\\nosky.jpg")) {
        return {kExitFailed, {}, kInstallationMessage};
    }
    const AddOutcome added = AddDownloads(state, services, command.paths);
    const auto Joined = [](const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += (text.empty() ? "" : "\n") + line;
        }
        return text;
    };
    CommandOutcome outcome{added.ExitCode(), Joined(AddedLines(added)),
                           Joined(RefusalLines(added))};
    if (added.libraryProtected) {
        // The refusal says which folder Windows protects.
        outcome.errors += "\nRun skyswap /add as administrator to add skies there.";
    }
    return outcome;
}

std::string GameStatus(const AppState& state, FileSystem& fs) {
    // The window's title says the same.
    SkyKnowledge knowledge;
    RefreshKnowledge(state, fs, knowledge);
    const std::string installed =
        knowledge.installed
            ? InstalledSkyName(*knowledge.installed,
                               InstalledSetDescription(state, fs, knowledge.installed))
            : "not known";
    std::vector<std::string> present;
    for (const char* file : SkyFileSet) {
        if (fs.IsFile(state.gameFolder + file)) {
            present.emplace_back(file + 1);  // without the separator
        }
    }
    std::string text = "Game folder: " + state.gameFolder + "\nIn the game: " + installed + "\n";
    if (present.empty()) {
        return text + "It holds none of the ten sky files: EAW uses its own skies.";
    }
    if (present.size() == SkyFileSet.size()) {
        return text + "It holds all ten sky files.";
    }
    text += "It holds " + std::to_string(present.size()) + " of the ten sky files:";
    for (const std::string& name : present) {
        text += " " + name;
    }
    return text + ".";
}

namespace {

using NetworkShareQuery = std::function<bool(const std::string& folder)>;

// What went wrong; on a network share, no advice that administrator rights would help.
std::string FailureMessage(const TransferReport& report, const NetworkShareQuery& onNetworkShare) {
    if (!report.protectedFolder.empty() && onNetworkShare &&
        onNetworkShare(report.protectedFolder)) {
        return NetworkShareRefusal(report);
    }
    return TransferMessage(report);
}

// What a transfer that went through or failed tells, after what was kept before it.
CommandOutcome TransferOutcome(const GameTransferOutcome& outcome, const std::string& done,
                               const NetworkShareQuery& onNetworkShare) {
    if (const KeepOutcome* failed = outcome.FailedKeep()) {
        return {kExitFailed, KeepFailedMessage(*failed)};
    }
    std::string kept;
    for (const KeepOutcome* keep : outcome.Kept()) {
        kept += KeptMessage(*keep) + "\n";
    }
    if (!outcome.transfer.ok()) {
        return {kExitFailed, kept + FailureMessage(outcome.transfer, onNetworkShare)};
    }
    return {kExitSuccess, kept + done};
}

}  // namespace

CommandOutcome RunCommand(const CommandLine& command, AppState& state, FileSystem& fs,
                          const std::string& keptDescription, FileSystem* gameFolderItself,
                          const CommandContext& context) {
    if (DiscoverLibrary(state, fs) != DiscoveryResult::Ok ||
        !fs.CanOpenForReading(state.libraryFolder + "\\nosky.jpg")) {
        return {kExitFailed, kInstallationMessage};
    }
    GameTransfer transfer = GameTransfer::InstallSelected;
    switch (command.action) {
        case CommandAction::Status:
            return {kExitSuccess, GameStatus(state, fs)};
        case CommandAction::Random:
            ChooseRandom(state);
            break;
        case CommandAction::Install:
            ChooseSet(state, command.setNumber);
            break;
        case CommandAction::MyDefault:
            transfer = GameTransfer::LoadMyDefault;
            break;
        case CommandAction::GameDefault:
            transfer = GameTransfer::LoadGameDefault;
            break;
        case CommandAction::SaveDefault: {
            ChooseSet(state, command.setNumber);
            RemoveUnfinishedSets(state, fs);
            SkyKnowledge knowledge;
            return TransferOutcome(
                RunSaveMyDefault(state, fs, knowledge, context.keptDefaultDescription),
                SavedDefaultMessage(command.setNumber), context.onNetworkShare);
        }
        case CommandAction::Window:
        case CommandAction::Help:
        case CommandAction::Add:
            return {kExitBadCommandLine, CommandLineHelp()};
    }
    // A transfer runs only where this SkySwap holds the library, as the window's start does.
    RemoveUnfinishedSets(state, fs);
    // As the window's buttons do: a sky in no set is kept first, and the random draw changes
    // the sky.
    SkyKnowledge knowledge;
    const GameTransferOutcome outcome =
        RunGameTransfer(transfer, state, fs, knowledge, keptDescription, gameFolderItself);
    return TransferOutcome(outcome,
                           GameTransferDoneMessage(transfer, state.selectedSet.value_or(0)),
                           context.onNetworkShare);
}

}  // namespace skyswap
