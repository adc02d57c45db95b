#include "add_worker.h"

#include <utility>

#include "library_services_win.h"

namespace skyswap {

void AddWorker::Start(HWND window, UINT message, FileSystem& fs, AppState library,
                      std::vector<std::string> paths) {
    Stop();
    cancel_ = false;
    const WPARAM run = ++run_;
    thread_ = std::thread(
        [this, window, message, run, &fs, library = std::move(library), paths = std::move(paths)] {
            {
                const WindowsAddServices adding(fs);
                outcome_ = AddDownloads(library, adding.services(), paths, &cancel_);
            }
            // Fails harmlessly when the window is already gone.
            PostMessageW(window, message, run, 0);
        });
}

std::optional<AddOutcome> AddWorker::Finish() {
    if (!thread_.joinable()) {
        return std::nullopt;
    }
    thread_.join();
    return std::exchange(outcome_, AddOutcome{});
}

void AddWorker::Stop() {
    cancel_ = true;
    Finish();
}

}  // namespace skyswap
