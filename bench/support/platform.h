// The few platform operations the fixtures need, and the baselines: the plainest way to do what
// the program does with the same system calls.
#pragma once

#include <cstddef>
#include <string>

namespace skyswap::bench {

// A path as the system calls take it: "/a/b" on POSIX, wide "C:\a\b" on Windows. Baselines get
// it ready-made, so that they time the system and nothing else.
#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif
NativePath ToNative(const std::string& path);

bool MakeFolder(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& bytes);
// Writes out what the fixtures left in the disk cache, so that it is not flushed while a
// benchmark is timed.
void SettleDisk();

// Copies a file with a read and write loop into a target that is created or truncated: no
// temporary name, the copy a simple tool makes. With Flush::Yes the target is flushed to the disk
// before it is closed (fsync, FlushFileBuffers): the least a copy that survives a power cut does.
enum class Flush { No, Yes };
bool PlainCopy(const NativePath& source, const NativePath& target, Flush flush = Flush::No);

// Renames `from` over `to`, replacing it: rename() on POSIX, MoveFileExW with
// MOVEFILE_REPLACE_EXISTING on Windows, as the program's file system does.
bool RenameOver(const NativePath& from, const NativePath& to);

// Creates or truncates a file and writes `bytes` into it with one write call (a loop of them on
// POSIX when the system takes less), flushed to the disk with Flush::Yes.
bool WriteNewFile(const NativePath& path, const std::string& bytes, Flush flush);

// Lists a folder with readdir (POSIX) or FindFirstFileExW/FindNextFileW (Windows), as the
// program's file system does, and returns the number of entries; -1 when it cannot be listed.
long BareListing(const NativePath& folder);

// Opens a file, reads at most maxBytes and closes it.
bool BareRead(const NativePath& path, std::size_t maxBytes, std::string& bytes);

}  // namespace skyswap::bench
