#include "library_session.h"

#include <utility>

#include "messages.h"
#include "paths.h"
#include "transfers.h"
#include "restart_arguments.h"
#include "selection.h"

namespace skyswap {

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\n") + line;
    }
    return text;
}

TransferReport RefusedFolder(const std::string& folder) {
    TransferReport refused;
    refused.status = TransferStatus::StagingFailed;
    refused.protectedFolder = folder;
    return refused;
}

}  // namespace

std::string GameStatus(const AppState& state, FileSystem& fs) {
    // The window's title says the same.
    SkyKnowledge knowledge;
    RefreshKnowledge(state, fs, knowledge);
    const std::string installed =
        knowledge.installed
            ? InstalledSkyName(*knowledge.installed,
                               InstalledSetDescription(state, fs, knowledge.installed))
            : "not known";
    std::vector<std::string> present;
    for (const char* file : SkyFileNames) {
        if (fs.IsFile(JoinPath(state.gameFolder, file))) {
            present.emplace_back(file);
        }
    }
    std::string text = "Game folder: " + state.gameFolder + "\nIn the game: " + installed + "\n";
    if (present.empty()) {
        return text + "It holds none of the ten sky files: EAW uses its own skies.";
    }
    if (present.size() == SkyFileNames.size()) {
        return text + "It holds all ten sky files.";
    }
    text += "It holds " + std::to_string(present.size()) + " of the ten sky files:";
    for (const std::string& name : present) {
        text += " " + name;
    }
    return text + ".";
}

RightsAdvice AdviceForRefusal(bool refusedForRights, bool elevated, bool onNetworkShare) {
    if (!refusedForRights) {
        return RightsAdvice::None;
    }
    if (onNetworkShare) {
        return RightsAdvice::NetworkShare;
    }
    return elevated ? RightsAdvice::None : RightsAdvice::RestartAsAdministrator;
}

LibrarySession::LibrarySession(FileSystem& fs, SessionSystem system)
    : fs_(fs), system_(std::move(system)), gameView_(fs) {
    if (!system_.isElevated) {
        system_.isElevated = [] { return false; };
    }
    if (!system_.onNetworkShare) {
        system_.onNetworkShare = [](const std::string&) { return false; };
    }
    if (!system_.knownFolders) {
        system_.knownFolders = [] { return KnownFolders{}; };
    }
    if (!system_.today) {
        system_.today = [] { return CalendarDate{}; };
    }
}

bool LibrarySession::Open(bool holdsLibrary) {
    if (DiscoverLibrary(state_, fs_) != DiscoveryResult::Ok ||
        !fs_.CanOpenForReading(state_.libraryFolder + "\\nosky.jpg")) {
        return false;
    }
    if (holdsLibrary) {
        RemoveUnfinishedSets(state_, fs_);
    }
    KnownFolders known = system_.knownFolders();
    if (!virtualStoreOverride_.empty()) {
        known.virtualStore = virtualStoreOverride_;
    }
    virtualStoreFolder_ = VirtualStoreFolder(known);
    gameView_.SetFolders(state_.gameFolder, VirtualStoreMirror(state_.gameFolder, known));
    return true;
}

LibraryRequest LibrarySession::RequestForChoice(LibraryAction action) const {
    if (action == LibraryAction::InstallSet && state_.randomPending) {
        return {LibraryAction::InstallRandom, 0, {}};
    }
    return {action, TakesSet(action) ? state_.selectedSet.value_or(kNothingChosen) : 0, {}};
}

void LibrarySession::Choose(const LibraryRequest& request) {
    if (request.action == LibraryAction::InstallRandom) {
        if (!state_.randomPending) {
            ChooseRandom(state_);
        }
        return;
    }
    // The choice stands as it is when it is the one asked for: SAVE AS MY DEFAULT of a set
    // after the random image leaves the random choice pending for LOAD TO EAW.
    const bool chosen = state_.selectedSet == request.set &&
                        !(request.action == LibraryAction::InstallSet && state_.randomPending);
    if (TakesSet(request.action) && request.set != kNothingChosen && !chosen) {
        ChooseSet(state_, request.set);
    }
}

GameTransferOutcome LibrarySession::Transfer(LibraryAction action) {
    const CalendarDate today = system_.today();
    if (action == LibraryAction::SaveMyDefault) {
        return KeepAndSaveMyDefault(state_, fs_, knowledge_,
                                    KeptDefaultDescription(today.year, today.month, today.day));
    }
    // Through the game's view: the sky that is kept is the one the game shows, shadow copies
    // included, and the files in the game folder itself, hidden behind them, are kept too.
    return KeepAndTransferIntoGame(action, state_, gameView_, knowledge_,
                                   KeptDescription(today.year, today.month, today.day),
                                   gameView_.BehindShadows());
}

