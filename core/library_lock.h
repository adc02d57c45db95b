// The lock of a library folder: how it is taken from what Windows answers, what the lock file
// says about the SkySwap that holds it, and what a second start does about that holder. Asking
// Windows (opening the file, finding windows) is the platform's; the rules are portable, so that
// every answer Windows may give can be tried.
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
    uint64_t window = 0;   // the main window's handle; 0 while it is being made
    std::string computer;  // the computer's name; empty in the record of an older SkySwap

    bool operator==(const LockHolder& other) const;
};

std::string EncodeLockHolder(const LockHolder& holder);
// Nothing for a file that is not a whole holder record (being written, foreign or damaged).
std::optional<LockHolder> DecodeLockHolder(std::string_view text);

// What Windows answered to an opening of the lock file.
enum class LockAnswer {
    Opened,
    SharingViolation,  // it is open without sharing what was asked: someone holds the lock
    AccessDenied,      // no right to open it so or, where there is none, to make it
    DeletePending,     // someone is deleting it: no opening until the last handle closes
    NotFound,          // no such file, or no such folder
    Failed,            // anything else
};

// What the lock's name in the folder is, by its own directory entry (no link followed).
enum class LockNameHolds { Nothing, File, Folder, Link };

// What Windows says of the lock file it opened, itself and not what a link names.
struct LockFileFacts {
    bool known = true;          // false when Windows would not say
    bool reparsePoint = false;  // a symbolic link, a junction or another reparse point
    uint32_t links = 1;         // its names: more than one is a hard link to a file elsewhere
    bool insideLibrary = true;  // its final path is the library folder's own lock file
};

// Why a lock file that is there is not taken.
enum class LockRefusal {
    None,
    Link,            // a link: writing to it would write to whatever it names
    HardLinked,      // another name of a file that may lie anywhere on the volume
    OutsideLibrary,  // opened, it is a file outside the library folder
    Folder,          // a folder with something in it holds the name
    CannotOpen,      // Windows refuses it even for reading (the system's reason goes with it)
};

LockRefusal CheckLockFile(const LockFileFacts& facts);

// The questions that taking the lock asks Windows, so that a test may give any answer. At most
// one file is open at a time: the one an Open* call opened.
class LockFileOpener {
  public:
    virtual ~LockFileOpener() = default;
    // Opens the lock file without following a link, or makes it (hidden), for reading and
    // writing, sharing only reading: while it is open nobody else may open it so.
    virtual LockAnswer OpenForWriting() = 0;
    // Opens the lock file that is there, without following a link, for reading only and sharing
    // nothing: held all the same (by one reader at most), where this account may not write to it.
    virtual LockAnswer OpenForReading() = 0;
    virtual LockFileFacts FactsOfOpened() = 0;
    virtual void CloseOpened() = 0;
    virtual LockNameHolds WhatHoldsTheName() = 0;
    // True when the name was an empty folder and is now free.
    virtual bool RemoveEmptyFolder() = 0;
    // A moment's pause while somebody else's deletion of the lock file ends.
    virtual void WaitForDeletion() = 0;
};

enum class LockState {
    Held,            // this process holds the lock, and may write its record
    HeldForReading,  // this process holds the lock, a file it may only read
    InUse,           // someone else holds it
    NoLockFile,      // there is none and none can be made (a protected folder, no folder)
    Refused,         // a lock file is there but is not taken (see LockRefusal)
};

struct LockOutcome {
    LockState state = LockState::NoLockFile;
    LockRefusal refusal = LockRefusal::None;
};

// Takes the lock once, never sleeping but for a deletion that Windows says is under way. A lock
// file is refused before anything is written to it; on Held or HeldForReading the opener keeps
// the file open, on anything else nothing is left open.
LockOutcome TakeLibraryLock(LockFileOpener& opener);

// What a second start makes of the holder.
enum class HolderVerdict {
    Wait,                // nothing to act on yet: the holder's window may still be in the making
    BringToFront,        // the holder's window is in this session and this account's: show it
                         // and hand it what it was given
    AnotherUsersWindow,  // its window is on this desktop, another account's (an elevated
                         // SkySwap of another administrator): show it, hand it nothing
    AnotherComputer,     // the holder runs on another computer (a library on a share)
    AnotherSession,      // in another Windows session
    AnotherUser,         // under another user account, without a window here
    CommandLineRun,      // a command line holds the library while it changes the sky
    NoWindow,            // no window of the holder appeared in time
    LockFileBusy,        // another program (a scanner, a backup) has the lock file open
    Taken,               // the holder ended meanwhile (the lock's state says what followed)
};

// The starting process's own session, account and computer.
struct LockSeeker {
    uint32_t sessionId = 0;
    std::string user;
    std::string computer;
};

// What Windows says of the window that may be the holder's: the one the record names, when it is
// a live window of the record's process, or else one that carries the library folder's identity.
struct HolderWindowFacts {
    bool found = false;
    std::optional<uint32_t> sessionId;  // its process's session; nothing when Windows would not say
    std::string user;                   // its process's account; empty when Windows would not say
};

struct HolderFacts {
    std::optional<LockHolder> record;   // nothing when the lock file holds no whole record
    bool recordProcessRunning = false;  // the record's process runs on this computer
    HolderWindowFacts window;
};

// Whether the record's window handle and process id mean anything here: the record is this
// computer's and this session's.
bool RecordIsOfThisDesktop(const LockHolder& holder, const LockSeeker& seeker);

// Only a window's own process, as Windows names it, counts: a record may be anybody's writing.
// `timeIsUp` says whether the wait for the holder's window is over.
HolderVerdict JudgeHolder(const HolderFacts& facts, const LockSeeker& seeker, bool timeIsUp);

// What the user reads when a second start cannot bring the holder to the front:
// "SkySwap is already open for this library folder (<folder>)." and why it was not shown.
// `holderComputer` is the computer the holder runs on, for AnotherComputer. `fromCommandLine`
// adds that nothing was changed.
std::string AlreadyOpenMessage(const std::string& libraryFolder, HolderVerdict verdict,
                               bool fromCommandLine, const std::string& holderComputer = {});

// Why SkySwap leaves a library alone whose lock file it does not take. `systemReason` is
// Windows' reason for CannotOpen.
std::string LockRefusedMessage(const std::string& libraryFolder, LockRefusal refusal,
                               const std::string& systemReason, bool fromCommandLine);

}  // namespace skyswap
