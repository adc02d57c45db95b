// The ZIP reader: minizip (Debian's libminizip natively; the same source cross-built for
// Windows by tools/mingw-minizip), reading the archive's file through the program's FileSystem,
// so Unicode and long paths on Windows and the tests' planted faults apply to it as to any file.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "archive.h"

namespace skyswap {

// Turns an entry name stored without the UTF-8 flag into UTF-8. Such names are in the OEM code
// page of the system that made the archive: Windows' own compressed folders write 437, 850, 866,
// 932 ... as the system is set up.
using ZipNameDecoder = std::function<std::string(const std::string& raw)>;

// Code page 437, the original PC's, which the ZIP format itself names for such names.
std::string Cp437ToUtf8(const std::string& raw);

// The decoder for archives made on this computer's kind of system: on Windows its OEM code page
// (GetOEMCP), elsewhere code page 437.
ZipNameDecoder SystemZipNameDecoder();

std::unique_ptr<ArchiveOpener> MakeZipArchiveOpener(
    ZipNameDecoder decodeName = SystemZipNameDecoder());

}  // namespace skyswap
