// The file system on POSIX, for the native tests and benchmarks. Program paths use "\", which is
// mapped to "/"; a name beginning with a dot counts as hidden.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <utility>

#include "file_system.h"

namespace skyswap {

class PosixFileSystem final : public FileSystem {
  public:
    // What puts a written file's data on the disk before it replaces another: fsync, or for a
    // test a function that counts the calls.
    using Flush = int (*)(int fd);
    explicit PosixFileSystem(Flush flush = ::fsync) : flush_(flush) {}

    std::optional<std::string> CurrentFolder() override;
    bool CanOpenForReading(const std::string& path) override;
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override;
    bool IsFolder(const std::string& path) override;
    bool IsFile(const std::string& path) override;
    FsStatus CreateFolder(const std::string& path) override;
    FsStatus RemoveFile(const std::string& path) override;
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override;
    FsStatus MoveStagedOver(const std::string& staged, const std::string& target) override;
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes, std::string& bytes) override;
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override;
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override;
    std::unique_ptr<OpenFile> OpenToRead(const std::string& path) override;
    FsStatus WriteFlushed(const std::string& path, const std::string& bytes) override;
    FsStatus RenameFolder(const std::string& from, const std::string& to) override;
    FsStatus RemoveFolder(const std::string& path) override;
    void Pause(int milliseconds) override;

  private:
    Flush flush_;
};

// Closes a file descriptor on every path.
class PosixDescriptor {
  public:
    explicit PosixDescriptor(int fd) : fd_(fd) {}
    ~PosixDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    PosixDescriptor(const PosixDescriptor&) = delete;
    PosixDescriptor& operator=(const PosixDescriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// Writes all of `data`, going on after interruptions; false on an error.
bool WriteAll(int fd, const char* data, std::size_t size);

// "\a\b" -> "/a/b" and back.
std::string ToPosixPath(const std::string& path);
std::string FromPosixPath(const std::string& path);

}  // namespace skyswap
