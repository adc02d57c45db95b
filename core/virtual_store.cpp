#include "virtual_store.h"

#include <algorithm>
#include <string_view>

#include "ascii.h"
#include "paths.h"

namespace skyswap {
namespace {

constexpr const char* kLongPathPrefix = "\\\\?\\";
constexpr const char* kLongUncPrefix = "\\\\?\\UNC\\";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.size() >= start.size() &&
           SameAsciiText(std::string_view(text).substr(0, start.size()), start);
}

// A drive path without "\\?\" and without a trailing separator ("C:\" stays "C:"); nothing for a
// network path or anything that is not an absolute drive path.
std::optional<std::string> DrivePath(std::string path) {
    if (StartsWith(path, kLongUncPrefix)) {
        return std::nullopt;
    }
    if (StartsWith(path, kLongPathPrefix)) {
        path.erase(0, 4);
    }
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) {
        path.pop_back();
    }
    const bool drive = path.size() >= 2 && path[1] == ':' &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (!drive || (path.size() > 2 && path[2] != '\\')) {
        return std::nullopt;
    }
    return path;
}

// True when `path` is `root` or lies inside it.
bool Inside(const std::string& path, const std::string& root) {
    return StartsWith(path, root) && (path.size() == root.size() || path[root.size()] == '\\');
}

// A final path as Windows gives it ("\\?\C:\...", "\\?\UNC\server\...") in the
// program's form, without a trailing separator.
std::string WithoutDevicePrefix(std::string path) {
    if (StartsWith(path, kLongUncPrefix)) {
        path = "\\\\" + path.substr(8);
    } else if (StartsWith(path, kLongPathPrefix)) {
        path.erase(0, 4);
    }
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

}  // namespace

bool ReachedWithoutLinks(const std::string& root, const std::string& path,
                         const OpenedShadowCopy& opened) {
    const std::string given = WithoutDevicePrefix(root);
    const std::string below = WithoutDevicePrefix(path);
    if (opened.isLink || opened.finalPath.empty() || opened.finalRoot.empty() ||
        !Inside(below, given) || below.size() == given.size()) {
        return false;
    }
    // Every name below the root as given, "." and ".." excluded: Windows' final path has none.
    const std::string names = below.substr(given.size());
    const std::string separated = names + "\\";
    for (const char* odd : {"\\.\\", "\\..\\", "\\\\", "/"}) {
        if (separated.find(odd) != std::string::npos) {
            return false;
        }
    }
    return SameAsciiText(WithoutDevicePrefix(opened.finalPath),
                         WithoutDevicePrefix(opened.finalRoot) + names);
}

std::string LinkRefusal(const std::string& root) {
    return "a junction or symbolic link in " + root +
           " leads elsewhere, so SkySwap left the file alone";
}

std::string VirtualStoreFolder(const KnownFolders& known) {
    if (!known.virtualStore.empty()) {
        std::string folder = known.virtualStore;
        while (folder.size() > 3 && folder.back() == '\\') {
            folder.pop_back();
        }
        return folder;
    }
    if (known.localAppData.empty()) {
        return {};
    }
    std::string folder = known.localAppData;
    while (!folder.empty() && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder + "\\VirtualStore";
}

std::optional<std::string> VirtualStoreMirror(const std::string& gameFolder,
                                              const KnownFolders& known) {
    const std::optional<std::string> game = DrivePath(gameFolder);
    const std::string store = VirtualStoreFolder(known);
    if (!game || store.empty()) {
        return std::nullopt;
    }
    for (const std::string* root :
         {&known.programFiles, &known.programFilesX86, &known.windows, &known.programData}) {
        const std::optional<std::string> virtualised = DrivePath(*root);
        // A drive root is not virtualised as a whole.
        if (virtualised && virtualised->size() > 2 && Inside(*game, *virtualised)) {
            // The mirror repeats the path below the drive: C:\Program Files (x86)\EAW is
            // VirtualStore\Program Files (x86)\EAW.
            return store + game->substr(2);
        }
    }
    return std::nullopt;
}

void GameView::SetFolders(const std::string& gameFolder, std::optional<std::string> mirror) {
    gameFolder_ = gameFolder;
    mirror_ = std::move(mirror);
}

std::string GameView::Seen(const std::string& path) {
    if (!mirror_ || path.size() <= gameFolder_.size() || !StartsWith(path, gameFolder_)) {
        return path;
    }
    const std::string name = path.substr(gameFolder_.size());
    for (const char* skyFile : SkyFileNames) {
        if (name.front() == '\\' && SameAsciiText(std::string_view(name).substr(1), skyFile)) {
            const std::string shadow = JoinPath(*mirror_, skyFile);
            return real_.IsFile(shadow) ? shadow : path;
        }
    }
    return path;
}

FileSystem* GameView::BehindShadows() {
    if (!mirror_) {
        return nullptr;
    }
    for (const char* skyFile : SkyFileNames) {
        if (real_.IsFile(JoinPath(*mirror_, skyFile))) {
            return &real_;
        }
    }
    return nullptr;
}

bool GameView::CanOpenForReading(const std::string& path) {
    return real_.CanOpenForReading(Seen(path));
}

bool GameView::IsFile(const std::string& path) {
    return real_.IsFile(Seen(path));
}

FsStatus GameView::CopyToStaged(const std::string& source, const std::string& staged) {
    return real_.CopyToStaged(Seen(source), staged);
}

FsStatus GameView::ReadPrefix(const std::string& path, std::size_t maxBytes, std::string& bytes) {
    return real_.ReadPrefix(Seen(path), maxBytes, bytes);
}

FsStatus GameView::FileSize(const std::string& path, std::uint64_t& size) {
    return real_.FileSize(Seen(path), size);
}

FsStatus GameView::ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                          std::string& bytes) {
    return real_.ReadAt(Seen(path), offset, maxBytes, bytes);
}

TransferReport RemoveShadowCopies(FileSystem& fs, const std::string& mirror,
                                  const KeepShadowSky& keep, const RemoveShadowCopy& remove) {
    TransferReport report;
    report.folder = mirror;
    if (mirror.empty() || !fs.IsFolder(mirror)) {
        return report;
    }
    std::vector<std::size_t> shadows;
    for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
        if (fs.IsFile(JoinPath(mirror, SkyFileNames[i]))) {
            shadows.push_back(i);
        }
    }
    if (shadows.empty()) {
        return report;
    }
    for (const char* name : SkyFileNames) {
        report.files.push_back({name, FileOutcome::LeftAlone, {}});
    }
    if (keep) {
        const FsStatus kept = keep(mirror);
        if (!kept.ok()) {
            report.status = TransferStatus::StagingFailed;
            report.folderStatus = kept;
            return report;
        }
    }
    for (const std::size_t i : shadows) {
        FileReport& file = report.files[i];
        const std::string shadow = JoinPath(mirror, SkyFileNames[i]);
        file.status = remove ? remove(shadow) : fs.RemoveFile(shadow);
        if (file.status.ok() || file.status.error == FsError::NotFound) {
            file.status = FsStatus::Ok();
            file.outcome = FileOutcome::Removed;
        } else {
            file.outcome = FileOutcome::Failed;
            report.status = TransferStatus::SomeFilesFailed;
        }
    }
    return report;
}

}  // namespace skyswap
