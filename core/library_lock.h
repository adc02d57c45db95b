// What the lock file in a library folder says about the SkySwap that holds it, and what a second
// start does about that holder. The lock itself (opening the file, waiting, finding windows) is
// the platform's; this part is portable so that every answer Windows may give can be tried.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace skyswap {

// The lock's name in the library folder. Discovery counts only folders, so it is never a set.
constexpr char kLibraryLockFileName[] = "skyswap.lock";

// The SkySwap that holds a library, as it wrote itself into the lock file.
struct LockHolder {
    uint32_t processId = 0;
    uint32_t sessionId = 0;  // the Windows session (fast user switching, Remote Desktop)
    std::string user;        // the account's SID as text; empty when it could not be read
    bool commandLine = false;
    uint64_t window = 0;  // the main window's handle; 0 while it is being made

    bool operator==(const LockHolder& other) const;
};

std::string EncodeLockHolder(const LockHolder& holder);
// Nothing for a file that is not a whole holder record (being written, foreign or damaged).
std::optional<LockHolder> DecodeLockHolder(std::string_view text);

// What a second start makes of the holder.
enum class HolderVerdict {
    Wait,            // nothing to act on yet: the holder's window may still be in the making
    BringToFront,    // the holder's window is in this session and this user's: show it
    AnotherSession,  // the holder runs in another Windows session
    AnotherUser,     // under another user account
    CommandLineRun,  // a command line holds the library while it changes the sky
    NoWindow,        // no window of the holder appeared in time
    Taken,           // the holder ended meanwhile and this process took the library
};

// The starting process's own session and account.
struct LockSeeker {
    uint32_t sessionId = 0;
    std::string user;
};

// `holder` is the record read from the lock (nothing when it could not be read);
// `windowIsTheHolders` whether its window handle names a live window of its process;
// `timeIsUp` whether the wait for that window is over.
HolderVerdict JudgeHolder(const std::optional<LockHolder>& holder, const LockSeeker& seeker,
                          bool windowIsTheHolders, bool timeIsUp);

// What the user reads when a second start cannot bring the holder to the front:
// "SkySwap is already open for this library folder (<folder>)." and why it was not shown.
// `fromCommandLine` adds that nothing was changed.
std::string AlreadyOpenMessage(const std::string& libraryFolder, HolderVerdict verdict,
                               bool fromCommandLine);

}  // namespace skyswap
