// What a library session needs of Windows, set up the same way for the window and the command
// line: the system's answers (rights, network shares, known folders, the date), and the services
// that adding downloads reads them with (COM, the ZIP reader, the WIC thumbnail maker).
#pragma once

#include <memory>

#include "add_sets.h"
#include "archive.h"
#include "file_system.h"
#include "library_session.h"
#include "picture_scaler.h"

namespace skyswap {

// Windows' own answers for a library session.
SessionSystem WindowsSessionSystem();

// COM, the ZIP reader and the picture scaler for adding downloads, on the thread that makes the
// object and for its lifetime.
class WindowsAddServices {
  public:
    explicit WindowsAddServices(FileSystem& fs);
    ~WindowsAddServices();
    WindowsAddServices(const WindowsAddServices&) = delete;
    WindowsAddServices& operator=(const WindowsAddServices&) = delete;

    const AddServices& services() const { return services_; }

  private:
    bool comStarted_;
    std::unique_ptr<ArchiveOpener> archives_;
    std::unique_ptr<PictureScaler> pictures_;
    AddServices services_;
};

}  // namespace skyswap
