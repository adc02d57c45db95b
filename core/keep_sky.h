// Nothing lost: before a transfer replaces or removes the game's sky files, a sky that is in no
// set of the library and not in ZTDef is kept as a new set.
#pragma once

#include <cstdint>
#include <string>

#include "app_state.h"
#include "file_system.h"
#include "recognition.h"
#include "transfers.h"

namespace skyswap {

enum class KeepStatus {
    NothingToKeep,  // the game holds the built-in sky, a set or ZTDef
    Kept,           // copied into the new set `set`
    Failed,         // could not be kept: nothing was changed; `failure` says why
};

struct KeepOutcome {
    KeepStatus status = KeepStatus::NothingToKeep;
    int32_t set = -1;    // the new set, or the number it was to have
    FileReport failure;  // the file or folder that could not be written, and why
};

// "Kept from the game folder on 2026-12-07".
std::string KeptDescription(int year, int month, int day);

// The lowest set number from SetCount up whose name is free in the library folder, or -1.
int32_t FreeSetNumber(const AppState& state, FileSystem& fs);

// The first field of the description of the set the game holds; empty when it holds no set.
std::string InstalledSetDescription(const AppState& state, FileSystem& fs,
                                    const std::optional<InstalledSky>& installed);

// Makes sure `knowledge.installed` tells what the game folder holds now: a known sky is checked
// against the game folder, and recognition runs again when it is unknown or no longer holds.
void RefreshKnowledge(const AppState& state, FileSystem& fs, SkyKnowledge& knowledge);

// When the game holds a sky in no set (as refreshed knowledge says), copies its ten files into a
// new set folder with a description file `description` and no thumbnail. The folder is built
// under a temporary name and renamed when complete, so a failure leaves no half-made set. On
// success the set is added to SetNumbers and SetCount and is what the game holds.
KeepOutcome KeepGameSky(AppState& state, FileSystem& fs, SkyKnowledge& knowledge,
                        const std::string& description);

enum class GameTransfer { InstallSelected, LoadMyDefault, LoadGameDefault };

struct GameTransferOutcome {
    KeepOutcome keep;
    TransferReport transfer;  // not run (NothingChosen) when keeping failed
};

// One of the three transfers that replace or remove the game's sky files, with the game's own
// files kept first when they are in no set. The random draw avoids the set the game holds. A
// transfer that would refuse anyway keeps nothing. `knowledge` follows what was copied.
GameTransferOutcome RunGameTransfer(GameTransfer transfer, AppState& state, FileSystem& fs,
                                    SkyKnowledge& knowledge, const std::string& keptDescription);

// "SAVE AS MY DEFAULT", with `knowledge` following it.
TransferReport RunSaveMyDefault(AppState& state, FileSystem& fs, SkyKnowledge& knowledge);

}  // namespace skyswap
