#include "network_share.h"

namespace skyswap {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "\\?\" or "\\.\", the prefixes that hand a path to Windows as it is.
bool HasDevicePrefix(const std::string& path) {
    return path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
           (path[2] == '?' || path[2] == '.') && IsSeparator(path[3]);
}

bool StartsWithUnc(const std::string& path, std::size_t at) {
    return path.size() >= at + 4 && (path[at] == 'U' || path[at] == 'u') &&
           (path[at + 1] == 'N' || path[at + 1] == 'n') &&
           (path[at + 2] == 'C' || path[at + 2] == 'c') && IsSeparator(path[at + 3]);
}

}  // namespace

bool IsOnNetworkShare(const std::string& folder, const DriveKindQuery& driveKind) {
    std::size_t start = 0;
    if (HasDevicePrefix(folder)) {
        if (StartsWithUnc(folder, 4)) {
            return true;
        }
        start = 4;
    } else if (folder.size() > 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
        return true;  // \\server\share
    }
    const bool drivePath = folder.size() >= start + 2 && IsLetter(folder[start]) &&
                           folder[start + 1] == ':' &&
                           (folder.size() == start + 2 || IsSeparator(folder[start + 2]));
    if (!drivePath || !driveKind) {
        return false;
    }
    return driveKind(folder.substr(start, 2) + "\\") == DriveKind::Remote;
}

}  // namespace skyswap
