// "/play": once the command line's action has run, the game starts with the sky it has then, as
// a player's shortcut "EAW with a random sky" asks.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "command_line.h"
#include "file_system.h"
#include "library_session.h"

namespace skyswap {

// Starts `program` with `folder` as its current folder and leaves it running on its own; the
// status says why it could not start.
using StartProgram = std::function<FsStatus(const std::string& program, const std::string& folder)>;

// The game's own program in `gameFolder`: the entry named eaw.exe in any letter case.
std::optional<std::string> FindGameProgram(FileSystem& fs, const std::string& gameFolder);

// Starts the game after `outcome`, the action's, unless the action left the game's sky half
// changed. `/game` names the program; otherwise it is the game folder's eaw.exe. The outcome's
// exit code stays the action's, but a game program that is not there gives exit code 2 and a
// start that fails 1, each with a line saying so after the action's own.
CommandOutcome PlayAfter(const CommandLine& command, LibrarySession& session,
                         CommandOutcome outcome, const StartProgram& start);

}  // namespace skyswap
