#include "set_care.h"

#include <algorithm>

#include "add_sets.h"
#include "ascii.h"
#include "description.h"
#include "paths.h"
#include "staged_set.h"
#include "transfers.h"

namespace skyswap {

namespace {

constexpr std::size_t kLongestSafeName = 100;  // characters

bool IsDeviceName(const std::string& name) {
    // Windows takes these for devices with any extension too.
    const std::string stem = AsciiLower(name.substr(0, name.find('.')));
    static const char* const kDevices[] = {"con", "prn", "aux", "nul"};
    for (const char* device : kDevices) {
        if (stem == device) {
            return true;
        }
    }
    return stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// Writes `bytes` to `target` through a temporary name beside it, so a failure leaves what
// `target` held whole.
FsStatus WriteThroughTemporary(FileSystem& fs, const std::string& target,
                               const std::string& bytes) {
    const std::string temporary = target + kStagedSuffix;
    FsStatus status = fs.WriteFlushed(temporary, bytes);
    if (status.ok()) {
        status = fs.MoveStagedOver(temporary, target);
    }
    if (!status.ok()) {
        fs.RemoveFile(temporary);
    }
    return status;
}

}  // namespace

std::string SafeFileName(const std::string& text) {
    std::string safe;
    std::size_t characters = 0;
    for (const char byte : text) {
        const auto value = static_cast<unsigned char>(byte);
        const bool lead = (value & 0xC0) != 0x80;
        if (lead && characters++ == kLongestSafeName) {
            break;
        }
        const bool forbidden = value < 0x20 || value == 0x7F ||
                               std::string_view("\\/:*?\"<>|").find(byte) != std::string_view::npos;
        safe.push_back(forbidden ? '_' : byte);
    }
    while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.')) {
        safe.pop_back();
    }
    safe.erase(0, std::min(safe.size(), safe.find_first_not_of(' ')));
    if (IsDeviceName(safe)) {
        safe.insert(safe.find('.') == std::string::npos ? safe.size() : safe.find('.'), "_");
    }
    return safe;
}

std::string SuggestedExportName(int32_t set, const std::string& description) {
    const std::string safe = SafeFileName(description);
    return SetFolderName(set) + (safe.empty() ? "" : " - " + safe) + ".zip";
}

FsStatus WriteDescriptionFile(FileSystem& fs, const std::string& path,
                              const std::string& description) {
    std::string old;
    if (fs.IsFile(path)) {
        std::uint64_t size = 0;
        FsStatus status = fs.FileSize(path, size);
        if (status.ok() && size > kLargestFileBytes) {
            status = {FsError::Other, "the file is too large for a description"};
        }
        if (status.ok()) {
            status = fs.ReadPrefix(path, static_cast<std::size_t>(size), old);
        }
        if (!status.ok()) {
            return status;  // what it holds beside the description would be lost
        }
    }
    return WriteThroughTemporary(fs, path, WithFirstField(old, description));
}

ExportResult ExportSetAsZip(FileSystem& fs, const AppState& state, int32_t set,
                            const std::string& description, const std::string& zipPath,
                            ArchiveWriter& writer) {
    const std::string folder = SetFolder(state, set);
    const std::string setName = SetFolderName(set);
    std::vector<FolderEntry> entries;
    if (const FsStatus listed = fs.ListFolder(folder, entries); !listed.ok()) {
        return {listed, folder};
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    const std::string top = SafeFileName(description).empty() ? setName : SafeFileName(description);
    std::vector<ArchiveFile> files;
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder || !StagedSetFile(entry.name, setName)) {
            continue;
        }
        const std::string path = JoinPath(folder, entry.name);
        std::string bytes;
        FsStatus status = fs.ReadPrefix(path, kLargestFileBytes + 1, bytes);
        if (status.ok() && bytes.size() > kLargestFileBytes) {
            status = {FsError::Other, "it is larger than SkySwap adds from a ZIP file"};
        }
        if (!status.ok()) {
            return {status, path};
        }
        files.push_back({top + "/" + entry.name, std::move(bytes)});
    }
    std::string archive;
    std::string error;
    if (!writer.Write(files, archive, error)) {
        return {{FsError::Other, error}, zipPath};
    }
    return {WriteThroughTemporary(fs, zipPath, archive), zipPath};
}

FsStatus DeleteSetFolder(FileSystem& fs, const std::string& folder) {
    std::vector<FolderEntry> entries;
    if (const FsStatus listed = fs.ListFolder(folder, entries); !listed.ok()) {
        return listed;
    }
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder) {
            return {FsError::Other, "it holds the folder " + entry.name};
        }
        if (const FsStatus removed = fs.RemoveFile(JoinPath(folder, entry.name)); !removed.ok()) {
            return removed;
        }
    }
    return fs.RemoveFolder(folder);
}

}  // namespace skyswap
