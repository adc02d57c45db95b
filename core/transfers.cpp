#include "transfers.h"

#include <algorithm>

#include "paths.h"
#include "selection.h"

namespace skyswap {

const std::array<const char*, 10> SkyFileNames = {
    "bnhorizn.ter", "bnskyblu.ter", "bncloud0.ter", "bncloud1.ter", "bncloud2.ter",
    "bncltra0.ter", "bncltra1.ter", "bncltra2.ter", "cloud1.ter",   "cloud2.ter"};

const char* const kStagedSuffix = ".skyswap-tmp";

namespace {

std::string StagedPath(const std::string& target, const char* name) {
    return JoinPath(target, name) + kStagedSuffix;
}

std::vector<FileReport> EmptyReports() {
    std::vector<FileReport> files;
    for (const char* name : SkyFileNames) {
        files.push_back({name, FileOutcome::LeftAlone, {}});
    }
    return files;
}

TransferReport Refusal(TransferStatus status, const std::string& folder = {}) {
    TransferReport report;
    report.status = status;
    report.folder = folder;
    return report;
}

// Staged copies that an interrupted transfer (a crash, a power cut) left behind.
void RemoveLeftoverStaged(FileSystem& fs, const std::string& folder) {
    for (const char* name : SkyFileNames) {
        fs.RemoveFile(StagedPath(folder, name));  // absent in the normal case
    }
}

FileOutcome RemoveTarget(FileSystem& fs, RetryBudget& budget, const std::string& path,
                         FsStatus& status) {
    status = budget.Run(fs, [&] { return fs.RemoveFile(path); });
    if (status.error == FsError::NotFound) {
        status = FsStatus::Ok();
        return FileOutcome::LeftAlone;
    }
    return status.ok() ? FileOutcome::Removed : FileOutcome::Failed;
}

void SetFinalStatus(TransferReport& report, const std::string& target) {
    const auto failed = [](const FileReport& file) { return file.outcome == FileOutcome::Failed; };
    const bool anyFailed = std::any_of(report.files.begin(), report.files.end(), failed);
    report.status = anyFailed ? TransferStatus::SomeFilesFailed : TransferStatus::Done;
    const bool allForRights =
        std::all_of(report.files.begin(), report.files.end(), [&](const FileReport& file) {
            return !failed(file) || file.status.error == FsError::AccessDenied;
        });
    if (anyFailed && allForRights) {
        report.protectedFolder = target;
    }
}

}  // namespace

TransferReport ClearSkyFiles(FileSystem& fs, const std::string& folder) {
    if (!fs.IsFolder(folder)) {
        return Refusal(TransferStatus::TargetMissing, folder);
    }
    RemoveLeftoverStaged(fs, folder);
    TransferReport report;
    report.files = EmptyReports();
    RetryBudget budget;
    for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
        FileReport& file = report.files[i];
        file.outcome = RemoveTarget(fs, budget, JoinPath(folder, SkyFileNames[i]), file.status);
    }
    SetFinalStatus(report, folder);
    return report;
}

TransferReport CopySkyFiles(FileSystem& fs, const std::string& source, const std::string& target) {
    if (source.empty() || !fs.IsFolder(source)) {
        return Refusal(TransferStatus::SourceMissing, source);
    }
    if (!fs.IsFolder(target)) {
        return Refusal(TransferStatus::TargetMissing, target);
    }
    RemoveLeftoverStaged(fs, target);

    TransferReport report;
    report.files = EmptyReports();
    std::array<bool, SkyFileNames.size()> staged{};

    // Every new file is written in full before any old one is touched, so a failure here (an
    // unreadable source, a full disk) leaves the target exactly as it was.
    for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
        const std::string sourcePath = JoinPath(source, SkyFileNames[i]);
        if (!fs.IsFile(sourcePath)) {
            continue;
        }
        const FsStatus status = fs.CopyToStaged(sourcePath, StagedPath(target, SkyFileNames[i]));
        if (!status.ok()) {
            report.files[i].outcome = FileOutcome::Failed;
            report.files[i].status = status;
            RemoveLeftoverStaged(fs, target);
            report.status = TransferStatus::StagingFailed;
            // "Access denied" comes from the source (an unreadable set file) or from the target
            // folder; only the second is the folder's protection.
            if (status.error == FsError::AccessDenied && fs.CanOpenForReading(sourcePath)) {
                report.protectedFolder = target;
            }
            return report;
        }
        staged[i] = true;
    }

    RetryBudget budget;
    for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
        FileReport& file = report.files[i];
        const std::string targetPath = JoinPath(target, SkyFileNames[i]);
        if (!staged[i]) {
            // The set lacks this file: the game must not keep an older one beside the new set.
            file.outcome = RemoveTarget(fs, budget, targetPath, file.status);
            continue;
        }
        const std::string stagedPath = StagedPath(target, SkyFileNames[i]);
        file.status = budget.Run(fs, [&] { return fs.MoveStagedOver(stagedPath, targetPath); });
        if (file.status.ok()) {
            file.outcome = FileOutcome::Replaced;
        } else {
            file.outcome = FileOutcome::Failed;
            fs.RemoveFile(stagedPath);  // the old file stays; its new copy must not linger
        }
    }
    SetFinalStatus(report, target);
    return report;
}

TransferReport InstallSelected(AppState& state, FileSystem& fs,
                               std::optional<int32_t> installedSet) {
    if (!state.selectedSet && !state.randomPending) {
        return Refusal(TransferStatus::NothingChosen);
    }
    if (!ResolveRandom(state, installedSet)) {
        return Refusal(TransferStatus::LibraryEmpty);
    }
    if (state.selectedFolder.empty()) {
        return Refusal(TransferStatus::NothingChosen);
    }
    return CopySkyFiles(fs, state.selectedFolder, state.gameFolder);
}

TransferReport SaveMyDefault(AppState& state, FileSystem& fs) {
    // A pending random choice is not drawn here: the set chosen before it is saved.
    if (state.selectedFolder.empty()) {
        return Refusal(TransferStatus::NothingChosen);
    }
    if (!fs.IsFolder(state.selectedFolder)) {
        return Refusal(TransferStatus::SourceMissing, state.selectedFolder);
    }
    if (!fs.IsFolder(state.myDefaultFolder)) {
        const FsStatus made = fs.CreateFolder(state.myDefaultFolder);
        if (!made.ok()) {
            TransferReport report = Refusal(TransferStatus::TargetMissing, state.myDefaultFolder);
            report.folderStatus = made;
            if (made.error == FsError::AccessDenied) {
                report.protectedFolder = state.myDefaultFolder;
            }
            return report;
        }
    }
    return CopySkyFiles(fs, state.selectedFolder, state.myDefaultFolder);
}

TransferReport LoadMyDefault(AppState& state, FileSystem& fs) {
    return CopySkyFiles(fs, state.myDefaultFolder, state.gameFolder);
}

TransferReport LoadGameDefault(AppState& state, FileSystem& fs) {
    return ClearSkyFiles(fs, state.gameFolder);
}

bool LeavesTheSkyWhole(const TransferReport& report) {
    if (report.status != TransferStatus::SomeFilesFailed) {
        return true;
    }
    return std::none_of(report.files.begin(), report.files.end(), [](const FileReport& file) {
        return file.outcome == FileOutcome::Replaced || file.outcome == FileOutcome::Removed;
    });
}

}  // namespace skyswap
