#include "add_worker.h"

#include <objbase.h>

#include <memory>
#include <utility>

#include "picture_scaler_win.h"
#include "zip_archive.h"

namespace skyswap {

void AddWorker::Start(HWND window, UINT message, FileSystem& fs, AppState library,
                      std::vector<std::string> paths) {
    Stop();
    cancel_ = false;
    const WPARAM run = ++run_;
    thread_ = std::thread(
        [this, window, message, run, &fs, library = std::move(library), paths = std::move(paths)] {
            // The pictures are scaled through WIC, a COM service, on this thread.
            const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            {
                const std::unique_ptr<ArchiveOpener> archives = MakeZipArchiveOpener();
                const std::unique_ptr<PictureScaler> pictures = MakeWicPictureScaler();
                const AddServices services{fs, *archives, *pictures};
                outcome_ = AddDownloads(library, services, paths, &cancel_);
            }
            if (SUCCEEDED(com)) {
                CoUninitialize();
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
