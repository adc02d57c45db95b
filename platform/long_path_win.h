// Paths for the W functions: a long absolute path gets the "\\?\" prefix, which lifts the
// MAX_PATH limit, so a deep library folder works for its pictures as for its transfers.
#pragma once

#include <string>

namespace skyswap {

// The program's UTF-8 path as a wide path for the W functions.
std::wstring WinPath(const std::string& path);

}  // namespace skyswap
