// One SkySwap at a time per library folder, so two of them never transfer into the same folders
// at once. A named mutex keyed by the library folder's full path in any letter case marks the
// library as taken; the window of the SkySwap that holds it carries the same key, so a second
// start can find it and bring it to the front. Two libraries (two game installs) are independent.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace skyswap {

class SingleInstance {
  public:
    explicit SingleInstance(const std::wstring& libraryFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process holds the library.
    bool IsFirst() const { return held_; }
    // Waits up to `milliseconds` for the SkySwap that holds the library to end, as a restarted
    // SkySwap waits for the one that started it. True once this process holds the library.
    bool WaitToBeFirst(DWORD milliseconds);
    // Gives `window` the library's key, by which a later start finds it.
    void MarkWindow(HWND window) const;
    // Brings the window of the SkySwap that holds the library to the front, restored if it is
    // minimised, waiting up to `milliseconds` for it to appear. False when none appeared.
    bool ActivateHolder(DWORD milliseconds) const;

    // The key of a library folder: the same for every spelling of one folder.
    static std::uint64_t KeyOf(const std::wstring& libraryFolder);
    // The window that holds the library, or null.
    static HWND FindHolderWindow(const std::wstring& libraryFolder);

  private:
    bool TryToHold();

    std::uint64_t key_;
    std::wstring mutexName_;
    HANDLE mutex_ = nullptr;
    bool held_ = false;
};

}  // namespace skyswap
