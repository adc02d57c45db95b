#include "single_instance_win.h"

#include <sddl.h>

#include <optional>

#include "long_path_win.h"
#include "text_win.h"

namespace skyswap {
namespace {

constexpr DWORD kPollMs = 50;
// A lock whose last holder has just closed it stays "delete pending" while a second start still
// reads it; opening it then fails with "access denied" for a moment.
constexpr int kDeletePendingTries = 5;

std::wstring LockPathOf(const std::wstring& libraryFolder) {
    std::wstring folder = libraryFolder;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back();
    }
    return WinPath(WideToUtf8(folder) + "\\" + kLibraryLockFileName);
}

std::string ThisAccount() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    std::string sid;
    alignas(TOKEN_USER) BYTE buffer[256];
    DWORD size = 0;
    LPWSTR text = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        sid = WideToUtf8(text);
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

DWORD ThisSession() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

LockSeeker ThisSeeker() {
    return {ThisSession(), ThisAccount()};
}

// The holder's record, read while it holds the file open (it shares reading).
std::optional<LockHolder> ReadRecord(const std::wstring& lockPath) {
    HANDLE file = CreateFileW(lockPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    char buffer[1025];
    DWORD read = 0;
    const bool ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != FALSE;
    CloseHandle(file);
    return ok ? DecodeLockHolder(std::string_view(buffer, read)) : std::nullopt;
}

bool ProcessIsRunning(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        // Another account's process may not be looked at; one that has ended is not found.
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    DWORD exitCode = 0;
    const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

// The record's window when it is still a window of the holder's process.
HWND HoldersWindow(const std::optional<LockHolder>& holder) {
    if (!holder || holder->window == 0) {
        return nullptr;
    }
    HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(holder->window));
    DWORD owner = 0;
    if (!IsWindow(window) || GetWindowThreadProcessId(window, &owner) == 0 ||
        owner != holder->processId) {
        return nullptr;
    }
    return window;
}

HolderVerdict Judge(const std::wstring& lockPath, const LockSeeker& seeker, bool timeIsUp,
                    HWND* window) {
    const std::optional<LockHolder> holder = ReadRecord(lockPath);
    // A handle of another session's desktop may name an unrelated window of this one: the
    // session is judged before the window is looked at.
    const bool sameDesktop = holder && holder->sessionId == seeker.sessionId;
    *window = sameDesktop ? HoldersWindow(holder) : nullptr;
    return JudgeHolder(holder, seeker, *window != nullptr, timeIsUp);
}

constexpr wchar_t kFolderIdentityProperty[] = L"SkySwap.LibraryFolder";

// The folder's volume and file number, the same through every spelling; 0 when unknown.
std::uintptr_t FolderIdentity(const std::wstring& libraryFolder) {
    HANDLE folder = CreateFileW(WinPath(WideToUtf8(libraryFolder)).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return 0;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = GetFileInformationByHandle(folder, &info) != FALSE;
    CloseHandle(folder);
    if (!known) {
        return 0;
    }
    // FNV-1a over the three numbers; never 0, which marks a window without one.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const DWORD part : {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow}) {
        hash = (hash ^ part) * 1099511628211ULL;
    }
    const auto identity = static_cast<std::uintptr_t>(hash);
    return identity == 0 ? 1 : identity;
}

void BringToFront(HWND holder) {
    if (IsIconic(holder)) {
        ShowWindowAsync(holder, SW_RESTORE);
    }
    // A message box the holder shows comes up, not its disabled owner.
    HWND shown = GetLastActivePopup(holder);
    if (!SetForegroundWindow(shown != nullptr ? shown : holder)) {
        // Windows refuses the foreground to a process the user is not working in: the
        // taskbar button flashes instead.
        FLASHWINFO flash{sizeof(flash), holder, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
        FlashWindowEx(&flash);
    }
}

}  // namespace

SingleInstance::SingleInstance(const std::wstring& libraryFolder, Holder holder)
    : lockPath_(LockPathOf(libraryFolder)), folderIdentity_(FolderIdentity(libraryFolder)) {
    record_.processId = GetCurrentProcessId();
    record_.sessionId = ThisSession();
    record_.user = ThisAccount();
    record_.commandLine = holder == Holder::CommandLine;
    TryToHold();
}

SingleInstance::~SingleInstance() {
    if (file_ != INVALID_HANDLE_VALUE) {
        CloseHandle(file_);
    }
}

bool SingleInstance::TryToHold() {
    if (state_ == State::Held) {
        return true;
    }
    for (int attempt = 0;; ++attempt) {
        // Reading stays shared, for the record; writing and deleting do not, which is the lock.
        file_ = CreateFileW(lockPath_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                            FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file_ != INVALID_HANDLE_VALUE) {
            state_ = State::Held;
            error_ = ERROR_SUCCESS;
            WriteRecord();
            return true;
        }
        error_ = GetLastError();
        if (error_ == ERROR_SHARING_VIOLATION) {
            state_ = State::InUse;
            return false;
        }
        if (error_ != ERROR_ACCESS_DENIED || attempt == kDeletePendingTries) {
            break;
        }
        // A stale lock that a crash or a copy left read-only, or an empty folder of that name,
        // is taken over; a lock being deleted is waited for.
        const DWORD attributes = GetFileAttributesW(lockPath_.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            RemoveDirectoryW(lockPath_.c_str());
        } else if (attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_READONLY)) {
            SetFileAttributesW(lockPath_.c_str(), FILE_ATTRIBUTE_HIDDEN);
        } else {
            Sleep(kPollMs);
        }
    }
    // A lock that this account may not open for writing, but may read, as under Program Files
    // where an elevated SkySwap made it: its live holder has the library.
    const std::optional<LockHolder> holder =
        error_ == ERROR_ACCESS_DENIED ? ReadRecord(lockPath_) : std::nullopt;
    state_ = holder && ProcessIsRunning(holder->processId) ? State::InUse : State::Unavailable;
    return false;
}

void SingleInstance::WriteRecord() const {
    const std::string text = EncodeLockHolder(record_);
    DWORD written = 0;
    SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
    WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    SetEndOfFile(file_);
}

bool SingleInstance::WaitToBeFirst(DWORD milliseconds) {
    for (DWORD waited = 0; !TryToHold() && waited < milliseconds; waited += kPollMs) {
        Sleep(kPollMs);
    }
    return IsFirst();
}

void SingleInstance::MarkWindow(HWND window) {
    // The system drops the property with the window.
    SetPropW(window, kFolderIdentityProperty, reinterpret_cast<HANDLE>(folderIdentity_));
    record_.window = reinterpret_cast<std::uintptr_t>(window);
    if (IsFirst()) {
        WriteRecord();
    }
}

HolderVerdict SingleInstance::ActivateHolder(DWORD milliseconds) {
    const LockSeeker seeker = ThisSeeker();
    for (DWORD waited = 0;; waited += kPollMs) {
        if (TryToHold()) {
            return HolderVerdict::Taken;
        }
        HWND window = nullptr;
        const HolderVerdict verdict = Judge(lockPath_, seeker, waited >= milliseconds, &window);
        if (verdict == HolderVerdict::BringToFront) {
            BringToFront(window);
        }
        if (verdict != HolderVerdict::Wait) {
            return verdict;
        }
        Sleep(kPollMs);
    }
}

bool SingleInstance::ActivateWindowOfTheSameFolder() const {
    struct Search {
        std::uintptr_t identity;
        HWND found;
    } search{folderIdentity_, nullptr};
    if (folderIdentity_ != 0) {
        EnumWindows(
            [](HWND window, LPARAM lParam) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lParam);
                const auto identity =
                    reinterpret_cast<std::uintptr_t>(GetPropW(window, kFolderIdentityProperty));
                if (identity == s->identity) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
    }
    if (search.found == nullptr) {
        return false;
    }
    BringToFront(search.found);
    return true;
}

HolderVerdict SingleInstance::JudgeHolderNow() const {
    HWND window = nullptr;
    return Judge(lockPath_, ThisSeeker(), false, &window);
}

HWND SingleInstance::FindHolderWindow(const std::wstring& libraryFolder) {
    HWND window = nullptr;
    const HolderVerdict verdict = Judge(LockPathOf(libraryFolder), ThisSeeker(), false, &window);
    return verdict == HolderVerdict::BringToFront ? window : nullptr;
}

}  // namespace skyswap
