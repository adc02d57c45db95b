#include "keep_sky.h"

#include <cstdio>

#include "description.h"
#include "discovery.h"
#include "selection.h"

namespace skyswap {

namespace {

std::string LastName(const std::string& path) {
    const std::size_t separator = path.rfind('\\');
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

KeepOutcome KeepFailed(int32_t set, const std::string& name, const FsStatus& status) {
    KeepOutcome outcome;
    outcome.status = KeepStatus::Failed;
    outcome.set = set;
    outcome.failure = {name, FileOutcome::Failed, status};
    return outcome;
}

// A half-built folder, from this attempt or from one that was cut short.
void RemoveUnfinished(FileSystem& fs, const std::string& folder, const std::string& description) {
    if (!fs.IsFolder(folder)) {
        return;
    }
    ClearSkyFiles(fs, folder);
    fs.RemoveFile(folder + "\\" + description);
    fs.RemoveFolder(folder);  // fails, and stays, only when something else was put in it
}

std::optional<int32_t> InstalledSet(const SkyKnowledge& knowledge) {
    if (knowledge.installed && knowledge.installed->source == SkySource::Set) {
        return knowledge.installed->set;
    }
    return std::nullopt;
}

// The set whose folder SelectedPath names.
std::optional<int32_t> SelectedSet(const AppState& state) {
    if (state.SelectedPath.rfind(state.MainPath + "\\", 0) != 0) {
        return std::nullopt;
    }
    return SetNumberFromFolderName(LastName(state.SelectedPath));
}

// Whether the transfer would refuse before touching any file; then there is nothing to keep.
bool WouldRefuse(GameTransfer transfer, const AppState& state, FileSystem& fs) {
    switch (transfer) {
        case GameTransfer::InstallSelected:
            if (state.SelectedIndex == kRandomIndex) {
                return state.SetNumbers.empty();
            }
            return !state.SelectedIndex || state.SelectedPath.empty() ||
                   !fs.IsFolder(state.SelectedPath);
        case GameTransfer::LoadMyDefault:
            return !fs.IsFolder(state.MyDefaultPath);
        case GameTransfer::LoadGameDefault:
            break;
    }
    return !fs.IsFolder(state.Dest);
}

}  // namespace

std::string KeptDescription(int year, int month, int day) {
    char date[32];
    std::snprintf(date, sizeof(date), "%04d-%02d-%02d", year, month, day);
    return std::string("Kept from the game folder on ") + date;
}

int32_t FreeSetNumber(const AppState& state, FileSystem& fs) {
    for (int32_t n = state.SetCount; n <= kHighestSetNumber; ++n) {
        const std::string folder = SetFolder(state, n);
        if (!fs.IsFolder(folder) && !fs.IsFile(folder)) {
            return n;
        }
    }
    return -1;
}

std::string InstalledSetDescription(const AppState& state, FileSystem& fs,
                                    const std::optional<InstalledSky>& installed) {
    if (!installed || installed->source != SkySource::Set) {
        return {};
    }
    return ReadDescription(fs, DescriptionPath(state, installed->set));
}

void RefreshKnowledge(const AppState& state, FileSystem& fs, SkyKnowledge& knowledge) {
    const LibrarySnapshot library = SnapshotOf(state);
    if (knowledge.installed && GameHolds(fs, library, *knowledge.installed)) {
        return;
    }
    knowledge.Learn(RecognizeInstalled(fs, library));
}

KeepOutcome KeepGameSky(AppState& state, FileSystem& fs, SkyKnowledge& knowledge,
                        const std::string& description) {
    if (!knowledge.installed || knowledge.installed->source != SkySource::NotInLibrary) {
        return {};
    }
    const int32_t n = FreeSetNumber(state, fs);
    if (n < 0) {
        return KeepFailed(-1, "ZT" + std::to_string(kHighestSetNumber),
                          {FsError::Other, "every set number up to this one is taken"});
    }
    const std::string setName = "ZT" + std::to_string(n);
    const std::string folder = SetFolder(state, n);
    // Discovery takes no folder by this name for a set, so an unfinished one is never shown.
    const std::string building = folder + kStagedSuffix;
    const std::string descriptionName = setName + ".txt";

    RemoveUnfinished(fs, building, descriptionName);
    FsStatus status = fs.CreateFolder(building);
    if (!status.ok()) {
        return KeepFailed(n, setName, status);
    }
    const TransferReport copied = CopySkyFiles(fs, state.Dest, building);
    if (!copied.ok()) {
        RemoveUnfinished(fs, building, descriptionName);
        for (const FileReport& file : copied.files) {
            if (file.outcome == FileOutcome::Failed) {
                return KeepFailed(n, file.name, file.status);
            }
        }
        return KeepFailed(n, setName, {FsError::Other, "the game folder could not be read"});
    }
    status = fs.WriteFlushed(building + "\\" + descriptionName, description);
    const std::string& failedName = status.ok() ? setName : descriptionName;
    if (status.ok()) {
        status = fs.RenameFolder(building, folder);
    }
    if (!status.ok()) {
        RemoveUnfinished(fs, building, descriptionName);
        return KeepFailed(n, failedName, status);
    }
    state.SetNumbers.push_back(n);  // n is above every number found, so the order holds
    state.SetCount = n + 1;
    knowledge.installed = InstalledSky::OfSet(n);
    KeepOutcome outcome;
    outcome.status = KeepStatus::Kept;
    outcome.set = n;
    return outcome;
}

GameTransferOutcome RunGameTransfer(GameTransfer transfer, AppState& state, FileSystem& fs,
                                    SkyKnowledge& knowledge, const std::string& keptDescription) {
    GameTransferOutcome outcome;
    if (!WouldRefuse(transfer, state, fs)) {
        RefreshKnowledge(state, fs, knowledge);
        outcome.keep = KeepGameSky(state, fs, knowledge, keptDescription);
        if (outcome.keep.status == KeepStatus::Failed) {
            outcome.transfer.status = TransferStatus::NothingChosen;
            return outcome;
        }
    }
    switch (transfer) {
        case GameTransfer::InstallSelected:
            outcome.transfer = InstallSelected(state, fs, InstalledSet(knowledge));
            if (state.SelectedIndex && *state.SelectedIndex != kRandomIndex) {
                knowledge.AfterInstall(*state.SelectedIndex, outcome.transfer);
            }
            break;
        case GameTransfer::LoadMyDefault:
            outcome.transfer = LoadMyDefault(state, fs);
            knowledge.AfterLoadMyDefault(outcome.transfer);
            break;
        case GameTransfer::LoadGameDefault:
            outcome.transfer = LoadGameDefault(state, fs);
            knowledge.AfterLoadGameDefault(outcome.transfer);
            break;
    }
    return outcome;
}

TransferReport RunSaveMyDefault(AppState& state, FileSystem& fs, SkyKnowledge& knowledge) {
    const TransferReport report = SaveMyDefault(state, fs);
    if (const std::optional<int32_t> set = SelectedSet(state)) {
        knowledge.AfterSaveMyDefault(*set, report);
    } else {
        knowledge.personalDefault.reset();
    }
    return report;
}

}  // namespace skyswap
