// Builds game folders and sky libraries on disk for the tests.
#pragma once

#include <string>
#include <vector>

#include "app_state.h"
#include "test_support.h"

namespace skyswap::test {

// "Game" with "eaw.ini", and the library folder "Game\Skies".
constexpr const char* kGame = "Game";
constexpr const char* kLibrary = "Game\\Skies";

// The ten names without their separator: "bnhorizn.ter", ...
std::vector<std::string> SkyFileNames();

// What the test writes as file `name` of a folder tagged `tag`: distinct for every pair.
std::string SkyFileBytes(const std::string& tag, const std::string& name);

// Writes the given sky files (all ten when `names` is empty) into `folder`, tagged `tag`.
void WriteSkyFiles(const TempFolder& temp, const std::string& folder, const std::string& tag,
                   const std::vector<std::string>& names = {});

// Makes the game folder with eaw.ini and the library with sets ZT0..ZT(count-1), each holding
// the ten files tagged "ZTn". The current folder is not changed.
void MakeLibrary(const TempFolder& temp, int count);

// An AppState as discovery leaves it for the library made by MakeLibrary.
AppState StateFor(const TempFolder& temp);

// For each of the ten names: the tag of the folder its bytes came from, "" when absent, "?" when
// the bytes match no tag from `tags`.
std::vector<std::string> TagsIn(const TempFolder& temp, const std::string& folder,
                                const std::vector<std::string>& tags);

}  // namespace skyswap::test
