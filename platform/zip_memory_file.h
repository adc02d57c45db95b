// An archive that minizip's writer builds in memory: a string that grows as it is written, with a
// position that minizip moves back to fill in each entry's header.
#pragma once

#include <minizip/ioapi.h>

#include <cstdint>
#include <string>

namespace skyswap {

struct ZipMemoryFile {
    std::string bytes;
    std::uint64_t position = 0;

    // The file functions for zipOpen2_64 that write into this object.
    zlib_filefunc64_def Functions();
};

}  // namespace skyswap
