// The command line that a launcher or a batch file gives SkySwap, and what each action does.
// Parsing and running are portable; the Windows front (console, message box) only shows the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "add_sets.h"
#include "app_state.h"
#include "file_system.h"

namespace skyswap {

enum class CommandAction {
    Window,       // no action switch: the program is its window
    Random,       // "/random"
    Install,      // "/install N"
    MyDefault,    // "/mydefault"
    GameDefault,  // "/gamedefault"
    Status,       // "/status"
    Help,         // "/?"
    Add,          // "/add PATH...", or paths without a switch (a drop on the program's icon)
};

struct CommandLine {
    CommandAction action = CommandAction::Window;
    int32_t setNumber = 0;  // for CommandAction::Install
    // For CommandAction::Add: the folders and .zip files to add, in the order given.
    std::vector<std::string> paths;
    bool quiet = false;  // "/quiet": no message box, whatever happens
    // "/library <folder>" and "/virtualstore <folder>": where an elevated restart finds the
    // library and the user's virtualised files. Either may come with any action or none.
    std::optional<std::string> library;
    std::optional<std::string> virtualStore;
    // Empty when the command line is understood; otherwise what is wrong with it.
    std::string error;

    bool ok() const { return error.empty(); }
};

// Exit codes of a run from the command line.
constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;  // the transfer failed or changed nothing
constexpr int kExitBadCommandLine = 2;

// Reads the arguments (without the program's name, UTF-8). A switch starts with "/" or "-" and
// is matched in any letter case, as Windows programs do. Arguments that are no switch are paths
// to add, with "/add" or without any action switch.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The list of switches that "/?" prints.
std::string CommandLineHelp();

struct CommandOutcome {
    CommandOutcome(int code = kExitSuccess, std::string said = {}, std::string saidAsErrors = {})
        : exitCode(code), text(std::move(said)), errors(std::move(saidAsErrors)) {}

    int exitCode = kExitSuccess;
    std::string text;  // what the user reads; one or more lines
    // For "/add", whose `text` (the sets added) goes to the standard output: what goes to the
    // standard error beside it (the paths refused). The other actions leave it empty; their
    // `text` is an error when the exit code is not 0.
    std::string errors;
};

// Runs an action other than Window and Help with the window's own start-up checks and
// transfers: discovery first (a failure gives the installation message and exit code 1), then
// the one transfer, with a sky in no set kept first as a new set described by
// `keptDescription`. `state` is filled by discovery.
CommandOutcome RunCommand(const CommandLine& command, AppState& state, FileSystem& fs,
                          const std::string& keptDescription,
                          FileSystem* gameFolderItself = nullptr);

// "/add": discovery first, as for RunCommand, then each path added on its own. The sets added
// are in `text`, the refusals in `errors`; the exit code is 0 when every path added a set.
CommandOutcome RunAdd(const CommandLine& command, AppState& state, const AddServices& services);

// What "/status" reports: what is in the game, as the window's title says it, and which of the
// ten sky files the game folder holds.
std::string GameStatus(const AppState& state, FileSystem& fs);

}  // namespace skyswap
