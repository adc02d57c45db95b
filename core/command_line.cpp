#include "command_line.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "discovery.h"
#include "keep_sky.h"
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

// A set number as the user types it: decimal digits only, at most kHighestSetNumber.
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

std::optional<CommandAction> ActionSwitch(const std::string& name) {
    static const std::pair<const char*, CommandAction> kActions[] = {
        {"random", CommandAction::Random},
        {"install", CommandAction::Install},
        {"mydefault", CommandAction::MyDefault},
        {"gamedefault", CommandAction::GameDefault},
        {"status", CommandAction::Status},
        {"?", CommandAction::Help},
        {"add", CommandAction::Add},
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
        } else if (const std::optional<CommandAction> action = ActionSwitch(name)) {
            if (!actionSwitch.empty()) {
                return Refused("Only one action at a time: " + actionSwitch + " and " + argument +
                               " were both given.");
            }
            actionSwitch = argument;
            command.action = *action;
            if (*action == CommandAction::Install) {
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
    return command;
}

std::string CommandLineHelp() {
    return "Usage: skyswap [switch] [/quiet]\n"
           "       skyswap [/add] PATH... [/quiet]\n"
           "Started in its library folder, inside the game folder.\n"
           "\n"
           "  (none)        open the SkySwap window\n"
           "  /random       install a sky set drawn at random\n"
           "  /install N    install sky set N (the folder ZTN)\n"
           "  /mydefault    install your personal default (ZTDef)\n"
           "  /gamedefault  remove the ten sky files: the game uses its own skies\n"
           "  /status       tell what the game folder holds\n"
           "  /add PATH...  add each downloaded sky (a folder or a .zip file) as a new set;\n"
           "                paths without a switch mean the same\n"
           "  /?            show this list\n"
           "  /quiet        no message box when something goes wrong\n"
           "\n"
           "Exit code: 0 done, 1 failed or nothing changed (for /add: some path added no set),\n"
           "2 bad command line.";
}

CommandOutcome RunAdd(const CommandLine& command, AppState& state, const AddServices& services) {
    if (DiscoverLibrary(state, services.fs) != DiscoveryResult::Ok ||
        !services.fs.CanOpenForReading(state.MainPath + "\\nosky.jpg")) {
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
        if (fs.IsFile(state.Dest + file)) {
            present.emplace_back(file + 1);  // without the separator
        }
    }
    std::string text = "Game folder: " + state.Dest + "\nIn the game: " + installed + "\n";
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

CommandOutcome RunCommand(const CommandLine& command, AppState& state, FileSystem& fs,
                          const std::string& keptDescription, FileSystem* gameFolderItself) {
    if (DiscoverLibrary(state, fs) != DiscoveryResult::Ok ||
        !fs.CanOpenForReading(state.MainPath + "\\nosky.jpg")) {
        return {kExitFailed, kInstallationMessage};
    }
    GameTransfer transfer = GameTransfer::InstallSelected;
    std::string done;
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
            done = "Your personal default (ZTDef) is now in the game.";
            break;
        case CommandAction::GameDefault:
            transfer = GameTransfer::LoadGameDefault;
            done = "The ten sky files are gone from the game: EAW uses its own skies.";
            break;
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
    if (const KeepOutcome* failed = outcome.FailedKeep()) {
        return {kExitFailed, KeepFailedMessage(*failed)};
    }
    std::string kept;
    for (const KeepOutcome* keep : outcome.Kept()) {
        kept += KeptMessage(*keep) + "\n";
    }
    if (!outcome.transfer.ok()) {
        return {kExitFailed, kept + TransferMessage(outcome.transfer)};
    }
    if (transfer == GameTransfer::InstallSelected) {
        done =
            "Sky set ZT" + std::to_string(state.SelectedIndex.value_or(0)) + " is now in the game.";
    }
    return {kExitSuccess, kept + done};
}

}  // namespace skyswap
