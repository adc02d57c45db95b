#include "messages.h"

#include <algorithm>
#include <cctype>

namespace skyswap {

const char* const kProgramTitle = "SkySwap";
const char* const kInstallationMessage =
    "Installation is not correct!\nPlease read the README.TXT file!";

namespace {

std::string LastName(const std::string& path) {
    const std::size_t separator = path.rfind('\\');
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool IsPersonalDefault(const std::string& folder) {
    std::string name = LastName(folder);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name == "ZTDEF";
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

}  // namespace

std::string TransferMessage(const TransferReport& report) {
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
                return "Nothing was changed: the folder ZTDef for your personal default could "
                       "not be made.";
            }
            return "Nothing was changed: the folder " + report.folder + " does not exist.";
        case TransferStatus::StagingFailed:
        case TransferStatus::SomeFilesFailed:
            break;
    }
    std::string reasons;
    for (const FileReport& file : report.files) {
        if (file.outcome == FileOutcome::Failed) {
            reasons += "\n" + Reason(file);
        }
    }
    if (report.status == TransferStatus::StagingFailed) {
        return "Nothing was changed, because a new sky file could not be written:" + reasons;
    }
    return "These sky files could not be replaced or removed:" + reasons +
           "\n\nThe other sky files were updated. Close the program that holds them (the game, "
           "for example) and try again.";
}

std::string KeptMessage(int32_t set) {
    return "The sky files in the game folder were in no set of your library. SkySwap kept them "
           "as set ZT" +
           std::to_string(set) + " before replacing them.";
}

std::string KeepFailedMessage(const KeepOutcome& keep) {
    const std::string setName = keep.set >= 0 ? " as set ZT" + std::to_string(keep.set) : "";
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
    return "Nothing was changed. The sky files in the game folder are in no set of your library, "
           "and SkySwap could not keep them" +
           setName + " before replacing them: " + reason + ".";
}

std::string InstalledTitle(const std::optional<InstalledSky>& installed,
                           const std::string& description) {
    const std::string prefix = std::string(kProgramTitle) + " - ";
    if (!installed) {
        return kProgramTitle;
    }
    switch (installed->source) {
        case SkySource::GameOwn:
            return prefix + "EAW's own sky";
        case SkySource::Set:
            return prefix + "ZT" + std::to_string(installed->set) +
                   (description.empty() ? "" : ": " + description);
        case SkySource::PersonalDefault:
            return prefix + "your default (ZTDef)";
        case SkySource::NotInLibrary:
            break;
    }
    return prefix + "a sky not in your library";
}

}  // namespace skyswap
