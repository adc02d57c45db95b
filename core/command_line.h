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
#include "library_session.h"
#include "restart_arguments.h"

namespace skyswap {

struct CommandLine {
    // None: no action switch, the program is its window. AddDownloads also for paths without a
    // switch (a drop on the program's icon).
    LibraryAction action = LibraryAction::None;
    bool help = false;      // "/?"
    int32_t setNumber = 0;  // for InstallSet, SaveMyDefault and the set actions
    // For AddDownloads: the folders and .zip files to add, in the order given; for ExportSet:
    // the ZIP file to write.
    std::vector<std::string> paths;
    std::string text;    // for DescribeSet: the new description
    bool quiet = false;  // "/quiet": no message box, whatever happens
    // "/library <folder>" and "/virtualstore <folder>": where an elevated restart finds the
    // library and the user's virtualised files. Either may come with any action or none.
    std::optional<std::string> library;
    std::optional<std::string> virtualStore;
    // "/resume ...": what a window restarted as administrator does once it is up.
    LibraryRequest resume;
    // "/play": the game starts once the action has run, or alone; "/game PROGRAM" names the
    // program to start instead of the game folder's eaw.exe (a launcher).
    bool play = false;
    std::optional<std::string> game;
    // Empty when the command line is understood; otherwise what is wrong with it.
    std::string error;

    bool ok() const { return error.empty(); }
    // No action, no "/?" and no "/play": the program is its window.
    bool OpensTheWindow() const { return action == LibraryAction::None && !help && !play; }
    // The library action it asks for.
    LibraryRequest Request() const { return {action, setNumber, paths}; }
};

// Exit codes of a run from the command line.
constexpr int kExitSuccess = 0;
constexpr int kExitFailed = 1;  // the transfer failed or changed nothing, or the game did not start
constexpr int kExitBadCommandLine = 2;

// A set number as the user types it: decimal digits only, at most kHighestSetNumber.
std::optional<int32_t> SetNumberArgument(const std::string& text);

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
    // The game's sky is one whole sky, changed or not: "/play" may start the game.
    bool gameSkyWhole = true;
};

// Runs an action other than the window, "/?" and "/add" through `session`: the library is
// opened first (a failure gives the installation message and exit code 1), then the action.
CommandOutcome RunCommand(const CommandLine& command, LibrarySession& session);

// "/add": the library is opened as for RunCommand, then each path added on its own. The sets
// added are in `text`, the refusals in `errors`; the exit code is 0 when every path added a set.
CommandOutcome RunAdd(const CommandLine& command, LibrarySession& session,
                      const AddServices& services);

}  // namespace skyswap
