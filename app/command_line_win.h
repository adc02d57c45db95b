// SkySwap started with a switch: the action runs without a window, its text goes to the console
// of the program that started it, and the exit code tells a batch file how it went.
#pragma once

#include "command_line.h"

namespace skyswap {

// The process's own arguments, parsed.
CommandLine ProcessCommandLine();

// Runs an action (any parsed command line but the plain window), shows its text and returns the
// exit code.
int RunFromCommandLine(const CommandLine& command);

}  // namespace skyswap
