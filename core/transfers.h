// The ten sky files and the four transfers between a set folder, the personal default and the
// game folder. Every transfer is staged: the new files are written under temporary names first
// and only renamed over the old ones once all of them are written, so a failure never leaves the
// target half-done.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app_state.h"
#include "file_system.h"

namespace skyswap {

// The ten texture files the game reads its sky from, as bare names ("bnhorizn.ter"); JoinPath
// makes the path of one in a folder.
extern const std::array<const char*, 10> SkyFileNames;

// Suffix of the temporary name a staged copy carries until it is renamed over its target.
extern const char* const kStagedSuffix;

enum class FileOutcome {
    Replaced,   // the source's file now stands in the target
    Removed,    // the source lacks this file and the target's copy was deleted
    LeftAlone,  // nothing was done to it (absent on both sides, or the transfer stopped)
    Failed,     // could not be replaced or removed; `status` says why
};

struct FileReport {
    std::string name;  // "bnhorizn.ter", without separator
    FileOutcome outcome = FileOutcome::LeftAlone;
    FsStatus status;
};

enum class TransferStatus {
    Done,             // every file replaced, removed or already absent
    SomeFilesFailed,  // the others went through; the failed ones are in `files`
    StagingFailed,    // a new file could not be written; the target is exactly as it was
    NothingChosen,    // no set chosen yet: nothing changed
    LibraryEmpty,     // a random set was asked for but the library holds none: nothing changed
    SourceMissing,    // the source folder does not exist: nothing changed
    TargetMissing,    // the target folder does not exist: nothing changed
};

struct TransferReport {
    TransferStatus status = TransferStatus::Done;
    std::string folder;     // the missing folder, for SourceMissing and TargetMissing
    FsStatus folderStatus;  // for TargetMissing: why the folder could not be made
    // The target folder when it refused the transfer for lack of rights: every failure was
    // "access denied" in it. Empty otherwise.
    std::string protectedFolder;
    std::vector<FileReport>
        files;  // one per name of SkyFileNames, in its order, once files are touched

    bool ok() const { return status == TransferStatus::Done; }
};

// Whether the target holds one whole sky after the transfer: the new one, or the old one as it
// was. False when some files were replaced or removed and others failed.
bool LeavesTheSkyWhole(const TransferReport& report);

// A file held by another program (the running game, a virus scanner) is often free again a
// moment later, so such failures are retried with a growing pause, about one second per transfer
// in all, before the file is given up. A lack of rights does not pass with time: it fails at once,
// unless the caller knows that "access denied" can only mean a held file (`accessDeniedToo`).
class RetryBudget {
  public:
    template <typename Operation>
    FsStatus Run(FileSystem& fs, Operation operation, bool accessDeniedToo = false) {
        FsStatus status = operation();
        int pause = kFirstPauseMs;
        while (!status.ok() && IsTransient(status.error, accessDeniedToo) && remainingMs_ > 0) {
            const int wait = remainingMs_ < pause ? remainingMs_ : pause;
            fs.Pause(wait);
            remainingMs_ -= wait;
            pause *= 2;
            status = operation();
        }
        return status;
    }

  private:
    static constexpr int kFirstPauseMs = 10;
    static bool IsTransient(FsError error, bool accessDeniedToo) {
        return error == FsError::InUse || (accessDeniedToo && error == FsError::AccessDenied);
    }
    int remainingMs_ = 1000;
};

// Deletes the ten files in `folder`.
TransferReport ClearSkyFiles(FileSystem& fs, const std::string& folder);
// Makes `target` hold exactly the ten files that `source` holds: those the source has replace the
// target's, those it lacks are deleted from the target.
TransferReport CopySkyFiles(FileSystem& fs, const std::string& source, const std::string& target);

// "LOAD TO EAW": resolves a pending random choice (avoiding `installedSet`, the set the game holds
// now), then copies the chosen set into the game.
TransferReport InstallSelected(AppState& state, FileSystem& fs,
                               std::optional<int32_t> installedSet = std::nullopt);
// "SAVE AS MY DEFAULT": copies the chosen set into "ZTDef", creating the folder when needed.
TransferReport SaveMyDefault(AppState& state, FileSystem& fs);
// "LOAD MY DEFAULT": copies "ZTDef" into the game.
TransferReport LoadMyDefault(AppState& state, FileSystem& fs);
// "LOAD EAW DEFAULT": deletes the ten files from the game, so it falls back to its own skies.
TransferReport LoadGameDefault(AppState& state, FileSystem& fs);

}  // namespace skyswap
