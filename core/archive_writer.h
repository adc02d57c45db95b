// A small interface to make an archive (a ZIP file) of a set, so that the core chooses what goes
// into it without knowing the archive library. The archive is made in memory; the core writes its
// bytes through the FileSystem, to a temporary name first.
#pragma once

#include <string>
#include <vector>

namespace skyswap {

struct ArchiveFile {
    std::string name;  // UTF-8, "/" between folders
    std::string bytes;
};

class ArchiveWriter {
  public:
    virtual ~ArchiveWriter() = default;
    // The bytes of an archive holding `files` in order; false with `error` saying why.
    virtual bool Write(const std::vector<ArchiveFile>& files, std::string& archive,
                       std::string& error) = 0;
};

}  // namespace skyswap
