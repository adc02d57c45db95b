// The names a screen reader announces for the image elements.
#pragma once

#include <string>

#include "app_state.h"
#include "file_system.h"

namespace skyswap {

// Slot 0..9: its set's description, "ZTn" when the set has none, "empty slot" when there is no
// set at that number; the installed set's slot says so. 10 to 12: "RANDOM", "BACK", "NEXT".
std::string ElementName(const AppState& state, FileSystem& fs, int element, bool installed);

}  // namespace skyswap
