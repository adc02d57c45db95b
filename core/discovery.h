// Start-up discovery: where the library and the game are, and which sky sets the library holds.
#pragma once

#include <optional>
#include <string_view>

#include "app_state.h"
#include "file_system.h"

namespace skyswap {

enum class DiscoveryResult {
    Ok,
    NoGameFolder,   // the library folder has no parent
    NoGameMarker,   // "eaw.ini" cannot be opened in the game folder
    ListingFailed,  // the library folder cannot be listed
};

// Fills libraryFolder, gameFolder, myDefaultFolder, setCount and setNumbers and resets pageFirst.
DiscoveryResult DiscoverLibrary(AppState& state, FileSystem& fs);

// The set number that a folder named like "ZT12" (any letter case) stands for, or nothing for a
// foreign name: leading zeros, signs, spaces and numbers above kHighestSetNumber are foreign.
std::optional<int32_t> SetNumberFromFolderName(std::string_view name);

}  // namespace skyswap
