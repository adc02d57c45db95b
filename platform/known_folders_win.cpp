#include "known_folders_win.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "text_win.h"

namespace skyswap {
namespace {

std::string KnownFolder(REFKNOWNFOLDERID id, DWORD flags = KF_FLAG_DONT_VERIFY) {
    PWSTR path = nullptr;
    std::string found;
    if (SUCCEEDED(SHGetKnownFolderPath(id, flags, nullptr, &path))) {
        found = WideToUtf8(path);
    }
    CoTaskMemFree(path);  // also when the call failed
    return found;
}

}  // namespace

KnownFolders ThisUsersKnownFolders() {
    KnownFolders known;
    known.programFiles = KnownFolder(FOLDERID_ProgramFiles);
    known.programFilesX86 = KnownFolder(FOLDERID_ProgramFilesX86);
    known.windows = KnownFolder(FOLDERID_Windows);
    known.programData = KnownFolder(FOLDERID_ProgramData);
    known.localAppData = KnownFolder(FOLDERID_LocalAppData);
    return known;
}

std::string DesktopFolder() {
    return KnownFolder(FOLDERID_Desktop, 0);
}

std::string DocumentsFolder() {
    return KnownFolder(FOLDERID_Documents, 0);
}

}  // namespace skyswap
