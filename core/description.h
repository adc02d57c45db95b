// The one-line description of a sky set: the first field of its text file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "file_system.h"

namespace skyswap {

// At most this much of a description file is read.
constexpr std::size_t kDescriptionReadLimit = 4096;

// The first field of a text, as UTF-8 without control characters. Leading spaces are skipped; a
// field that opens with a double quote runs to the next double quote, commas included; otherwise
// it ends at the first comma or at the end of the first line. The bytes may be UTF-8 (with or
// without a byte-order mark), UTF-16 with a byte-order mark, or else Windows-1252. Binary data
// (a NUL byte) gives an empty text. Only the first kDescriptionReadLimit bytes count; a text that
// long is taken for a file cut there, so a character split by the cut is dropped.
std::string FirstField(std::string_view bytes);

// Reads the first field of a description file; empty for a missing, unreadable or binary file.
std::string ReadDescription(FileSystem& fs, const std::string& path);

// A description as it may be written: one line of UTF-8 (line breaks and tabs become spaces,
// other control characters go, a double quote becomes a single quote, as the field is written
// between double quotes), without spaces around it. Empty when nothing is left.
std::string CleanDescription(std::string_view text);

// The whole of a description file `bytes` (in any encoding FirstField reads) with its first
// field replaced by the double-quoted `field` and every later field and line kept, as UTF-8 with
// a byte-order mark. An empty `bytes` gives the field and a line end.
std::string WithFirstField(std::string_view bytes, const std::string& field);

}  // namespace skyswap
