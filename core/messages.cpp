#include "messages.h"

#include <algorithm>

#include "ascii.h"
#include "paths.h"

namespace skyswap {

const char* const kProgramTitle = "SkySwap";
const char* const kInstallationMessage =
    "Installation is not correct!\nPlease read the README.TXT file!";

namespace {

bool IsPersonalDefault(const std::string& folder) {
    return SameAsciiText(LastName(folder), "ZTDef");
}

std::string Reason(const FileReport& file) {
    switch (file.status.error) {
        case FsError::InUse:
            return file.name + " is in use by another program";
        case FsError::ReadOnly:
            return file.name + " is read-only";
        case FsError::AccessDenied:
            return file.name + " cannot be changed: access is denied";
        case FsError::DiskFull:
            return "there is not enough room on the disk for " + file.name;
        case FsError::NotFound:
            return file.name + " was not found";
        case FsError::None:
        case FsError::Other:
            break;
    }
    return file.status.message.empty() ? file.name + " could not be copied"
                                       : file.name + ": " + file.status.message;
}

std::string FailedFiles(const TransferReport& report) {
    std::string reasons;
    for (const FileReport& file : report.files) {
        if (file.outcome == FileOutcome::Failed) {
            reasons += "\n" + Reason(file);
        }
    }
    return reasons;
}

bool AnyChanged(const TransferReport& report) {
    return std::any_of(report.files.begin(), report.files.end(), [](const FileReport& file) {
        return file.outcome == FileOutcome::Replaced || file.outcome == FileOutcome::Removed;
    });
}

bool AnyFailedWith(const TransferReport& report, FsError error) {
    return std::any_of(report.files.begin(), report.files.end(), [&](const FileReport& file) {
        return file.outcome == FileOutcome::Failed && file.status.error == error;
    });
}

// Why the protected folder refused, naming the folder Windows protects: the game folder, or the
// library folder that holds (or would hold) ZTDef.
std::string Protection(const TransferReport& report) {
    if (IsPersonalDefault(report.protectedFolder)) {
        return "Windows protects the folder " + ParentOf(report.protectedFolder) +
               ". SkySwap needs administrator rights to save your personal default (ZTDef) there.";
    }
    return "Windows protects the game folder " + report.protectedFolder +
           ". SkySwap needs administrator rights to change its sky files.";
}

// Said first when some files did change before the others were refused.
std::string PartlyDone(const TransferReport& report) {
    if (!AnyChanged(report)) {
        return {};
    }
    return "These sky files could not be replaced or removed:" + FailedFiles(report) +
           "\n\nThe other sky files were updated.\n\n";
}

// The folder Windows would not write to: the game folder, or the library folder for ZTDef.
std::string RefusingFolder(const TransferReport& report) {
    return IsPersonalDefault(report.protectedFolder) ? ParentOf(report.protectedFolder)
                                                     : report.protectedFolder;
}

}  // namespace

std::string ElevationOffer(const TransferReport& report) {
    return PartlyDone(report) + Protection(report) + " Restart SkySwap as administrator?";
}

std::string ElevationOutOfReach(const std::string& unseen) {
    const std::string drive =
        unseen.size() >= 2 && unseen[1] == ':' ? unseen.substr(0, 2) : std::string("its drive");
    return "SkySwap cannot restart itself as administrator from here: " + unseen + " is on " +
           drive +
           ", a drive made with subst or mapped for your account only, which programs started as "
           "administrator do not see, and Windows could not say where it really is. Start "
           "SkySwap from the folder's full path instead.";
}

std::string NetworkShareRefusal(const TransferReport& report) {
    return PartlyDone(report) + "Windows does not let SkySwap write to " + RefusingFolder(report) +
           " on the network share; ask the share's owner for write access or copy the game to "
           "this computer";
}

std::string ShadowCleanupMessage(const TransferReport& report) {
    if (report.ok()) {
        return {};
    }
    if (report.status == TransferStatus::StagingFailed) {
        return "The new sky files are in the game folder, but the game may still show the old "
               "sky: Windows keeps copies of its sky files in " +
               report.folder +
               ", and SkySwap could not keep the sky they hold as a set, so it left them "
               "there.";
    }
    return "The new sky files are in the game folder, but the game may still show some of the "
           "old ones: Windows keeps copies of its sky files in " +
           report.folder + ", and these could not be removed:" + FailedFiles(report);
}

std::string TransferMessage(const TransferReport& report) {
    if (!report.protectedFolder.empty() && report.status != TransferStatus::Done) {
        if (AnyChanged(report)) {
            return PartlyDone(report) + Protection(report);
        }
        return "Nothing was changed. " + Protection(report);
    }
    switch (report.status) {
        case TransferStatus::Done:
            return {};
        case TransferStatus::NothingChosen:
            return "Choose a sky set first.";
        case TransferStatus::LibraryEmpty:
            return "There is no sky set in the library to choose from.";
        case TransferStatus::SourceMissing:
            if (IsPersonalDefault(report.folder)) {
                return "Nothing was changed: no personal default has been saved yet (the folder "
                       "ZTDef does not exist).";
            }
            return "Nothing was changed: the set folder " + LastName(report.folder) +
                   " does not exist.";
        case TransferStatus::TargetMissing:
            if (IsPersonalDefault(report.folder)) {
                const std::string& why = report.folderStatus.message;
                return "Nothing was changed: the folder ZTDef for your personal default could "
                       "not be made" +
                       (why.empty() ? std::string(".") : ": " + why);
            }
            return "Nothing was changed: the folder " + report.folder + " does not exist.";
        case TransferStatus::StagingFailed:
        case TransferStatus::SomeFilesFailed:
            break;
    }
    const std::string reasons = FailedFiles(report);
    if (report.status == TransferStatus::StagingFailed) {
        return "Nothing was changed, because a new sky file could not be written:" + reasons;
    }
    std::string message = "These sky files could not be replaced or removed:" + reasons +
                          "\n\nThe other sky files were updated.";
    if (AnyFailedWith(report, FsError::InUse)) {
        message += " Close the program that holds them (the game, for example) and try again.";
    }
    return message;
}

std::string DoneMessage(LibraryAction action, int32_t set) {
    switch (action) {
        case LibraryAction::LoadMyDefault:
            return "Your personal default (ZTDef) is now in the game.";
        case LibraryAction::LoadGameDefault:
            return "The ten sky files are gone from the game: EAW uses its own skies.";
        case LibraryAction::SaveMyDefault:
            return SavedDefaultMessage(set);
        default:
            break;
    }
    return "Sky set " + SetFolderName(set) + " is now in the game.";
}

std::string SavedDefaultMessage(int32_t set) {
    return "Sky set " + SetFolderName(set) + " is now your personal default (ZTDef).";
}

std::string KeptMessage(int32_t set) {
    return "The sky files in the game folder were in no set of your library. SkySwap kept them "
           "as set " +
           SetFolderName(set) + " before replacing them.";
}

std::string KeptMessage(const KeepOutcome& keep) {
    if (keep.from == KeptSky::PersonalDefault) {
        return "Your default was in no set of your library; it is kept as set " +
               SetFolderName(keep.set) + ".";
    }
    return KeptMessage(keep.set);
}

std::string KeepFailedMessage(const KeepOutcome& keep) {
    const std::string setName = keep.set >= 0 ? SetFolderName(keep.set) : "";
    std::string reason;
    switch (keep.failure.status.error) {
        case FsError::DiskFull:
            reason = "there is not enough room on the disk";
            break;
        case FsError::AccessDenied:
        case FsError::ReadOnly:
            reason = keep.failure.name + " could not be copied: access is denied";
            break;
        case FsError::InUse:
            reason = keep.failure.name + " is in use by another program";
            break;
        case FsError::NotFound:
            reason = keep.failure.name + " was not found";
            break;
        case FsError::None:
        case FsError::Other:
            reason = keep.failure.status.message.empty()
                         ? keep.failure.name + " could not be written"
                         : keep.failure.name + ": " + keep.failure.status.message;
            break;
    }
    if (keep.failedStep == KeepStep::NameFolder) {
        // The files were all written; another program kept reading them past every retry.
        reason = "the new folder " + setName + kStagedSuffix + " could not be renamed to " +
                 setName + " (" +
                 (keep.failure.status.message.empty() ? std::string("it is in use")
                                                      : keep.failure.status.message) +
                 "); a virus scanner, the indexer or a sync client may still have been reading "
                 "it. Try again in a moment";
    }
    const std::string asSet = setName.empty() ? "" : " as set " + setName;
    if (keep.failedStep == KeepStep::ReadSource) {
        // Recognition could not read the file either: whether the sky is in a set is not known.
        const std::string why =
            keep.failure.status.error == FsError::AccessDenied
                ? "access is denied"
                : (keep.failure.status.message.empty() ? std::string("it cannot be read")
                                                       : keep.failure.status.message);
        const std::string where =
            keep.from == KeptSky::PersonalDefault ? "your default (ZTDef)" : "the game folder";
        return "Nothing was changed. SkySwap could not read " + keep.failure.name + " in " + where +
               " (" + why +
               "), so it cannot tell whether that sky is in your library, nor keep it" + asSet +
               " before replacing it.";
    }
    if (keep.from == KeptSky::PersonalDefault) {
        return "Nothing was changed. Your default (ZTDef) is in no set of your library, and "
               "SkySwap could not keep it" +
               asSet + " before saving over it: " + reason + ".";
    }
    return "Nothing was changed. The sky files in the game folder are in no set of your library, "
           "and SkySwap could not keep them" +
           asSet + " before replacing them: " + reason + ".";
}

std::string InstalledSkyName(const InstalledSky& installed, const std::string& description) {
    switch (installed.source) {
        case SkySource::GameOwn:
            return "EAW's own sky";
        case SkySource::Set:
            return SetFolderName(installed.set) + (description.empty() ? "" : ": " + description);
        case SkySource::PersonalDefault:
            return "your default (ZTDef)";
        case SkySource::NotInLibrary:
            break;
    }
    return "a sky not in your library";
}

std::string InstalledTitle(const std::optional<InstalledSky>& installed,
                           const std::string& description) {
    if (!installed) {
        return kProgramTitle;
    }
    return std::string(kProgramTitle) + " - " + InstalledSkyName(*installed, description);
}

namespace {

std::string PathList(const std::vector<std::string>& paths) {
    std::string list;
    for (const std::string& path : paths) {
        list += "\n" + path;
    }
    return list;
}

}  // namespace

std::string AddHandedDownloadsQuestion(const std::vector<std::string>& paths) {
    return "Add these downloads to the library?" + PathList(paths);
}

std::string ResumeQuestion(const LibraryRequest& request, const std::string& mirror) {
    std::string what;
    switch (request.action) {
        case LibraryAction::InstallSet:
            what = "install sky set ZT" + std::to_string(request.set) + " in the game";
            break;
        case LibraryAction::InstallRandom:
            what = "install a sky set drawn at random in the game";
            break;
        case LibraryAction::LoadMyDefault:
            what = "install your personal default (ZTDef) in the game";
            break;
        case LibraryAction::LoadGameDefault:
            what = "remove the ten sky files from the game, so that EAW uses its own skies";
            break;
        case LibraryAction::SaveMyDefault:
            what = "save sky set ZT" + std::to_string(request.set) +
                   " as your personal default (ZTDef)";
            break;
        case LibraryAction::AddDownloads:
            return "SkySwap was started with administrator rights to add these downloads to the "
                   "library:" +
                   PathList(request.paths) + "\nGo on?";
        default:
            break;
    }
    std::string question = "SkySwap was started with administrator rights to " + what + ".";
    if (ChangesTheGame(request.action) && !mirror.empty()) {
        question +=
            " It then removes the copies of the sky files that Windows keeps for the "
            "game in " +
            mirror + ".";
    }
    return question + " Go on?";
}

}  // namespace skyswap
