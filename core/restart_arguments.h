// The command line of a SkySwap restarted with administrator rights. An elevated start may not
// keep the working folder, and may run under another account whose profile is not the player's,
// so the restart carries the library folder and the player's VirtualStore folder:
//   skyswap.exe /library "<folder>" /virtualstore "<folder>"
#pragma once

#include <string>
#include <vector>

namespace skyswap {

struct RestartArguments {
    std::string library;       // the library folder to start in; empty: the current folder
    std::string virtualStore;  // the VirtualStore folder to clean; empty: this user's own
};

// One argument quoted so that CommandLineToArgvW reads it back unchanged: in double quotes, with
// the backslashes before a quote, and those at the end, doubled.
std::string QuoteArgument(const std::string& argument);

// The parameters for the restarted program (without the program's own path).
std::string RestartParameters(const RestartArguments& arguments);

// Reads /library and /virtualstore (any letter case, "/" or "-") from the arguments after the
// program's path; every other argument is left to the rest of the program.
RestartArguments ParseRestartArguments(const std::vector<std::string>& arguments);

}  // namespace skyswap
