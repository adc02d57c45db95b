// Folders on a network share. Administrator rights cannot help there: the share's owner decides
// who may write, and the elevated session may not even see a mapped drive. SkySwap tells the
// user so instead of offering the restart as administrator.
#pragma once

#include <functional>
#include <string>

namespace skyswap {

// What Windows says of a drive's root ("C:\"): GetDriveTypeW's DRIVE_REMOTE is Remote.
enum class DriveKind { Local, Remote, Unknown };
using DriveKindQuery = std::function<DriveKind(const std::string& root)>;

// True for a UNC path (\\server\share\..., \\?\UNC\...) and for a path on a drive that
// `driveKind` calls remote (a mapped network drive). `driveKind` is asked only for a drive path.
bool IsOnNetworkShare(const std::string& folder, const DriveKindQuery& driveKind);

}  // namespace skyswap
