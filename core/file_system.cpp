#include "file_system.h"

#include <algorithm>

namespace skyswap {

FsStatus FileSystem::FileSize(const std::string& path, std::uint64_t& size) {
    // Growing prefixes, so a small file costs one read and a large one a few.
    std::string bytes;
    for (std::size_t limit = 64 * 1024;; limit *= 8) {
        const FsStatus status = ReadPrefix(path, limit, bytes);
        if (!status.ok()) {
            return status;
        }
        if (bytes.size() < limit) {
            size = bytes.size();
            return FsStatus::Ok();
        }
    }
}

FsStatus FileSystem::ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                            std::string& bytes) {
    const FsStatus status = ReadPrefix(path, static_cast<std::size_t>(offset) + maxBytes, bytes);
    if (!status.ok()) {
        return status;
    }
    bytes.erase(0, std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(offset)));
    return FsStatus::Ok();
}

}  // namespace skyswap