SessionOutcome LibrarySession::Run(const LibraryRequest& request) {
    SessionOutcome outcome;
    outcome.request = request;
    if (request.action == LibraryAction::Status) {
        outcome.succeeded = true;
        outcome.done = GameStatus(state_, gameView_);
        outcome.text = outcome.done;
        return outcome;
    }
    switch (request.action) {
        case LibraryAction::ExportSet:
            return Export(request.set, request.paths.empty() ? std::string() : request.paths[0]);
        case LibraryAction::RemoveSet:
            return Remove(request.set, false);
        default:
            break;
    }
    if (!ChangesTheGame(request.action) && request.action != LibraryAction::SaveMyDefault) {
        // Adding goes through TakeAdded; nothing else is an action.
        outcome.exitCode = 2;
        return outcome;
    }
    Choose(request);
    const GameTransferOutcome transfer = Transfer(request.action);
    outcome.transfer = transfer.transfer;
    Tell(transfer, outcome);
    // The command line says what was kept, then what was done, then what the clean-up left.
    std::vector<std::string> lines;
    for (const SessionNote& note : outcome.notes) {
        lines.push_back(note.text);
    }
    if (outcome.succeeded) {
        outcome.done = DoneMessage(request.action, state_.selectedSet.value_or(0));
        lines.push_back(outcome.done);
        const std::size_t notesBefore = outcome.notes.size();
        if (ChangesTheGame(request.action)) {
            RemoveShadowCopiesAfterwards(outcome);
        }
        if (outcome.notes.size() > notesBefore) {
            lines.push_back(outcome.notes.back().text);
        }
    } else {
        outcome.exitCode = 1;
    }
    outcome.text = Joined(lines);
    return outcome;
}

void LibrarySession::Tell(const GameTransferOutcome& transfer, SessionOutcome& outcome) {
    if (const KeepOutcome* failed = transfer.FailedKeep()) {
        // Windows refused the new set's folder: the library sits in the game folder, which it
        // protects.
        Refused(outcome, KeepFailedMessage(*failed),
                failed->LibraryRefused() ? RefusedFolder(state_.gameFolder) : TransferReport{});
        return;
    }
    for (const KeepOutcome* keep : transfer.Kept()) {
        outcome.setsMade = true;
        outcome.notes.push_back({KeptMessage(*keep), Severity::Information});
    }
    if (!transfer.transfer.ok()) {
        Refused(outcome, TransferMessage(transfer.transfer), transfer.transfer);
        return;
    }
    outcome.succeeded = true;
}

RightsAdvice LibrarySession::Advise(const std::string& protectedFolder, SessionOutcome& outcome,
                                    std::string& unseen) {
    if (protectedFolder.empty()) {
        return RightsAdvice::None;
    }
    const RightsAdvice advice =
        AdviceForRefusal(true, system_.isElevated(), system_.onNetworkShare(protectedFolder));
    if (advice != RightsAdvice::RestartAsAdministrator || system_.program.empty()) {
        return advice;
    }
    std::optional<RestartPlan> plan = PlanRestart(
        system_.program, {state_.libraryFolder, virtualStoreFolder_, outcome.restartRequest},
        system_.driveMapping, unseen);
    if (!plan) {
        return RightsAdvice::OutOfAdministratorsReach;
    }
    outcome.restart = std::move(*plan);
    return advice;
}

void LibrarySession::Refused(SessionOutcome& outcome, const std::string& failure,
                             const TransferReport& refusal) {
    outcome.restartRequest = RestartRequestFor(outcome.request);
    std::string unseen;
    outcome.advice = Advise(refusal.protectedFolder, outcome, unseen);
    switch (outcome.advice) {
        case RightsAdvice::NetworkShare:
            outcome.notes.push_back({NetworkShareRefusal(refusal), Severity::Warning});
            break;
        case RightsAdvice::RestartAsAdministrator:
            outcome.restartQuestion = ElevationOffer(refusal);
            if (!failure.empty()) {
                outcome.notes.push_back({failure, Severity::Warning});
            }
            break;
        case RightsAdvice::OutOfAdministratorsReach:
            outcome.notes.push_back(
                {failure + "\n\n" + ElevationOutOfReach(unseen), Severity::Warning});
            break;
        case RightsAdvice::None:
            if (!failure.empty()) {
                outcome.notes.push_back({failure, Severity::Warning});
            }
            break;
    }
    if (outcome.advice != RightsAdvice::RestartAsAdministrator) {
        outcome.restartRequest = {};
    }
}

