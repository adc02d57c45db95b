#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform.h"
#include "posix_file_system.h"

namespace skyswap::bench {

NativePath ToNative(const std::string& path) {
    return ToPosixPath(path);
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(ToPosixPath(path).c_str(), 0777) == 0 || errno == EEXIST;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    PosixDescriptor out(
        ::open(ToPosixPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    return out.get() >= 0 && WriteAll(out.get(), bytes.data(), bytes.size());
}

void SettleDisk() {
    ::sync();
}

bool WriteNewFile(const NativePath& path, const std::string& bytes, Flush flush) {
    PosixDescriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    return out.get() >= 0 && WriteAll(out.get(), bytes.data(), bytes.size()) &&
           (flush == Flush::No || ::fsync(out.get()) == 0);
}

bool PlainCopy(const NativePath& source, const NativePath& target, Flush flush) {
    PosixDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    PosixDescriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (in.get() < 0 || out.get() < 0) {
        return false;
    }
    // The same buffer size as the program's copy.
    static char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return flush == Flush::No || ::fsync(out.get()) == 0;
        }
        if (!WriteAll(out.get(), buffer, static_cast<std::size_t>(got))) {
            return false;
        }
    }
}

bool RenameOver(const NativePath& from, const NativePath& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

long BareListing(const NativePath& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return -1;
    }
    long count = 0;
    while (::readdir(dir) != nullptr) {
        ++count;
    }
    ::closedir(dir);
    return count;
}

bool BareRead(const NativePath& path, std::size_t maxBytes, std::string& bytes) {
    PosixDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        return false;
    }
    bytes.resize(maxBytes);
    const ssize_t got = ::read(in.get(), bytes.data(), maxBytes);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return got >= 0;
}

}  // namespace skyswap::bench
