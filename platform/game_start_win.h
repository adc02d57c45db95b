// Starts the game for "/play", on its own: SkySwap neither waits for it nor shares a handle or
// its console with it.
#pragma once

#include <string>

#include "file_system.h"

namespace skyswap {

// StartProgram on Windows.
FsStatus StartDetached(const std::string& program, const std::string& folder);

}  // namespace skyswap
