// Adding downloaded skies: a folder or a ZIP archive becomes the next set(s) of the library, with
// the download's sky files, a 200 x 129 thumbnail and a description.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app_state.h"
#include "archive.h"
#include "file_system.h"
#include "picture_scaler.h"

namespace skyswap {

// What a download may hold: a ZIP entry, or a file of a folder, of more than kLargestFileBytes is
// refused, and so is a ZIP that unpacks to more than kLargestArchiveBytes.
constexpr std::uint64_t kLargestFileBytes = 64ULL * 1024 * 1024;
constexpr std::uint64_t kLargestArchiveBytes = 512ULL * 1024 * 1024;
// Sets are looked for in the download's own folder and in folders up to this many levels below.
constexpr int kDeepestSetFolder = 3;

// What adding reaches the outside through.
struct AddServices {
    FileSystem& fs;
    ArchiveOpener& archives;
    PictureScaler& pictures;
};

struct AddedSet {
    int32_t set = -1;
    std::string description;  // the first field of its new description file
    std::string source;       // the path it came from, as given
};

struct AddRefusal {
    std::string source;  // the path as given
    std::string reason;  // a whole sentence for the user, naming the file and why
    bool libraryProtected = false;  // Windows refused writing in the library folder
};

struct AddOutcome {
    std::vector<AddedSet> added;      // in the order they were made
    std::vector<AddRefusal> refused;  // one line each
    bool libraryProtected = false;    // Windows refused writing in the library folder: the
                                      // administrator restart can help
    int32_t pathsWithoutSet = 0;      // paths that added no set at all

    // 0 when every path added at least one set, 1 otherwise.
    int ExitCode() const { return pathsWithoutSet == 0 ? 0 : 1; }
};

// Adds each path (a folder, or a file ending in .zip) on its own; a refusal of one never stops
// the others. Reads `state` only (libraryFolder, setCount, setNumbers), so it may run on a worker
// thread while the window keeps its AppState; ApplyAdded then brings the new sets into it.
// `cancel`, when set, stops between paths.
AddOutcome AddDownloads(const AppState& state, const AddServices& services,
                        const std::vector<std::string>& paths,
                        const std::atomic<bool>* cancel = nullptr);

// Grows setNumbers and setCount by the sets that AddDownloads made.
void ApplyAdded(AppState& state, const AddOutcome& outcome);

// "Added ZT15: Stormy Evening", one line per new set.
std::vector<std::string> AddedLines(const AddOutcome& outcome);
// One line per refusal: "<path>: <reason>".
std::vector<std::string> RefusalLines(const AddOutcome& outcome);

}  // namespace skyswap
