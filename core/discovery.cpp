#include "discovery.h"

#include <algorithm>

#include "transfers.h"

namespace skyswap {

std::optional<int32_t> SetNumberFromFolderName(std::string_view name) {
    if (name.size() < 3 || (name[0] != 'Z' && name[0] != 'z') ||
        (name[1] != 'T' && name[1] != 't')) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(2);
    // Canonical decimal only: "ZT07" would be a second name for set 7.
    if (digits.size() > 5 || (digits.size() > 1 && digits[0] == '0')) {
        return std::nullopt;
    }
    int32_t number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    if (number > kHighestSetNumber) {
        return std::nullopt;
    }
    return number;
}

DiscoveryResult DiscoverLibrary(AppState& state, FileSystem& fs) {
    const std::optional<std::string> current = fs.CurrentFolder();
    if (!current) {
        return DiscoveryResult::ListingFailed;
    }
    state.libraryFolder = *current;
    const std::size_t lastSeparator = state.libraryFolder.rfind('\\');
    if (lastSeparator == std::string::npos) {
        return DiscoveryResult::NoGameFolder;
    }
    state.gameFolder = state.libraryFolder.substr(0, lastSeparator);

    if (!fs.CanOpenForReading(state.gameFolder + "\\eaw.ini")) {
        return DiscoveryResult::NoGameMarker;
    }
    state.myDefaultFolder = state.libraryFolder + "\\ZTDef";

    std::vector<FolderEntry> entries;
    if (!fs.ListFolder(state.libraryFolder, entries).ok()) {
        return DiscoveryResult::ListingFailed;
    }
    state.setNumbers.clear();
    state.unfinishedSets.clear();
    const std::string_view staged = kStagedSuffix;
    for (const FolderEntry& entry : entries) {
        if (!entry.isFolder) {
            continue;
        }
        const std::string_view name = entry.name;
        if (const std::optional<int32_t> number = SetNumberFromFolderName(name)) {
            state.setNumbers.push_back(*number);
        } else if (name.size() > staged.size() &&
                   name.substr(name.size() - staged.size()) == staged &&
                   SetNumberFromFolderName(name.substr(0, name.size() - staged.size()))) {
            state.unfinishedSets.push_back(entry.name);
        }
    }
    std::sort(state.setNumbers.begin(), state.setNumbers.end());
    // "zt5" and "ZT5" on a case-sensitive file system are one set.
    state.setNumbers.erase(std::unique(state.setNumbers.begin(), state.setNumbers.end()),
                           state.setNumbers.end());
    // Counting by the highest number keeps every set reachable when the numbering has a gap;
    // the gap shows as an empty slot.
    state.setCount = state.setNumbers.empty() ? 0 : state.setNumbers.back() + 1;
    state.pageFirst = 0;
    return DiscoveryResult::Ok;
}

}  // namespace skyswap
