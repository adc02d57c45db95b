// The ZIP reader: minizip (Debian's libminizip natively; the same source cross-built for
// Windows by tools/mingw-minizip), reading the archive's file through the program's FileSystem,
// so Unicode and long paths on Windows and the tests' planted faults apply to it as to any file.
#pragma once

#include <memory>

#include "archive.h"

namespace skyswap {

std::unique_ptr<ArchiveOpener> MakeZipArchiveOpener();

}  // namespace skyswap
