#include "add_worker.h"

#include <objbase.h>

#include <utility>

#include "library_services_win.h"

namespace skyswap {

void AddWorker::Start(HWND window, UINT message, FileSystem& fs, AppState library,
                      std::vector<std::string> paths) {
    Stop();
    cancel_ = false;
    done_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE done = done_.get();
    const WPARAM run = ++run_;
    thread_ = std::thread(
        [this, window, message, run, done, &fs, library = std::move(library),
         paths = std::move(paths)] {
            {
                const WindowsAddServices adding(fs);
                outcome_ = AddDownloads(library, adding.services(), paths, &cancel_);
            }
            if (done != nullptr) {
                SetEvent(done);
            }
            // Fails harmlessly when the window is already gone.
            PostMessageW(window, message, run, 0);
        });
}

std::optional<AddOutcome> AddWorker::Finish() {
    if (!thread_.joinable()) {
        return std::nullopt;
    }
    // The window's thread is a single-threaded apartment: while it waits, COM's calls into it
    // are still dispatched, so a codec that calls back across apartments cannot hang both.
    if (done_) {
        DWORD signalled = 0;
        HANDLE handles[] = {done_.get()};
        if (FAILED(CoWaitForMultipleHandles(0, INFINITE, 1, handles, &signalled))) {
            WaitForSingleObject(done_.get(), INFINITE);
        }
    }
    thread_.join();
    return std::exchange(outcome_, AddOutcome{});
}

void AddWorker::Stop() {
    cancel_ = true;
    Finish();
}

}  // namespace skyswap
