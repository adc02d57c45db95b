#include "game_transfers.h"

#include <cstdio>

#include "description.h"
#include "discovery.h"
#include "paths.h"
#include "selection.h"
#include "staged_set.h"

namespace skyswap {

namespace {

KeepOutcome KeepFailed(int32_t set, const std::string& name, const FsStatus& status,
                       KeepStep step) {
    KeepOutcome outcome;
    outcome.status = KeepStatus::Failed;
    outcome.set = set;
    outcome.failure = {name, FileOutcome::Failed, status};
    outcome.failedStep = step;
    return outcome;
}

std::string DatedDescription(const char* from, int year, int month, int day) {
    char date[32];
    std::snprintf(date, sizeof(date), "%04d-%02d-%02d", year, month, day);
    return std::string("Kept from ") + from + " on " + date;
}

std::optional<int32_t> InstalledSet(const SkyKnowledge& knowledge) {
    if (knowledge.installed && knowledge.installed->source == SkySource::Set) {
        return knowledge.installed->set;
    }
    return std::nullopt;
}

// The set whose folder selectedFolder names.
std::optional<int32_t> SelectedSet(const AppState& state) {
    if (state.selectedFolder.rfind(state.libraryFolder + "\\", 0) != 0) {
        return std::nullopt;
    }
    return SetNumberFromFolderName(LastName(state.selectedFolder));
}

// Whether the transfer would refuse before touching any file; then there is nothing to keep.
bool WouldRefuse(LibraryAction transfer, const AppState& state, FileSystem& fs) {
    switch (transfer) {
        case LibraryAction::InstallSet:
        case LibraryAction::InstallRandom:
            if (state.randomPending) {
                return state.setNumbers.empty();
            }
            return state.selectedFolder.empty() || !fs.IsFolder(state.selectedFolder);
        case LibraryAction::LoadMyDefault:
            return !fs.IsFolder(state.myDefaultFolder);
        default:
            break;
    }
    return !fs.IsFolder(state.gameFolder);
}

}  // namespace

std::string KeptDescription(int year, int month, int day) {
    return DatedDescription("the game folder", year, month, day);
}

std::string KeptDefaultDescription(int year, int month, int day) {
    return DatedDescription("your default", year, month, day);
}

int32_t FreeSetNumber(const AppState& state, FileSystem& fs) {
    for (int32_t n = state.setCount; n <= kHighestSetNumber; ++n) {
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

KeepOutcome KeepFolderAsSet(AppState& state, FileSystem& fs, const std::string& source,
                            const std::string& description) {
    StagedSet staged(fs, state);
    const int32_t n = staged.set();
    StagingResult result = staged.Create();
    if (result.ok()) {
        result = staged.CopySkyFilesOf(source);
    }
    if (result.ok()) {
        result = staged.Write(staged.setName() + ".txt", description);
    }
    if (result.ok()) {
        result = staged.Finish();
    }
    switch (result.failedStep) {
        case StagingStep::None:
            break;
        case StagingStep::ChooseNumber:
        case StagingStep::MakeFolder:
            return KeepFailed(n, result.name, result.status, KeepStep::MakeFolder);
        case StagingStep::CopySkyFiles: {
            const bool unread = result.status.error != FsError::InUse &&
                                result.name != staged.setName() &&
                                !fs.CanOpenForReading(JoinPath(source, result.name));
            return KeepFailed(n, result.name, result.status,
                              unread ? KeepStep::ReadSource : KeepStep::CopyFiles);
        }
        case StagingStep::WriteFile:
            return KeepFailed(n, staged.setName() + ".txt", result.status,
                              KeepStep::WriteDescription);
        case StagingStep::NameFolder:
            return KeepFailed(n, result.name, result.status, KeepStep::NameFolder);
    }
    state.setNumbers.push_back(n);  // n is above every number found, so the order holds
    state.setCount = n + 1;
    KeepOutcome outcome;
    outcome.status = KeepStatus::Kept;
    outcome.set = n;
    return outcome;
}

KeepOutcome KeepGameSky(AppState& state, FileSystem& fs, SkyKnowledge& knowledge,
                        const std::string& description) {
    if (!knowledge.installed || knowledge.installed->source != SkySource::NotInLibrary) {
        return {};
    }
    const KeepOutcome outcome = KeepFolderAsSet(state, fs, state.gameFolder, description);
    if (outcome.status == KeepStatus::Kept) {
        knowledge.installed = InstalledSky::OfSet(outcome.set);
    }
    return outcome;
}

int RemoveUnfinishedSets(const AppState& state, FileSystem& fs) {
    const std::size_t suffixLength = std::char_traits<char>::length(kStagedSuffix);
    int removed = 0;
    for (const std::string& name : state.unfinishedSets) {
        const std::string setName = name.substr(0, name.size() - suffixLength);
        removed += ClearStagingFolder(fs, JoinPath(state.libraryFolder, name), setName) ? 1 : 0;
    }
    return removed;
}

const KeepOutcome* GameTransferOutcome::FailedKeep() const {
    for (const KeepOutcome* outcome : {&keep, &keepBehindShadows}) {
        if (outcome->status == KeepStatus::Failed) {
            return outcome;
        }
    }
    return nullptr;
}

std::vector<const KeepOutcome*> GameTransferOutcome::Kept() const {
    std::vector<const KeepOutcome*> kept;
    for (const KeepOutcome* outcome : {&keep, &keepBehindShadows}) {
        if (outcome->status == KeepStatus::Kept) {
            kept.push_back(outcome);
        }
    }
    return kept;
}

GameTransferOutcome KeepAndTransferIntoGame(LibraryAction transfer, AppState& state, FileSystem& fs,
                                    SkyKnowledge& knowledge, const std::string& keptDescription,
                                    FileSystem* gameFolderItself) {
    GameTransferOutcome outcome;
    if (!WouldRefuse(transfer, state, fs)) {
        RefreshKnowledge(state, fs, knowledge);
        outcome.keep = KeepGameSky(state, fs, knowledge, keptDescription);
        if (outcome.keep.status != KeepStatus::Failed && gameFolderItself != nullptr &&
            RecognizeFolder(*gameFolderItself, SnapshotOf(state), state.gameFolder) ==
                InstalledSky::NotInLibrary()) {
            outcome.keepBehindShadows =
                KeepFolderAsSet(state, *gameFolderItself, state.gameFolder, keptDescription);
        }
        if (outcome.FailedKeep() != nullptr) {
            outcome.transfer.status = TransferStatus::NothingChosen;
            return outcome;
        }
    }
    switch (transfer) {
        case LibraryAction::InstallSet:
        case LibraryAction::InstallRandom:
            outcome.transfer = InstallSelected(state, fs, InstalledSet(knowledge));
            if (state.selectedSet && !state.randomPending) {
                knowledge.AfterInstall(*state.selectedSet, outcome.transfer);
            }
            break;
        case LibraryAction::LoadMyDefault:
            outcome.transfer = LoadMyDefault(state, fs);
            knowledge.AfterLoadMyDefault(outcome.transfer);
            break;
        case LibraryAction::LoadGameDefault:
            outcome.transfer = LoadGameDefault(state, fs);
            knowledge.AfterLoadGameDefault(outcome.transfer);
            break;
        default:
            outcome.transfer.status = TransferStatus::NothingChosen;  // no transfer into the game
            break;
    }
    return outcome;
}

GameTransferOutcome KeepAndSaveMyDefault(AppState& state, FileSystem& fs, SkyKnowledge& knowledge,
                                     const std::string& keptDefaultDescription) {
    GameTransferOutcome outcome;
    const bool wouldRefuse = state.selectedFolder.empty() || !fs.IsFolder(state.selectedFolder);
    if (!wouldRefuse && fs.IsFolder(state.myDefaultFolder) &&
        RecognizeFolder(fs, SnapshotOf(state), state.myDefaultFolder) ==
            InstalledSky::NotInLibrary()) {
        outcome.keep = KeepFolderAsSet(state, fs, state.myDefaultFolder, keptDefaultDescription);
        outcome.keep.from = KeptSky::PersonalDefault;
        if (outcome.keep.status == KeepStatus::Failed) {
            outcome.transfer.status = TransferStatus::NothingChosen;
            return outcome;
        }
        const InstalledSky kept = InstalledSky::OfSet(outcome.keep.set);
        if (knowledge.installed == InstalledSky::PersonalDefault()) {
            knowledge.installed = kept;  // the game holds that sky, now a set
        }
        knowledge.personalDefault = kept;
    }
    outcome.transfer = SaveMyDefault(state, fs);
    if (const std::optional<int32_t> set = SelectedSet(state)) {
        knowledge.AfterSaveMyDefault(*set, outcome.transfer);
    } else {
        knowledge.personalDefault.reset();
    }
    return outcome;
}

}  // namespace skyswap
