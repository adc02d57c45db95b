// Nothing lost: before a transfer replaces or removes the game's sky files, a sky that is in no
// set of the library and not in ZTDef is kept as a new set; so is ZTDef before "SAVE AS MY
// DEFAULT" replaces it, when it is in no set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app_state.h"
#include "file_system.h"
#include "library_actions.h"
#include "recognition.h"
#include "transfers.h"

namespace skyswap {

enum class KeepStatus {
    NothingToKeep,  // the game holds the built-in sky, a set or ZTDef
    Kept,           // copied into the new set `set`
    Failed,         // could not be kept: nothing was changed; `failure` says why
};

// Where the sky that was kept came from.
enum class KeptSky { Game, PersonalDefault };

// The step of keeping that failed.
// ReadSource: a file of the sky to keep could not be read (other than held open, which
// recognition judges by its size), so whether that sky is in the library was not known either.
enum class KeepStep { MakeFolder, ReadSource, CopyFiles, WriteDescription, NameFolder };

struct KeepOutcome {
    KeepStatus status = KeepStatus::NothingToKeep;
    int32_t set = -1;    // the new set, or the number it was to have
    FileReport failure;  // the file or folder that could not be written, and why
    KeepStep failedStep = KeepStep::MakeFolder;
    KeptSky from = KeptSky::Game;

    // Windows refused to make the new set's folder in the library: only then can a restart
    // with administrator rights help.
    bool LibraryRefused() const {
        return status == KeepStatus::Failed && failedStep == KeepStep::MakeFolder &&
               failure.status.error == FsError::AccessDenied;
    }
};

// "Kept from the game folder on 2026-12-07".
std::string KeptDescription(int year, int month, int day);
// "Kept from your default on 2026-12-07".
std::string KeptDefaultDescription(int year, int month, int day);

// The lowest set number from setCount up whose name is free in the library folder, or -1.
int32_t FreeSetNumber(const AppState& state, FileSystem& fs);

// The first field of the description of the set the game holds; empty when it holds no set.
std::string InstalledSetDescription(const AppState& state, FileSystem& fs,
                                    const std::optional<InstalledSky>& installed);

// Makes sure `knowledge.installed` tells what the game folder holds now: a known sky is checked
// against the game folder, and recognition runs again when it is unknown or no longer holds.
void RefreshKnowledge(const AppState& state, FileSystem& fs, SkyKnowledge& knowledge);

// Copies the ten files of `source` into a new set folder (the lowest free number) with a
// description file `description` and no thumbnail. The folder is built as "ZTn.skyswap-tmp" and
// renamed when complete, so a failure leaves no half-made set; the rename is retried for a
// while, as a virus scanner or indexer often holds a file just written. On success the set is
// added to setNumbers and setCount.
KeepOutcome KeepFolderAsSet(AppState& state, FileSystem& fs, const std::string& source,
                            const std::string& description);

// When the game holds a sky in no set (as refreshed knowledge says), keeps it as a new set,
// which is then what the game holds.
KeepOutcome KeepGameSky(AppState& state, FileSystem& fs, SkyKnowledge& knowledge,
                        const std::string& description);

// Removes the "ZTn.skyswap-tmp" folders that keeping left when it was cut short (a crash, a
// power cut), with the files keeping puts there; a folder holding anything else stays. Takes the
// folders that discovery found, so the start lists the library once. Called at start, once this
// SkySwap holds the library. Returns how many were removed.
int RemoveUnfinishedSets(const AppState& state, FileSystem& fs);

// A transfer and what was kept before it.
struct GameTransferOutcome {
    KeepOutcome keep;  // the sky the game shows (or ZTDef, before it is saved over)
    // The files in the game folder itself, when shadow copies hide them from the game.
    KeepOutcome keepBehindShadows;
    TransferReport transfer;  // not run (NothingChosen) when keeping failed

    // The keeping that failed, or nothing.
    const KeepOutcome* FailedKeep() const;
    // The sets made, in order.
    std::vector<const KeepOutcome*> Kept() const;
};

// One of the three transfers that replace or remove the game's sky files, with the game's own
// files kept first when they are in no set. The random draw avoids the set the game holds. A
// transfer that would refuse anyway keeps nothing. `knowledge` follows what was copied.
// `gameFolderItself`, when `fs` shows the game through shadow copies, reads the game folder as
// it is: the files there, which the transfer replaces, are kept too when they are in no set.
GameTransferOutcome KeepAndTransferIntoGame(LibraryAction transfer, AppState& state, FileSystem& fs,
                                    SkyKnowledge& knowledge, const std::string& keptDescription,
                                    FileSystem* gameFolderItself = nullptr);

// "SAVE AS MY DEFAULT", with ZTDef kept first as a new set (description
// `keptDefaultDescription`) when it holds a sky in no set, and `knowledge` following it.
GameTransferOutcome KeepAndSaveMyDefault(AppState& state, FileSystem& fs, SkyKnowledge& knowledge,
                                     const std::string& keptDefaultDescription);

}  // namespace skyswap
