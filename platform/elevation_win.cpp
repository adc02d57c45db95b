#include "elevation_win.h"

#include <shellapi.h>

#include <string_view>
#include <vector>

#include "system_library_win.h"
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

bool IntegrityLevelsKeepProgramsApart() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
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

DriveMapping WindowsDriveMapping(char drive) {
    const wchar_t name[] = {static_cast<wchar_t>(drive), L':', L'\0'};
    const wchar_t root[] = {static_cast<wchar_t>(drive), L':', L'\\', L'\0'};
    if (GetDriveTypeW(root) == DRIVE_REMOTE) {
        std::wstring share(MAX_PATH, L'\0');
        DWORD size = static_cast<DWORD>(share.size());
        DWORD error = system32::WNetGetConnectionW(name, share.data(), &size);
        if (error == ERROR_MORE_DATA) {
            share.resize(size);
            error = system32::WNetGetConnectionW(name, share.data(), &size);
        }
        // A remembered drive not connected now still names its share.
        if (error == NO_ERROR || error == ERROR_CONNECTION_UNAVAIL) {
            share.resize(wcslen(share.c_str()));
            return {DriveMapping::Kind::Network, WideToUtf8(share)};
        }
        // Not a connection of the network provider: a subst drive of a share, below.
    }
    std::wstring device(1024, L'\0');
    DWORD length = 0;
    while ((length = QueryDosDeviceW(name, device.data(), static_cast<DWORD>(device.size()))) ==
               0 &&
           GetLastError() == ERROR_INSUFFICIENT_BUFFER && device.size() < 65536) {
        device.resize(device.size() * 2);
    }
    if (length == 0) {
        return {DriveMapping::Kind::Unknown, {}};
    }
    const std::wstring target = device.c_str();  // the first of the names it lists
    constexpr std::wstring_view kLink = L"\\??\\";
    if (target.compare(0, kLink.size(), kLink) != 0) {
        return {DriveMapping::Kind::Volume, {}};  // "\Device\HarddiskVolume3" and the like
    }
    const std::wstring folder = target.substr(kLink.size());
    constexpr std::wstring_view kUnc = L"UNC\\";
    if (folder.compare(0, kUnc.size(), kUnc) == 0) {
        return {DriveMapping::Kind::Network, "\\\\" + WideToUtf8(folder.substr(kUnc.size()))};
    }
    return {DriveMapping::Kind::Substituted, WideToUtf8(folder)};
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
