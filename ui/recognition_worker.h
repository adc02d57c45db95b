// Runs the recognition of the installed sky on a thread of its own, so the window stays
// responsive, and tells the window with a posted message when the result is ready.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "file_system.h"
#include "recognition.h"

namespace skyswap {

class RecognitionWorker {
  public:
    RecognitionWorker() = default;
    ~RecognitionWorker() { Stop(); }
    RecognitionWorker(const RecognitionWorker&) = delete;
    RecognitionWorker& operator=(const RecognitionWorker&) = delete;

    // Starts a run (stopping one under way); posts `message` to `window` when it is done. `fs`
    // must be safe to use from a second thread and outlive the run.
    void Start(HWND window, UINT message, FileSystem& fs, LibrarySnapshot library);
    // Cancels a run under way and waits for it; its result is dropped.
    void Stop();
    // The finished run's result, once; nothing when none is waiting.
    std::optional<Recognition> TakeResult();

  private:
    std::thread thread_;
    std::atomic<bool> cancel_{false};
    std::mutex resultMutex_;
    std::optional<Recognition> result_;
};

}  // namespace skyswap
