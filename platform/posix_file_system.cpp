#include "posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

namespace skyswap {
namespace {

FsStatus FromErrno(int error) {
    FsStatus status;
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            status.error = FsError::NotFound;
            break;
        case EACCES:
        case EPERM:
            status.error = FsError::AccessDenied;
            break;
        case EROFS:
            status.error = FsError::ReadOnly;
            break;
        case EBUSY:
        case ETXTBSY:
            status.error = FsError::InUse;
            break;
        case ENOSPC:
        case EDQUOT:
            status.error = FsError::DiskFull;
            break;
        default:
            status.error = FsError::Other;
            break;
    }
    status.message = std::strerror(error);
    return status;
}

// Up to maxBytes from `offset` on, fewer where the file ends.
FsStatus ReadFromDescriptor(int fd, std::uint64_t offset, std::size_t maxBytes,
                            std::string& bytes) {
    bytes.resize(maxBytes);
    std::size_t filled = 0;
    while (filled < maxBytes) {
        const ssize_t got = ::pread(fd, bytes.data() + filled, maxBytes - filled,
                                    static_cast<off_t>(offset + filled));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            bytes.clear();
            return FromErrno(errno);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return FsStatus::Ok();
}

// The file is opened at its first read and kept open; one that cannot be opened is tried again at
// the next read.
class PosixOpenFile final : public OpenFile {
  public:
    explicit PosixOpenFile(const std::string& path) : path_(ToPosixPath(path)) {}
    ~PosixOpenFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    PosixOpenFile(const PosixOpenFile&) = delete;
    PosixOpenFile& operator=(const PosixOpenFile&) = delete;

    FsStatus ReadAt(std::uint64_t offset, std::size_t maxBytes, std::string& bytes) override {
        bytes.clear();
        if (fd_ < 0) {
            fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd_ < 0) {
                return FromErrno(errno);
            }
        }
        return ReadFromDescriptor(fd_, offset, maxBytes, bytes);
    }

  private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string ToPosixPath(const std::string& path) {
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    return result.empty() ? "/" : result;
}

std::string FromPosixPath(const std::string& path) {
    std::string result = path;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

std::optional<std::string> PosixFileSystem::CurrentFolder() {
    std::string buffer(4096, '\0');
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return std::nullopt;
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return FromPosixPath(buffer);
}

bool PosixFileSystem::CanOpenForReading(const std::string& path) {
    PosixDescriptor fd(::open(ToPosixPath(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    return fd.get() >= 0 && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode);
}

FsStatus PosixFileSystem::ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    const std::string base = ToPosixPath(folder);
    DIR* dir = ::opendir(base.c_str());
    if (dir == nullptr) {
        return FromErrno(errno);
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.') {  // ".", ".." and hidden entries
            continue;
        }
        FolderEntry listed{name, entry->d_type == DT_DIR, std::nullopt, entry->d_type == DT_LNK};
        // readdir gives no sizes, and a stat of every file would cost more than the listing:
        // a file's size is asked (FileSize) only where it is needed. An entry of unknown kind
        // is looked at, relative to the open folder, and then its size comes with it.
        if (entry->d_type == DT_UNKNOWN) {
            struct stat own {};
            listed.isLink = ::fstatat(::dirfd(dir), name, &own, AT_SYMLINK_NOFOLLOW) == 0 &&
                            S_ISLNK(own.st_mode);
        }
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            if (::fstatat(::dirfd(dir), name, &info, 0) == 0) {
                listed.isFolder = S_ISDIR(info.st_mode);
                if (S_ISREG(info.st_mode)) {
                    listed.size = static_cast<std::uint64_t>(info.st_size);
                }
            }
        }
        entries.push_back(std::move(listed));
    }
    ::closedir(dir);
    return FsStatus::Ok();
}

bool PosixFileSystem::IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(ToPosixPath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PosixFileSystem::IsFile(const std::string& path) {
    struct stat info {};
    return ::stat(ToPosixPath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FsStatus PosixFileSystem::CreateFolder(const std::string& path) {
    if (::mkdir(ToPosixPath(path).c_str(), 0777) != 0) {
        return FromErrno(errno);
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::RemoveFile(const std::string& path) {
    // On POSIX deleting depends on the folder's permission, not on the file's.
    if (::unlink(ToPosixPath(path).c_str()) != 0) {
        return FromErrno(errno);
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::CopyToStaged(const std::string& source, const std::string& staged) {
    PosixDescriptor in(::open(ToPosixPath(source).c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        return FromErrno(errno);
    }
    const std::string stagedPath = ToPosixPath(staged);
    ::unlink(stagedPath.c_str());  // a left-over may be read-only
    PosixDescriptor out(::open(stagedPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out.get() < 0) {
        return FromErrno(errno);
    }
    std::string buffer(1 << 16, '\0');
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 || !WriteAll(out.get(), buffer.data(), static_cast<std::size_t>(got))) {
            const FsStatus status = FromErrno(errno);
            ::unlink(stagedPath.c_str());
            return status;
        }
        if (got == 0) {
            break;
        }
    }
    if (flush_(out.get()) != 0 || ::close(out.release()) != 0) {
        const FsStatus status = FromErrno(errno);
        ::unlink(stagedPath.c_str());
        return status;
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::MoveStagedOver(const std::string& staged, const std::string& target) {
    if (::rename(ToPosixPath(staged).c_str(), ToPosixPath(target).c_str()) != 0) {
        return FromErrno(errno);
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::ReadPrefix(const std::string& path, std::size_t maxBytes,
                                     std::string& bytes) {
    return ReadAt(path, 0, maxBytes, bytes);
}

FsStatus PosixFileSystem::FileSize(const std::string& path, std::uint64_t& size) {
    struct stat info {};
    if (::stat(ToPosixPath(path).c_str(), &info) != 0) {
        return FromErrno(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return FromErrno(ENOENT);
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::ReadAt(const std::string& path, std::uint64_t offset,
                                 std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    PosixDescriptor fd(::open(ToPosixPath(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return FromErrno(errno);
    }
    return ReadFromDescriptor(fd.get(), offset, maxBytes, bytes);
}

std::unique_ptr<OpenFile> PosixFileSystem::OpenToRead(const std::string& path) {
    return std::make_unique<PosixOpenFile>(path);
}

FsStatus PosixFileSystem::WriteFlushed(const std::string& path, const std::string& bytes) {
    const std::string target = ToPosixPath(path);
    PosixDescriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (out.get() < 0) {
        return FromErrno(errno);
    }
    if (!WriteAll(out.get(), bytes.data(), bytes.size()) || flush_(out.get()) != 0 ||
        ::close(out.release()) != 0) {
        const FsStatus status = FromErrno(errno);
        ::unlink(target.c_str());
        return status;
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::RenameFolder(const std::string& from, const std::string& to) {
    // rename() would replace an empty folder of the new name; Windows refuses, and so do we.
    struct stat info {};
    if (::lstat(ToPosixPath(to).c_str(), &info) == 0) {
        return FromErrno(EEXIST);
    }
    if (::rename(ToPosixPath(from).c_str(), ToPosixPath(to).c_str()) != 0) {
        return FromErrno(errno);
    }
    return FsStatus::Ok();
}

FsStatus PosixFileSystem::RemoveFolder(const std::string& path) {
    if (::rmdir(ToPosixPath(path).c_str()) != 0) {
        return FromErrno(errno);
    }
    return FsStatus::Ok();
}

void PosixFileSystem::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace skyswap
