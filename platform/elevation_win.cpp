#include "elevation_win.h"

#include <shellapi.h>

#include <vector>

#include "text_win.h"

namespace skyswap {

unsigned long StartThroughShell(const RestartRequest& request) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // NOASYNC: the call returns only once the program has started (or the prompt was declined).
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = request.owner;
    info.lpVerb = request.verb.c_str();
    info.lpFile = request.file.c_str();
    info.lpParameters = request.parameters.empty() ? nullptr : request.parameters.c_str();
    info.lpDirectory = request.folder.empty() ? nullptr : request.folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : error;
    }
    if (info.hProcess != nullptr) {
        CloseHandle(info.hProcess);
    }
    return ERROR_SUCCESS;
}

bool ProcessIsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

DriveKind WindowsDriveKind(const std::string& root) {
    switch (GetDriveTypeW(Utf8ToWide(root).c_str())) {
        case DRIVE_REMOTE:
            return DriveKind::Remote;
        case DRIVE_UNKNOWN:
        case DRIVE_NO_ROOT_DIR:
            return DriveKind::Unknown;
        default:
            return DriveKind::Local;
    }
}

bool FolderOnNetworkShare(const std::string& folder) {
    return IsOnNetworkShare(folder, WindowsDriveKind);
}

std::wstring ThisProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace skyswap
