// The ZIP writer: minizip's zip.h (as the reader, Debian's libminizip natively and the same
// source cross-built for Windows), writing the archive into memory. Names are stored as UTF-8
// with the flag that says so; every file is deflated.
#pragma once

#include <memory>

#include "archive_writer.h"

namespace skyswap {

std::unique_ptr<ArchiveWriter> MakeZipArchiveWriter();

}  // namespace skyswap
