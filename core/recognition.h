// Which sky the game has: the ten files in the game folder compared with every set and with the
// personal default. Runs on a worker thread too: it reads only through the file system it is
// given and a snapshot of the paths, never AppState.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app_state.h"
#include "file_system.h"
#include "transfers.h"

namespace skyswap {

enum class SkySource {
    GameOwn,          // none of the ten files: the game's built-in sky
    Set,              // the files of set `set`
    PersonalDefault,  // the files of ZTDef, which match no set
    NotInLibrary,     // files that are in no set and not in ZTDef
};

struct InstalledSky {
    SkySource source = SkySource::NotInLibrary;
    int32_t set = -1;  // for SkySource::Set

    static InstalledSky GameOwn() { return {SkySource::GameOwn, -1}; }
    static InstalledSky OfSet(int32_t n) { return {SkySource::Set, n}; }
    static InstalledSky PersonalDefault() { return {SkySource::PersonalDefault, -1}; }
    static InstalledSky NotInLibrary() { return {SkySource::NotInLibrary, -1}; }
    bool operator==(const InstalledSky& other) const {
        return source == other.source && set == other.set;
    }
    bool operator!=(const InstalledSky& other) const { return !(*this == other); }
};

// What recognition needs of AppState, copied so that it can run beside the window.
struct LibrarySnapshot {
    std::string gameFolder;
    std::string libraryFolder;
    std::string defaultFolder;
    std::vector<int32_t> setNumbers;  // ascending
};
LibrarySnapshot SnapshotOf(const AppState& state);

struct Recognition {
    InstalledSky installed;
    // What ZTDef holds, when this run could tell: the set the game has when ZTDef matches the
    // game too, or PersonalDefault when ZTDef matches the game and no set does.
    std::optional<InstalledSky> personalDefault;
    bool cancelled = false;
};

// Compares the game's ten files with each set in ascending order (the lowest matching set wins),
// then with ZTDef. A file counts as the same when it is absent in both or present in both with
// the same bytes. Which files exist and their sizes are compared first, from one listing of each
// set's folder (names in any letter case); bytes are read only for the sets that remain, and
// each comparison stops at the first difference. A set with a file that cannot be read, or whose
// size is not known, does not match; recognition goes on with the others. A game file that
// another program holds open is judged by its size: a transfer can neither replace nor lose it.
// `cancel`, when set, stops the run between sets.
Recognition RecognizeInstalled(FileSystem& fs, const LibrarySnapshot& library,
                               const std::atomic<bool>* cancel = nullptr);

// What `folder` (ZTDef, or the game folder behind its shadow copies) holds, judged as the game
// folder is: the lowest matching set, GameOwn when it holds none of the ten files, else
// NotInLibrary. ZTDef is not compared.
InstalledSky RecognizeFolder(FileSystem& fs, const LibrarySnapshot& library,
                             const std::string& folder);

// The ten sky files of a set that is not in the library yet, in the order of SkyFileNames: the
// size of each (nothing for an absent one), and how to read one in full when a comparison needs
// its bytes (false when it cannot be read). Most sets differ from the download in a size, so its
// bytes are seldom read at all.
struct PendingSkyFiles {
    std::array<std::optional<std::uint64_t>, 10> sizes;
    std::function<bool(std::size_t index, std::string& bytes)> read;
    // The first `count` bytes of a file, where they cost less than the whole: a file is read
    // whole only once its start matches. May be empty.
    std::function<bool(std::size_t index, std::size_t count, std::string& bytes)> readStart;
};

// The lowest of `setNumbers` whose set folder in `libraryFolder` holds exactly `files`, by the
// rule RecognizeInstalled compares with; nothing when no set does. A file of `files` that cannot
// be read matches nothing.
std::optional<int32_t> SetHoldingFiles(FileSystem& fs, const std::string& libraryFolder,
                                       const std::vector<int32_t>& setNumbers,
                                       const PendingSkyFiles& files);

// Whether the game folder still holds `sky` (for NotInLibrary: false, as nothing names it).
bool GameHolds(FileSystem& fs, const LibrarySnapshot& library, const InstalledSky& sky);

// What the window knows of the game folder and of ZTDef. Recognition fills it; after a transfer
// it follows from what was copied, without reading the sets again. Unknown (nothing) means
// recognition must run again.
struct SkyKnowledge {
    std::optional<InstalledSky> installed;
    std::optional<InstalledSky> personalDefault;

    void Learn(const Recognition& recognition);
    void AfterInstall(int32_t set, const TransferReport& report);
    void AfterLoadMyDefault(const TransferReport& report);
    void AfterLoadGameDefault(const TransferReport& report);
    void AfterSaveMyDefault(int32_t set, const TransferReport& report);
};

}  // namespace skyswap