void LibrarySession::RemoveShadowCopiesAfterwards(SessionOutcome& outcome) {
    if (!gameView_.Mirror()) {
        return;
    }
    // The game reads a shadow copy before the file SkySwap installed; with them gone it sees
    // what was installed. The sky they showed was kept through the game's view beforehand.
    RemoveShadowCopy remove;
    if (system_.removeShadowCopy) {
        remove = [this](const std::string& path) {
            return system_.removeShadowCopy(virtualStoreFolder_, path);
        };
    }
    const std::string message =
        ShadowCleanupMessage(RemoveShadowCopies(fs_, *gameView_.Mirror(), {}, remove));
    if (!message.empty()) {
        outcome.notes.push_back({message, Severity::Warning});
        outcome.exitCode = 1;
    }
}

LibraryRequest LibrarySession::RestartRequestFor(const LibraryRequest& asked) const {
    LibraryRequest request{asked.action, 0, {}};
    if (asked.action == LibraryAction::InstallSet || asked.action == LibraryAction::InstallRandom) {
        // Not drawn yet (keeping the game's sky failed first): the new window draws. Drawn, the
        // restart installs the set drawn.
        request.action =
            state_.randomPending ? LibraryAction::InstallRandom : LibraryAction::InstallSet;
    }
    if (TakesSet(request.action)) {
        request.set = state_.selectedSet.value_or(kNothingChosen);
    }
    return request;
}

SessionOutcome LibrarySession::TakeAdded(const AddOutcome& added) {
    SessionOutcome outcome;
    outcome.request = {LibraryAction::AddDownloads, 0, {}};
    ApplyAdded(state_, added);
    outcome.added = added.added;
    outcome.setsMade = !added.added.empty();
    // Known to be a set of the library already, the game's sky cannot be one of the new ones.
    outcome.recognizeAgain =
        outcome.setsMade &&
        (!knowledge_.installed || knowledge_.installed->source == SkySource::NotInLibrary ||
         knowledge_.installed->source == SkySource::PersonalDefault);
    outcome.succeeded = added.refused.empty();
    outcome.exitCode = added.ExitCode();
    const TransferReport refusal = RefusedFolder(state_.libraryFolder);
    // The restart adds what was refused.
    for (const AddRefusal& refused : added.refused) {
        outcome.restartRequest.paths.push_back(refused.source);
    }
    outcome.restartRequest.action = LibraryAction::AddDownloads;
    std::string unseen;
    outcome.advice =
        Advise(added.libraryProtected ? state_.libraryFolder : std::string(), outcome, unseen);
    if (outcome.advice != RightsAdvice::RestartAsAdministrator) {
        outcome.restartRequest = {};
    }
    std::vector<std::string> refusals;
    for (const AddRefusal& refused : added.refused) {
        refusals.push_back(refused.source + ": " +
                           (refused.libraryProtected && outcome.advice == RightsAdvice::NetworkShare
                                ? NetworkShareRefusal(refusal) + ". Nothing was added."
                                : refused.reason));
    }
    outcome.text = Joined(AddedLines(added));
    outcome.errors = Joined(refusals);
    const std::string both = outcome.text +
                             (outcome.text.empty() || outcome.errors.empty() ? "" : "\n") +
                             outcome.errors;
    if (outcome.advice == RightsAdvice::OutOfAdministratorsReach) {
        outcome.notes.push_back({both + "\n\n" + ElevationOutOfReach(unseen), Severity::Warning});
        return outcome;
    }
    if (!both.empty()) {
        outcome.notes.push_back(
            {both, added.refused.empty() ? Severity::Information : Severity::Warning});
    }
    if (outcome.advice == RightsAdvice::RestartAsAdministrator) {
        // The refusal says which folder Windows protects.
        outcome.restartQuestion = both + "\n\nRestart SkySwap as administrator?";
        outcome.errors += "\nRun skyswap /add as administrator to add skies there.";
    }
    return outcome;
}

SessionOutcome LibrarySession::AddDownloads(const std::vector<std::string>& paths,
                                            const AddServices& services) {
    SessionOutcome outcome = TakeAdded(skyswap::AddDownloads(state_, services, paths));
    outcome.request.paths = paths;
    return outcome;
}

}  // namespace skyswap
