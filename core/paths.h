// Names and paths as the library spells them: set folders, and Windows paths joined and taken
// apart at the backslash.
#pragma once

#include <cstdint>
#include <string>

namespace skyswap {

// "ZT7" for set 7.
std::string SetFolderName(int32_t n);

// folder + "\" + name; `name` alone when `folder` is empty (a path relative to a download's top).
std::string JoinPath(const std::string& folder, const std::string& name);
// The part after the last backslash: "ZT7" for "C:\EAW\Library\ZT7"; the whole of a bare name.
std::string LastName(const std::string& path);
// The part before the last backslash: "C:\EAW\Library" for "C:\EAW\Library\ZT7"; empty for a
// bare name, which names no folder above it.
std::string ParentOf(const std::string& path);

}  // namespace skyswap
