#include "recognition_worker.h"

#include <utility>

namespace skyswap {

void RecognitionWorker::Start(HWND window, UINT message, FileSystem& fs, LibrarySnapshot library) {
    Stop();
    cancel_ = false;
    thread_ = std::thread([this, window, message, &fs, library = std::move(library)] {
        Recognition recognition = RecognizeInstalled(fs, library, &cancel_);
        if (!recognition.cancelled) {
            const std::lock_guard<std::mutex> lock(resultMutex_);
            result_ = std::move(recognition);
        }
        // Fails harmlessly when the window is already gone.
        PostMessageW(window, message, 0, 0);
    });
}

void RecognitionWorker::Stop() {
    cancel_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    const std::lock_guard<std::mutex> lock(resultMutex_);
    result_.reset();
}

std::optional<Recognition> RecognitionWorker::TakeResult() {
    const std::lock_guard<std::mutex> lock(resultMutex_);
    return std::exchange(result_, std::nullopt);
}

}  // namespace skyswap
