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

// "/?" is no library action; LibraryAction::None stands for it here.
std::optional<LibraryAction> ActionSwitch(const std::string& name) {
    static const std::pair<const char*, LibraryAction> kActions[] = {
        {"random", LibraryAction::InstallRandom},
        {"install", LibraryAction::InstallSet},
        {"mydefault", LibraryAction::LoadMyDefault},
        {"gamedefault", LibraryAction::LoadGameDefault},
        {"status", LibraryAction::Status},
        {"?", LibraryAction::None},
        {"add", LibraryAction::AddDownloads},
        {"savedefault", LibraryAction::SaveMyDefault},
        {"describe", LibraryAction::DescribeSet},
        {"export", LibraryAction::ExportSet},
        {"remove", LibraryAction::RemoveSet},
    };
    for (const auto& [switchName, action] : kActions) {
        if (name == switchName) {
            return action;
        }
    }
    return std::nullopt;
}

// Windows PowerShell 5.1 passes a tab-completed 'C:\My Skies\' as "C:\My Skies\", which
// reads back as C:\My Skies" : the quote its backslash escaped is no part of the folder.
std::string PathArgument(std::string argument) {
    if (argument.size() > 1 && argument.back() == '"') {
        argument.pop_back();
    }
    return argument;
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
            command.paths.push_back(PathArgument(argument));
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
            folder = PathArgument(arguments[++i]);
        } else if (name == "play") {
            command.play = true;
        } else if (name == "game") {
            if (!hasValue || arguments[i + 1].empty()) {
                return Refused(argument + " needs the program to start, for example " + argument +
                               " \"C:\\EAW\\launcher.exe\".");
            }
            if (command.game) {
                return Refused(argument + " is given twice.");
            }
            command.game = PathArgument(arguments[++i]);
        } else if (name == kResumeSwitchName) {
            const std::string wrong = ReadResumeSwitch(arguments, i, command.resume);
            if (!wrong.empty()) {
                return Refused(argument + " " + wrong);
            }
        } else if (const std::optional<LibraryAction> action = ActionSwitch(name)) {
            if (!actionSwitch.empty()) {
                return Refused("Only one action at a time: " + actionSwitch + " and " + argument +
                               " were both given.");
            }
            actionSwitch = argument;
            command.action = *action;
            command.help = *action == LibraryAction::None;
            if (TakesSet(*action) || CaresForSet(*action)) {
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
            if (*action == LibraryAction::DescribeSet || *action == LibraryAction::ExportSet) {
                const bool describe = *action == LibraryAction::DescribeSet;
                if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                    return Refused(argument + " " + std::to_string(command.setNumber) +
                                   (describe ? " needs the description, for example " + argument +
                                                   " 12 \"Stormy Evening\"."
                                             : " needs the ZIP file to write, for example " +
                                                   argument + " 12 \"Stormy Evening.zip\"."));
                }
                // A description may begin with "-" or "/"; it is never a switch here.
                if (describe) {
                    command.text = arguments[++i];
                } else {
                    command.paths.push_back(PathArgument(arguments[++i]));
                }
            }
        } else {
            return Refused("Unknown switch " + argument + ".");
        }
    }
    if (!command.paths.empty()) {
        if (command.OpensTheWindow()) {
            command.action = LibraryAction::AddDownloads;
        } else if (command.action == LibraryAction::ExportSet && command.paths.size() > 1) {
            return Refused("Unexpected argument \"" + command.paths[1] + "\".");
        } else if (command.action != LibraryAction::AddDownloads &&
                   command.action != LibraryAction::ExportSet) {
            return Refused("Unexpected argument \"" + command.paths.front() + "\".");
        }
    } else if (command.action == LibraryAction::AddDownloads) {
        return Refused(actionSwitch + " needs a folder or a .zip file to add, for example " +
                       actionSwitch + " \"Stormy Evening.zip\".");
    }
    if (command.game && !command.play) {
        return Refused("/game names the program that /play starts: give /play too.");
    }
    if (!command.resume.empty() && !command.OpensTheWindow()) {
        return Refused("/" + std::string(kResumeSwitchName) +
                       " belongs to SkySwap's own restart and comes with no action switch.");
    }
    return command;
}

std::string CommandLineHelp() {
    return "Usage: skyswap [switch] [/play [/game PROGRAM]] [/quiet]\n"
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
           "  /describe N \"TEXT\"  give sky set N the description TEXT\n"
           "  /export N FILE.zip  write sky set N to a ZIP file that SkySwap can add again\n"
           "  /remove N       move sky set N to the Recycle Bin\n"
           "  /?              show this list\n"
           "  /quiet          no message box when something goes wrong\n"
           "  /play           then start the game (eaw.exe in the game folder), or alone:\n"
           "                  skyswap /random /play flies with a random sky\n"
           "  /game PROGRAM   /play starts PROGRAM (a launcher) instead of eaw.exe\n"
           "\n"
           "PowerShell runs a program from the current folder only as .\\skyswap.\n"
           "\n"
           "Exit code: 0 done, 1 failed or nothing changed (for /add: some path added no set),\n"
           "2 bad command line (for /play: no game program found).";
}

namespace {

CommandOutcome OutcomeOf(const SessionOutcome& outcome) {
    return {outcome.exitCode, outcome.text, outcome.errors};
}

}  // namespace

CommandOutcome RunCommand(const CommandLine& command, LibrarySession& session) {
    if (command.action == LibraryAction::None && command.play) {
        return {};  // "/play" alone: nothing to do before the game starts
    }
    if (command.action == LibraryAction::None || command.action == LibraryAction::AddDownloads) {
        return {kExitBadCommandLine, CommandLineHelp()};
    }
    // A transfer runs only where this SkySwap holds the library, as the window's start does.
    if (!session.Open(command.action != LibraryAction::Status)) {
        return {kExitFailed, kInstallationMessage};
    }
    if (command.action == LibraryAction::DescribeSet) {
        return OutcomeOf(session.Describe(command.setNumber, command.text));
    }
    const SessionOutcome ran = session.Run(command.Request());
    CommandOutcome outcome = OutcomeOf(ran);
    outcome.gameSkyWhole = !ran.transfer || LeavesTheSkyWhole(*ran.transfer);
    return outcome;
}

CommandOutcome RunAdd(const CommandLine& command, LibrarySession& session,
                      const AddServices& services) {
    if (!session.Open(true)) {
        return {kExitFailed, {}, kInstallationMessage};
    }
    return OutcomeOf(session.AddDownloads(command.paths, services));
}

}  // namespace skyswap
