#include "game_start_win.h"

#include <windows.h>

#include "text_win.h"

namespace skyswap {

FsStatus StartDetached(const std::string& program, const std::string& folder) {
    const std::wstring path = Utf8ToWide(program);
    const std::wstring where = Utf8ToWide(folder);
    std::wstring line = L"\"" + path + L"\"";
    // No handle is inherited, and the standard handles are none: a shell that reads SkySwap's
    // output through a pipe must not wait for the game to end.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                        nullptr, where.empty() ? nullptr : where.c_str(), &startup, &process)) {
        const DWORD error = GetLastError();
        return {error == ERROR_ACCESS_DENIED ? FsError::AccessDenied : FsError::Other,
                SystemMessage(error)};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return FsStatus::Ok();
}

}  // namespace skyswap
