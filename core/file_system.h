// The few file-system operations the sky library needs. Paths are UTF-8 and joined with "\";
// each implementation maps them to its platform.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace skyswap {

enum class FsError {
    None,
    NotFound,      // the file or a folder on its path does not exist
    AccessDenied,  // no permission
    ReadOnly,      // the file, or the medium, is read-only
    InUse,         // held open by another program (sharing violation, lock)
    DiskFull,      // no space left
    Other,
};

struct FsStatus {
    FsError error = FsError::None;
    std::string message;  // the system's own words, for the user

    bool ok() const { return error == FsError::None; }
    static FsStatus Ok() { return {}; }
};

struct FolderEntry {
    std::string name;
    bool isFolder = false;
    // A file's size as the folder's listing gives it, without opening the file (Windows' does);
    // nothing when the listing does not tell, and FileSize has to be asked.
    std::optional<std::uint64_t> size;
    // A symbolic link or a junction: isFolder and size say what it leads to, where the system
    // tells. Walking a download enters no such folder and takes no such file.
    bool isLink = false;
};

// One file kept open for reads at any offset, for a reader that comes back to the same file many
// times (an archive's reader): the file is opened once, not once per read. Each read answers as
// FileSystem::ReadAt does, a file that cannot be opened included.
class OpenFile {
  public:
    virtual ~OpenFile() = default;
    virtual FsStatus ReadAt(std::uint64_t offset, std::size_t maxBytes, std::string& bytes) = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The process's current folder, without a trailing separator except for a root.
    virtual std::optional<std::string> CurrentFolder() = 0;
    // Opens the file for reading and closes it again.
    virtual bool CanOpenForReading(const std::string& path) = 0;
    // Entries of a folder, without "." and "..", hidden and system entries; files with their
    // sizes where the system's listing has them.
    virtual FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) = 0;
    virtual bool IsFolder(const std::string& path) = 0;
    virtual bool IsFile(const std::string& path) = 0;
    virtual FsStatus CreateFolder(const std::string& path) = 0;
    // Deletes a file, clearing its read-only attribute first.
    virtual FsStatus RemoveFile(const std::string& path) = 0;
    // Writes a new file `staged` with the contents of `source`, flushed to the disk, with normal
    // attributes whatever the source's; an existing `staged` is overwritten.
    virtual FsStatus CopyToStaged(const std::string& source, const std::string& staged) = 0;
    // Renames `staged` over `target` in one step, clearing a read-only attribute of `target`.
    virtual FsStatus MoveStagedOver(const std::string& staged, const std::string& target) = 0;
    // Reads at most maxBytes from the start of a file.
    virtual FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes,
                                std::string& bytes) = 0;
    // The size of a file in bytes. The default reads the file through ReadPrefix, so a file
    // system that decorates another only needs to override ReadPrefix to be asked consistently.
    virtual FsStatus FileSize(const std::string& path, std::uint64_t& size) {
        // Growing prefixes, so a small file costs one read and a large one a few.
        std::string bytes;
        for (std::size_t limit = 64 * 1024;; limit *= 8) {
            const FsStatus status = ReadPrefix(path, limit, bytes);
            if (!status.ok() || bytes.size() < limit) {
                size = bytes.size();
                return status;
            }
        }
    }
    // Reads at most maxBytes from `offset` on (fewer at the end of the file). The default reads
    // the prefix up to the end of the range.
    virtual FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                            std::string& bytes) {
        const auto skip = static_cast<std::size_t>(offset);
        const FsStatus status = ReadPrefix(path, skip + maxBytes, bytes);
        bytes.erase(0, std::min(bytes.size(), skip));
        return status;
    }
    // The file at `path` for many reads. The default reads through ReadAt each time, so a file
    // system that decorates another sees every read; a system's own keeps one handle open.
    virtual std::unique_ptr<OpenFile> OpenToRead(const std::string& path);
    // Writes a file with `bytes`, replacing one of that name, flushed to the disk.
    virtual FsStatus WriteFlushed(const std::string& path, const std::string& bytes) = 0;
    // Renames a folder; the new name must not exist.
    virtual FsStatus RenameFolder(const std::string& from, const std::string& to) = 0;
    // Removes an empty folder.
    virtual FsStatus RemoveFolder(const std::string& path) = 0;
    // Waits before a retry.
    virtual void Pause(int milliseconds) = 0;
};

// The reads of one file through its file system's ReadAt: FileSystem::OpenToRead's default.
class ReadsThroughPath final : public OpenFile {
  public:
    ReadsThroughPath(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) {}
    FsStatus ReadAt(std::uint64_t offset, std::size_t maxBytes, std::string& bytes) override {
        return fs_.ReadAt(path_, offset, maxBytes, bytes);
    }

  private:
    FileSystem& fs_;
    std::string path_;
};

inline std::unique_ptr<OpenFile> FileSystem::OpenToRead(const std::string& path) {
    return std::make_unique<ReadsThroughPath>(*this, path);
}

}  // namespace skyswap
