#include "single_instance_win.h"

#include <sddl.h>

#include <optional>
#include <vector>

#include "long_path_win.h"
#include "text_win.h"

namespace skyswap {
namespace {

constexpr DWORD kPollMs = 50;
constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056L);

std::wstring FolderPathOf(const std::wstring& libraryFolder) {
    std::wstring folder = libraryFolder;
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) {
        folder.pop_back();
    }
    return folder;
}

std::wstring LockPathOf(const std::wstring& libraryFolder) {
    return WinPath(WideToUtf8(FolderPathOf(libraryFolder)) + "\\" + kLibraryLockFileName);
}

// The account of a process's token as a SID string; empty when Windows will not say, as for
// an elevated process of another account.
std::string AccountOfProcess(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) {
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

std::string AccountOfProcess(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) {
        return {};
    }
    std::string account = AccountOfProcess(process);
    CloseHandle(process);
    return account;
}

DWORD ThisSession() {
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

std::string ThisComputer() {
    wchar_t name[256]{};
    DWORD size = 256;
    if (GetComputerNameExW(ComputerNameDnsHostname, name, &size) && size > 0) {
        return WideToUtf8(std::wstring(name, size));
    }
    size = 256;
    return GetComputerNameW(name, &size) ? WideToUtf8(std::wstring(name, size)) : std::string();
}

LockSeeker ThisSeeker() {
    return {ThisSession(), AccountOfProcess(GetCurrentProcess()), ThisComputer()};
}

// The name Windows gives an open file or folder at last, links resolved; empty when unknown.
std::wstring FinalPathOf(HANDLE file) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(
            file, buffer.data(), static_cast<DWORD>(buffer.size()), FILE_NAME_NORMALIZED);
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
    return {};
}

std::wstring FinalPathOfFolder(const std::wstring& folder) {
    HANDLE handle = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::wstring path = FinalPathOf(handle);
    CloseHandle(handle);
    return path;
}

LONG LastNtStatus() {
    using Function = LONG(WINAPI*)();
    static const auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetLastNtStatus")));
    return function != nullptr ? function() : 0;
}

// Opening the lock file for TakeLibraryLock, never through a link.
class WindowsLockOpener : public LockFileOpener {
  public:
    WindowsLockOpener(const std::wstring& lockPath, const std::wstring& folderPath)
        : lockPath_(lockPath), folderPath_(folderPath) {}
    ~WindowsLockOpener() override { CloseOpened(); }

    LockAnswer OpenForWriting() override {
        return Open(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN);
    }
    LockAnswer OpenForReading() override { return Open(GENERIC_READ, 0, OPEN_EXISTING, 0); }

    LockFileFacts FactsOfOpened() override {
        LockFileFacts facts;
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(file_, &info)) {
            error_ = GetLastError();
            facts.known = false;
            return facts;
        }
        facts.reparsePoint = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        facts.links = info.nNumberOfLinks;
        // Where either final name is unknown (some network file systems give none), the link
        // checks above are what stands.
        const std::wstring lock = FinalPathOf(file_);
        const std::wstring folder = FinalPathOfFolder(folderPath_);
        if (!lock.empty() && !folder.empty()) {
            const std::wstring expected = folder + L"\\" + Utf8ToWide(kLibraryLockFileName);
            facts.insideLibrary =
                CompareStringOrdinal(lock.c_str(), static_cast<int>(lock.size()), expected.c_str(),
                                     static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
        }
        return facts;
    }

