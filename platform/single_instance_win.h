// One SkySwap at a time per library folder, so two of them never transfer into the same folders
// at once. The lock is a hidden file in the library folder itself, "skyswap.lock", opened with
// no write or delete sharing and deleted when closed: every spelling of the folder (short
// name, subst drive, mapped drive, junction) and every session and account meet the same file,
// a crash closes it, and only who may write to the library can take it. The holder writes
// itself into it (process, session, account, window), so that a second start finds its window
// to bring it to the front, or says why it cannot. Where the folder refuses the lock file (a
// protected folder, without administrator rights), the window also carries the folder's file
// identity, so that a second start in this session still finds it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "library_lock.h"

namespace skyswap {

class SingleInstance {
  public:
    enum class Holder { Window, CommandLine };
    enum class State {
        Held,         // this process holds the library
        InUse,        // another SkySwap holds it
        Unavailable,  // the folder refuses the lock file itself (error() says why)
    };

    explicit SingleInstance(const std::wstring& libraryFolder, Holder holder = Holder::Window);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    State state() const { return state_; }
    // The system's error code when the lock file could not be opened.
    DWORD error() const { return error_; }
    // True when this process holds the library.
    bool IsFirst() const { return state_ == State::Held; }
    // Waits up to `milliseconds` for the SkySwap that holds the library to end, as a restarted
    // SkySwap waits for the one that started it. True once this process holds the library.
    bool WaitToBeFirst(DWORD milliseconds);
    // Writes `window` into the lock, and gives it the folder's identity, by which a later start
    // finds it.
    void MarkWindow(HWND window);

    // A second start: waits up to `milliseconds` for the holder's window and brings it (or the
    // message box it shows) to the front. Anything but BringToFront leaves the holder alone;
    // Taken when the holder ended meanwhile and this process holds the library now.
    HolderVerdict ActivateHolder(DWORD milliseconds);
    // Where the lock is unavailable: brings a window of this session that has the same folder
    // open to the front. False when there is none.
    bool ActivateWindowOfTheSameFolder() const;
    // What a command line makes of the holder, at once.
    HolderVerdict JudgeHolderNow() const;

    // The main window of the SkySwap that holds the library in this session under this
    // account, or null (none, a command line, elsewhere, or its window is not made yet).
    static HWND FindHolderWindow(const std::wstring& libraryFolder);

  private:
    bool TryToHold();
    void WriteRecord() const;

    std::wstring lockPath_;
    std::uintptr_t folderIdentity_ = 0;  // 0 when the folder could not be opened
    LockHolder record_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    State state_ = State::Unavailable;
    DWORD error_ = ERROR_SUCCESS;
};

}  // namespace skyswap
