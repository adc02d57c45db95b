// The arguments part of a Windows command line, and which command lines the console program
// hands to the window program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"

namespace skyswap {

// `commandLine` as the process got it, without the program's own name. `modulePath` is the
// program's file (GetModuleFileNameW): some launchers start it unquoted, spaces and all
// ("C:\Program Files (x86)\EAW\Sky\skyswap.exe /status"), and that whole path, with or without
// its extension, is the name, never three arguments. Otherwise the name ends at the first blank
// outside double quotes, as the C runtime reads it.
std::wstring ArgumentsAfterProgramName(std::wstring_view commandLine, std::wstring_view modulePath);

// True when the console program should start the window program with these arguments instead of
// running them itself: no action switch (the window with or without /library). Bare paths are
// "/add", which the console program runs itself.
bool StartsTheWindow(const CommandLine& parsed);

}  // namespace skyswap