    void CloseOpened() override {
        if (file_ != INVALID_HANDLE_VALUE) {
            CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
    }

    LockNameHolds WhatHoldsTheName() override {
        const DWORD attributes = GetFileAttributesW(lockPath_.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            // A file being deleted, for one, cannot be looked at: something is there.
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? LockNameHolds::Nothing
                       : LockNameHolds::File;
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            return LockNameHolds::Link;
        }
        return attributes & FILE_ATTRIBUTE_DIRECTORY ? LockNameHolds::Folder : LockNameHolds::File;
    }

    bool RemoveEmptyFolder() override { return RemoveDirectoryW(lockPath_.c_str()) != FALSE; }

    void WaitForDeletion() override { Sleep(kPollMs); }

    // The open lock file, which the caller closes from now on.
    HANDLE Release() {
        const HANDLE file = file_;
        file_ = INVALID_HANDLE_VALUE;
        return file;
    }
    DWORD error() const { return error_; }

  private:
    LockAnswer Open(DWORD access, DWORD sharing, DWORD disposition, DWORD attributes) {
        CloseOpened();
        file_ = CreateFileW(lockPath_.c_str(), access, sharing, nullptr, disposition,
                            attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file_ != INVALID_HANDLE_VALUE) {
            error_ = ERROR_SUCCESS;
            return LockAnswer::Opened;
        }
        error_ = GetLastError();
        switch (error_) {
            case ERROR_SHARING_VIOLATION:
                return LockAnswer::SharingViolation;
            case ERROR_ACCESS_DENIED:
                return LastNtStatus() == kStatusDeletePending ? LockAnswer::DeletePending
                                                              : LockAnswer::AccessDenied;
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
                return LockAnswer::NotFound;
            default:
                return LockAnswer::Failed;
        }
    }

    std::wstring lockPath_;
    std::wstring folderPath_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    DWORD error_ = ERROR_SUCCESS;
};

// The holder's record, read while it holds the file open (it shares reading).
std::optional<LockHolder> ReadRecord(const std::wstring& lockPath) {
    HANDLE file = CreateFileW(lockPath.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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

// A window of this desktop that carries the folder's identity, or null.
HWND WindowOfTheFolder(std::uintptr_t identity) {
    struct Search {
        std::uintptr_t identity;
        HWND found;
    } search{identity, nullptr};
    if (identity != 0) {
        EnumWindows(
            [](HWND window, LPARAM lParam) -> BOOL {
                auto* s = reinterpret_cast<Search*>(lParam);
                const auto carried =
                    reinterpret_cast<std::uintptr_t>(GetPropW(window, kFolderIdentityProperty));
                if (carried == s->identity) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

// The record's window when it is still a window of the record's process on this desktop.
HWND RecordsWindow(const std::optional<LockHolder>& holder, const LockSeeker& seeker) {
    // A handle from another session's desktop, or another computer, may name an unrelated
    // window here.
    if (!holder || holder->window == 0 || !RecordIsOfThisDesktop(*holder, seeker)) {
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

// Whose the window is, as Windows says it of the window's own process.
HolderWindowFacts FactsOfWindow(HWND window) {
    HolderWindowFacts facts;
    DWORD processId = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0) {
        return facts;
    }
    facts.found = true;
    DWORD session = 0;
    if (ProcessIdToSessionId(processId, &session)) {
        facts.sessionId = session;
    }
    facts.user = AccountOfProcess(processId);
    return facts;
}

HolderVerdict Judge(const std::wstring& lockPath, std::uintptr_t identity, const LockSeeker& seeker,
                    bool timeIsUp, HWND* window, std::optional<LockHolder>* record) {
    HolderFacts facts;
    facts.record = ReadRecord(lockPath);
    facts.recordProcessRunning = facts.record && ProcessIsRunning(facts.record->processId);
    // A holder that may only read the lock file writes no record: its window carries the
    // folder's identity instead.
    *window = RecordsWindow(facts.record, seeker);
    if (*window == nullptr) {
        *window = WindowOfTheFolder(identity);
    }
    facts.window = FactsOfWindow(*window);
    *record = facts.record;
    return JudgeHolder(facts, seeker, timeIsUp);
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
    : folderPath_(WinPath(WideToUtf8(FolderPathOf(libraryFolder)))),
      lockPath_(LockPathOf(libraryFolder)),
      folderIdentity_(FolderIdentity(libraryFolder)) {
    record_.processId = GetCurrentProcessId();
    record_.sessionId = ThisSession();
    record_.user = AccountOfProcess(GetCurrentProcess());
    record_.computer = ThisComputer();
    record_.commandLine = holder == Holder::CommandLine;
    TryToHold();
}

SingleInstance::~SingleInstance() {
    if (file_ != INVALID_HANDLE_VALUE) {
        // The file stays for the next holder; the record of one that has ended goes.
        if (writable_) {
            SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
            SetEndOfFile(file_);
        }
        CloseHandle(file_);
    }
}

bool SingleInstance::TryToHold() {
    if (state_ == State::Held) {
        return true;
    }
    WindowsLockOpener opener(lockPath_, folderPath_);
    const LockOutcome outcome = TakeLibraryLock(opener);
    error_ = opener.error();
    refusal_ = outcome.refusal;
    switch (outcome.state) {
        case LockState::Held:
        case LockState::HeldForReading:
            file_ = opener.Release();
            writable_ = outcome.state == LockState::Held;
            state_ = State::Held;
            WriteRecord();
            return true;
        case LockState::InUse:
            state_ = State::InUse;
            break;
        case LockState::NoLockFile:
            state_ = State::Unavailable;
            break;
        case LockState::Refused:
            state_ = State::Refused;
            break;
    }
    return false;
}

void SingleInstance::WriteRecord() const {
    if (!writable_) {
        return;
    }
    // A record that cannot be written leaves the lock held; a second start then finds the
    // window by the folder's identity.
    const std::string text = EncodeLockHolder(record_);
    DWORD written = 0;
    SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
    WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    SetEndOfFile(file_);
}

bool SingleInstance::WaitToBeFirst(DWORD milliseconds) {
    for (DWORD waited = 0; !TryToHold() && state_ == State::InUse && waited < milliseconds;
         waited += kPollMs) {
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

HolderVerdict SingleInstance::ActivateHolder(DWORD milliseconds, HWND* shown) {
    const LockSeeker seeker = ThisSeeker();
    for (DWORD waited = 0;; waited += kPollMs) {
        if (TryToHold() || state_ != State::InUse) {
            return HolderVerdict::Taken;
        }
        HWND window = nullptr;
        const HolderVerdict verdict = Judge(lockPath_, folderIdentity_, seeker,
                                            waited >= milliseconds, &window, &lastHolder_);
        if (verdict == HolderVerdict::BringToFront ||
            verdict == HolderVerdict::AnotherUsersWindow) {
            BringToFront(window);
        }
        if (verdict == HolderVerdict::BringToFront && shown != nullptr) {
            *shown = window;
        }
        if (verdict != HolderVerdict::Wait) {
            return verdict;
        }
        Sleep(kPollMs);
    }
}

bool SingleInstance::ActivateWindowOfTheSameFolder() const {
    const HWND window = WindowOfTheFolder(folderIdentity_);
    if (window == nullptr) {
        return false;
    }
    BringToFront(window);
    return true;
}

HolderVerdict SingleInstance::JudgeHolderNow() const {
    HWND window = nullptr;
    return Judge(lockPath_, folderIdentity_, ThisSeeker(), false, &window, &lastHolder_);
}

std::string SingleInstance::holderComputer() const {
    return lastHolder_ ? lastHolder_->computer : std::string();
}

HWND SingleInstance::FindHolderWindow(const std::wstring& libraryFolder) {
    HWND window = nullptr;
    std::optional<LockHolder> record;
    const HolderVerdict verdict = Judge(LockPathOf(libraryFolder), FolderIdentity(libraryFolder),
                                        ThisSeeker(), false, &window, &record);
    return verdict == HolderVerdict::BringToFront ? window : nullptr;
}

}  // namespace skyswap
