// Removing a set's folder on Windows: to the Recycle Bin through the shell (IFileOperation, no
// window of its own), or for good; and whether the library's drive has a Recycle Bin at all.
#pragma once

#include <string>

#include "file_system.h"

namespace skyswap {

// A folder on a fixed local drive has a Recycle Bin; one on a network share, a removable drive,
// a CD or a RAM disk has none, and whatever the shell removes there is gone for good.
bool FolderHasRecycleBin(const std::string& folder);

// Removes `folder` with everything in it, to the Recycle Bin when `toRecycleBin`, without any
// question or progress window of the shell's.
FsStatus RemoveFolderThroughShell(const std::string& folder, bool toRecycleBin);

}  // namespace skyswap
