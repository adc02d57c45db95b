// One SkySwap at a time per library folder, so two of them never transfer into the same folders
// at once. The lock is a hidden file in the library folder itself, "skyswap.lock", held by an
// open handle that shares no writing: every spelling of the folder (short name, subst drive,
// mapped drive, junction) and every session, account and computer meet the same file, a crash or
// a power cut releases it, and a file left behind is simply taken by the next start. The file is
// kept (never deleted), so that a scanner that holds it a moment after its holder ends leaves no
// deletion to wait for; it is opened without following links, and one that is a link, a hard
// link or a file outside the folder is refused before anything is written to it. The holder
// writes itself into it (process, session, account, window, computer), so that a second start
// finds its window to bring it to the front, or says why it cannot; a window is trusted only
// when Windows says whose it is. Where the folder refuses the lock file (a protected folder,
// without administrator rights) the lock is held by reading an existing one, and the window also
// carries the folder's file identity, so that a second start in this session still finds it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "library_lock.h"

namespace skyswap {

class SingleInstance {
  public:
    enum class Holder { Window, CommandLine };
    enum class State {
        Held,         // this process holds the library
        InUse,        // another SkySwap (or a program that has the lock file open) holds it
        Unavailable,  // there is no lock file and the folder refuses one (error() says why)
        Refused,      // a lock file is there but is not taken (refusal() and error() say why)
    };

    explicit SingleInstance(const std::wstring& libraryFolder, Holder holder = Holder::Window);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    State state() const { return state_; }
    // The system's error code when the lock file could not be opened.
    DWORD error() const { return error_; }
    LockRefusal refusal() const { return refusal_; }
    // True when this process holds the library.
    bool IsFirst() const { return state_ == State::Held; }
    // Waits up to `milliseconds` for the SkySwap that holds the library to end, as a restarted
    // SkySwap waits for the one that started it. True once this process holds the library.
    bool WaitToBeFirst(DWORD milliseconds);
    // Writes `window` into the lock, and gives it the folder's identity, by which a later start
    // finds it.
    void MarkWindow(HWND window);

    // A second start: waits up to `milliseconds` for the holder's window and brings it (or the
    // message box it shows) to the front, giving it in `shown` for BringToFront. Anything but
    // BringToFront and AnotherUsersWindow leaves the holder alone; Taken when the lock was
    // released meanwhile, and state() then says whether this process holds it.
    HolderVerdict ActivateHolder(DWORD milliseconds, HWND* shown = nullptr);
    // Where the lock is unavailable: brings a window of this session that has the same folder
    // open to the front. False when there is none.
    bool ActivateWindowOfTheSameFolder() const;
    // What a command line makes of the holder, at once.
    HolderVerdict JudgeHolderNow() const;
    // The computer of the holder that the last judgement read, for AlreadyOpenMessage.
    std::string holderComputer() const;

    // The main window of the SkySwap that holds the library in this session under this
    // account, or null (none, a command line, elsewhere, or its window is not made yet).
    static HWND FindHolderWindow(const std::wstring& libraryFolder);

  private:
    bool TryToHold();
    void WriteRecord() const;

    std::wstring folderPath_;
    std::wstring lockPath_;
    std::uintptr_t folderIdentity_ = 0;  // 0 when the folder could not be opened
    LockHolder record_;
    mutable std::optional<LockHolder> lastHolder_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool writable_ = false;
    State state_ = State::Unavailable;
    DWORD error_ = ERROR_SUCCESS;
    LockRefusal refusal_ = LockRefusal::None;
};

}  // namespace skyswap
