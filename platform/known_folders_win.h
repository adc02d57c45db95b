// The user's known folders that decide where Windows keeps the game's shadow copies.
#pragma once

#include <string>

#include "virtual_store.h"

namespace skyswap {

// Program Files, Program Files (x86), the Windows folder, ProgramData and the local application
// data of the user running this process, from the known-folder API.
KnownFolders ThisUsersKnownFolders();

// The desktop of the user running this process; empty when Windows names none.
std::string DesktopFolder();
// The user's Documents folder, where an export starts; empty when Windows names none.
std::string DocumentsFolder();

}  // namespace skyswap
