#include "staged_set.h"

#include "ascii.h"
#include "game_transfers.h"
#include "paths.h"

namespace skyswap {

bool StagedSetFile(const std::string& name, const std::string& setName) {
    const std::string lower = AsciiLower(name);
    for (const char* sky : SkyFileNames) {
        if (lower == sky) {
            return true;
        }
    }
    if (SameAsciiText(name, setName + ".bmp")) {
        return true;
    }
    const std::size_t dot = lower.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : lower.substr(dot);
    return extension == ".txt" || extension == ".nfo" || extension == ".md";
}

bool ClearStagingFolder(FileSystem& fs, const std::string& folder, const std::string& setName) {
    if (!fs.IsFolder(folder)) {
        return true;
    }
    std::vector<FolderEntry> entries;
    fs.ListFolder(folder, entries);
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder || !StagedSetFile(entry.name, setName)) {
            return false;  // not only ours: it stays as it is
        }
    }
    for (const FolderEntry& entry : entries) {
        fs.RemoveFile(JoinPath(folder, entry.name));
    }
    // Files hidden from the listing are the set's own too.
    ClearSkyFiles(fs, folder);
    return fs.RemoveFolder(folder).ok() || !fs.IsFolder(folder);
}

std::string HeldFolderReason(const std::string& setName, const FsStatus& status) {
    return "the new folder " + setName + kStagedSuffix + " could not be renamed to " + setName +
           " (" + (status.message.empty() ? std::string("it is in use") : status.message) +
           "); a virus scanner, the indexer or a sync client may still have been reading it. Try "
           "again in a moment";
}

StagedSet::StagedSet(FileSystem& fs, const AppState& library) : fs_(fs) {
    AppState from;
    from.libraryFolder = library.libraryFolder;
    from.setCount = library.setCount;
    for (;; from.setCount = set_ + 1) {
        set_ = FreeSetNumber(from, fs_);
        if (set_ < 0) {
            return;
        }
        setName_ = SetFolderName(set_);
        final_ = SetFolder(from, set_);
        building_ = final_ + kStagedSuffix;
        if (ClearStagingFolder(fs_, building_, setName_)) {
            return;
        }
    }
}

StagedSet::~StagedSet() {
    if (!finished_) {
        Remove();
    }
}

StagingResult StagedSet::Create() {
    if (set_ < 0) {
        return {StagingStep::ChooseNumber,
                SetFolderName(kHighestSetNumber),
                {FsError::Other, "every set number up to this one is taken"},
                {}};
    }
    const FsStatus status = fs_.CreateFolder(building_);
    if (!status.ok()) {
        return {StagingStep::MakeFolder, setName_, status, {}};
    }
    created_ = true;
    return {};
}

StagingResult StagedSet::Write(const std::string& name, const std::string& bytes) {
    written_.push_back(name);
    const FsStatus status = fs_.WriteFlushed(JoinPath(building_, name), bytes);
    if (!status.ok()) {
        return {StagingStep::WriteFile, JoinPath(setName_, name), status, {}};
    }
    return {};
}

StagingResult StagedSet::CopySkyFilesOf(const std::string& source) {
    copied_ = true;
    StagingResult result;
    result.copied = CopySkyFiles(fs_, source, building_);
    if (result.copied.ok()) {
        return result;
    }
    result.failedStep = StagingStep::CopySkyFiles;
    result.name = setName_;
    result.status = {FsError::Other, "the folder " + source + " could not be read"};
    for (const FileReport& file : result.copied.files) {
        if (file.outcome == FileOutcome::Failed) {
            result.name = file.name;
            result.status = file.status;
            break;
        }
    }
    return result;
}

StagingResult StagedSet::Finish() {
    RetryBudget budget;
    const FsStatus status = budget.Run(
        fs_, [&] { return fs_.RenameFolder(building_, final_); }, true);
    if (!status.ok()) {
        return {StagingStep::NameFolder, setName_, status, {}};
    }
    finished_ = true;
    return {};
}

void StagedSet::Remove() {
    for (const std::string& name : written_) {
        fs_.RemoveFile(JoinPath(building_, name));
    }
    if (copied_) {
        ClearSkyFiles(fs_, building_);
    }
    if (created_) {
        fs_.RemoveFolder(building_);
    }
}

}  // namespace skyswap
