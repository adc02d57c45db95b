// The library session's care of one set: describing, exporting and removing it, and the texts
// the user reads about them.
#include <algorithm>

#include "description.h"
#include "library_session.h"
#include "paths.h"
#include "selection.h"
#include "set_care.h"

namespace skyswap {

namespace {

std::string Reason(const FsStatus& status) {
    return status.message.empty() ? std::string("it failed") : status.message;
}

std::string NoSuchSet(int32_t set) {
    return "There is no sky set " + SetFolderName(set) + " in this library.";
}

std::string Named(const std::string& setName, const std::string& description) {
    return description.empty() ? setName : setName + " (" + description + ")";
}

}  // namespace

SessionOutcome LibrarySession::CareOutcome(const LibraryRequest& request, bool succeeded,
                                           const std::string& text) {
    SessionOutcome outcome;
    outcome.request = request;
    outcome.succeeded = succeeded;
    outcome.text = text;
    if (succeeded) {
        outcome.done = text;
    } else {
        outcome.exitCode = 1;
        outcome.notes.push_back({text, Severity::Warning});
    }
    return outcome;
}

SessionOutcome LibrarySession::Describe(int32_t set, const std::string& text) {
    const LibraryRequest request{LibraryAction::DescribeSet, set, {}};
    const std::string setName = SetFolderName(set);
    if (!std::binary_search(state_.setNumbers.begin(), state_.setNumbers.end(), set)) {
        return CareOutcome(request, false, NoSuchSet(set));
    }
    const std::string description = CleanDescription(text);
    if (description.empty()) {
        return CareOutcome(request, false,
                           "A description needs some text: that of " + setName + " is kept.");
    }
    const std::string path = DescriptionPath(state_, set);
    const FsStatus written = WriteDescriptionFile(fs_, path, description);
    if (!written.ok()) {
        return CareOutcome(request, false,
                           "The description of " + setName + " cannot be written to " + path +
                               ": " + Reason(written) + ". The old description is kept.");
    }
    // The window's tooltips and names read the description file, which says the new one now.
    return CareOutcome(request, true, setName + " is now described as: " + description);
}

SessionOutcome LibrarySession::Export(int32_t set, const std::string& zipPath) {
    const LibraryRequest request{LibraryAction::ExportSet, set, {zipPath}};
    const std::string setName = SetFolderName(set);
    if (!std::binary_search(state_.setNumbers.begin(), state_.setNumbers.end(), set)) {
        return CareOutcome(request, false, NoSuchSet(set));
    }
    if (!system_.archiveWriter) {
        return CareOutcome(request, false, setName + " cannot be exported: no ZIP writer.");
    }
    const ExportResult result =
        ExportSetAsZip(fs_, state_, set, ReadDescription(fs_, DescriptionPath(state_, set)),
                       zipPath, *system_.archiveWriter);
    if (!result.ok()) {
        return CareOutcome(request, false,
                           setName + " cannot be exported to " + zipPath + ": " + result.file +
                               ": " + Reason(result.status) + ".");
    }
    return CareOutcome(request, true, setName + " was exported to " + zipPath + ".");
}

RemovalQuestion LibrarySession::AskRemoval(int32_t set) {
    RemovalQuestion question;
    question.set = set;
    question.setName = SetFolderName(set);
    if (!std::binary_search(state_.setNumbers.begin(), state_.setNumbers.end(), set)) {
        question.refusal = NoSuchSet(set);
        return question;
    }
    question.description = ReadDescription(fs_, DescriptionPath(state_, set));
    // What the game shows, shadow copies included: a set whose sky is in the game would be kept
    // again as a new set by the next transfer.
    RefreshKnowledge(state_, gameView_, knowledge_);
    if (knowledge_.installed && *knowledge_.installed == InstalledSky::OfSet(set)) {
        question.refusal = question.setName +
                           " is the sky in the game now. Load another sky "
                           "first, then remove " +
                           question.setName + ".";
        return question;
    }
    question.toRecycleBin = !system_.hasRecycleBin || system_.hasRecycleBin(state_.libraryFolder);
    const std::string named = Named(question.setName, question.description);
    question.question = question.toRecycleBin ? "Move " + named + " to the Recycle Bin?"
                                              : "The library's drive has no Recycle Bin: " + named +
                                                    " will be deleted for good. Delete it?";
    return question;
}

SessionOutcome LibrarySession::Remove(int32_t set, bool forGood) {
    const LibraryRequest request{LibraryAction::RemoveSet, set, {}};
    const RemovalQuestion question = AskRemoval(set);
    if (!question.allowed()) {
        return CareOutcome(request, false, question.refusal);
    }
    const std::string named = Named(question.setName, question.description);
    if (!question.toRecycleBin && !forGood) {
        return CareOutcome(request, false,
                           named +
                               " is on a drive without a Recycle Bin: removing it would "
                               "delete it for good. Remove the folder " +
                               SetFolder(state_, set) + " in Explorer if you want it gone.");
    }
    const std::string folder = SetFolder(state_, set);
    FsStatus removed;
    if (system_.removeSetFolder) {
        removed = system_.removeSetFolder(folder, question.toRecycleBin);
    } else if (question.toRecycleBin) {
        removed = {FsError::Other, "the Recycle Bin cannot be reached"};
    } else {
        removed = DeleteSetFolder(fs_, folder);
    }
    if (fs_.IsFolder(folder)) {
        return CareOutcome(
            request, false,
            named + " cannot be removed: " +
                (removed.ok() ? std::string("its folder is still there") : Reason(removed)) + ".");
    }
    // The number stays free, as a gap in the numbering is: the other sets keep theirs.
    state_.setNumbers.erase(std::remove(state_.setNumbers.begin(), state_.setNumbers.end(), set),
                            state_.setNumbers.end());
    state_.setCount = state_.setNumbers.empty() ? 0 : state_.setNumbers.back() + 1;
    if (state_.selectedSet == set) {
        state_.selectedSet.reset();
        state_.selectedFolder.clear();
    }
    if (knowledge_.personalDefault == InstalledSky::OfSet(set)) {
        knowledge_.personalDefault.reset();  // ZTDef may match no set now: looked at again
    }
    return CareOutcome(
        request, true,
        named + (question.toRecycleBin ? " was moved to the Recycle Bin." : " was deleted."));
}

}  // namespace skyswap
