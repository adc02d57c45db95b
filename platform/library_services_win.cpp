#include "library_services_win.h"

#include <windows.h>
#include <objbase.h>

#include "elevation_win.h"
#include "known_folders_win.h"
#include "picture_scaler_win.h"
#include "set_removal_win.h"
#include "windows_file_system.h"
#include "zip_archive.h"
#include "zip_writer.h"

namespace skyswap {

SessionSystem WindowsSessionSystem() {
    SessionSystem system;
    system.isElevated = ProcessIsElevated;
    system.onNetworkShare = FolderOnNetworkShare;
    system.knownFolders = ThisUsersKnownFolders;
    system.removeShadowCopy = RemoveShadowCopyWithoutLinks;
    system.hasRecycleBin = FolderHasRecycleBin;
    system.removeSetFolder = RemoveFolderThroughShell;
    system.archiveWriter = MakeZipArchiveWriter();
    system.today = [] {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return CalendarDate{now.wYear, now.wMonth, now.wDay};
    };
    return system;
}

// WIC is a COM service; a thread whose COM is already started in another way still has it.
WindowsAddServices::WindowsAddServices(FileSystem& fs)
    : comStarted_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))),
      archives_(MakeZipArchiveOpener()),
      pictures_(MakeWicPictureScaler()),
      services_{fs, *archives_, *pictures_} {}

WindowsAddServices::~WindowsAddServices() {
    pictures_.reset();  // before COM goes
    archives_.reset();
    if (comStarted_) {
        CoUninitialize();
    }
}

}  // namespace skyswap
