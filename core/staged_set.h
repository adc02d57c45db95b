// A new set folder, built under "ZTn.skyswap-tmp" and renamed to "ZTn" once complete, so a
// failure or a crash never leaves a half-made set: discovery takes no folder by the staging name.
// Keeping a sky and adding a download both make their sets through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app_state.h"
#include "file_system.h"
#include "transfers.h"

namespace skyswap {

// What a set's folder may hold besides its sky files: its description and thumbnail, and the
// readme texts a download brings along. A staged set keeps only these, and an export carries
// them.
bool StagedSetFile(const std::string& name, const std::string& setName);

enum class StagingStep {
    None,          // nothing failed
    ChooseNumber,  // every set number up to kHighestSetNumber is taken
    MakeFolder,    // the staging folder could not be made
    WriteFile,     // a file could not be written into it
    CopySkyFiles,  // the sky files of the source could not be copied into it
    NameFolder,    // it was still refused its set's name after the retries
};

struct StagingResult {
    StagingStep failedStep = StagingStep::None;
    std::string name;  // the file or folder that failed, relative to the library ("ZT7\readme.txt")
    FsStatus status;
    TransferReport copied;  // for CopySkyFiles: what the copy did, file by file

    bool ok() const { return failedStep == StagingStep::None; }
};

class StagedSet {
  public:
    // Takes the lowest free number from library.setCount up; a number whose staging folder is
    // left from an attempt cut short and cannot be cleared is passed over for the next.
    StagedSet(FileSystem& fs, const AppState& library);
    // Removes what it wrote, unless Finish succeeded.
    ~StagedSet();
    StagedSet(const StagedSet&) = delete;
    StagedSet& operator=(const StagedSet&) = delete;

    int32_t set() const { return set_; }  // -1 when every number is taken
    const std::string& setName() const { return setName_; }

    // Makes the staging folder; ChooseNumber when no number was free.
    StagingResult Create();
    // Writes `name` into the staging folder, flushed to the disk.
    StagingResult Write(const std::string& name, const std::string& bytes);
    // Copies the ten sky files of `source` into the staging folder.
    StagingResult CopySkyFilesOf(const std::string& source);
    // Renames the staging folder to the set's name. A virus scanner, the indexer or a sync client
    // often reads a file just written; as we made the folder a moment ago, "access denied" here is
    // such a reader too, so it is retried like a held file.
    StagingResult Finish();

  private:
    void Remove();

    FileSystem& fs_;
    int32_t set_ = -1;
    std::string setName_;
    std::string final_;
    std::string building_;
    std::vector<std::string> written_;
    bool created_ = false;
    bool copied_ = false;
    bool finished_ = false;
};

// Clears a staging folder left by an attempt cut short (a crash, a power cut): the sky files and
// the set's own description, thumbnail and readme texts go, and the folder with them. A folder
// holding anything else (a subfolder, someone's document) stays. True when no folder is left.
bool ClearStagingFolder(FileSystem& fs, const std::string& folder, const std::string& setName);

// Why a staging folder kept its temporary name, for the user: a reader that held it past every
// retry, not a lack of rights.
std::string HeldFolderReason(const std::string& setName, const FsStatus& status);

}  // namespace skyswap
