// SkySwap started with a switch: the action runs without a window, its text goes to the console
// of the program that started it, and the exit code tells a batch file how it went.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "command_line.h"

namespace skyswap {

// The process's own arguments, parsed, with every path made absolute against the folder the
// starter typed it in, before /library or the library's own lookup changes the current folder.
// Both programs take their arguments through here.
CommandLine ProcessCommandLine(const std::vector<std::string>& arguments);

// Makes the library folder that /library names the current folder. The message to show when it
// cannot be entered (exit code 2): SkySwap never works in the folder it happened to start in
// instead.
std::optional<std::string> EnterLibraryFolder(const CommandLine& command);

// Who shows the text of a run: skyswap.exe borrows its starter's console or shows a message
// box; skyswap.com writes to its own console or redirection only.
enum class CommandFront { Window, Console };

// Runs an action (any parsed command line but the plain window), shows its text and returns the
// exit code.
int RunFromCommandLine(const CommandLine& command, CommandFront front);

}  // namespace skyswap
