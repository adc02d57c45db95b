// Adds downloads to the library on a thread of its own, so the window stays responsive while a
// large ZIP is read, and tells the window with a posted message when the outcome is ready.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "add_sets.h"
#include "file_system.h"
#include "win_handles.h"

namespace skyswap {

class AddWorker {
  public:
    AddWorker() = default;
    ~AddWorker() { Stop(); }
    AddWorker(const AddWorker&) = delete;
    AddWorker& operator=(const AddWorker&) = delete;

    // Adds `paths` to the library that `library` describes (the run has its own copy), then
    // posts `message` to `window` with the run's number as wParam. `fs` must be safe to use
    // from a second thread and outlive the run. A run under way must be finished first.
    void Start(HWND window, UINT message, FileSystem& fs, AppState library,
               std::vector<std::string> paths);
    // True from Start until Finish has given the run's outcome.
    bool Running() const { return thread_.joinable(); }
    // True when `run` (a posted wParam) is the run under way, not one already finished.
    bool IsCurrent(WPARAM run) const { return Running() && run == run_; }
    // Waits for the run under way and gives its outcome; nothing when none is under way.
    std::optional<AddOutcome> Finish();
    // Stops a run under way between two paths and waits for it; its outcome is dropped, the sets
    // it completed stay in the library and are found by the next start.
    void Stop();

  private:
    std::thread thread_;
    UniqueHandle done_;  // set by the thread when its outcome is written
    std::atomic<bool> cancel_{false};
    AddOutcome outcome_;  // written by the thread, read after joining it
    WPARAM run_ = 0;
};

}  // namespace skyswap
