#include "single_instance_win.h"

#include <cwchar>

namespace skyswap {
namespace {

constexpr wchar_t kWindowKeyProperty[] = L"SkySwap.LibraryKey";
constexpr DWORD kPollMs = 50;

// The folder's full path in upper case, without a trailing separator (except for a root).
std::wstring Canonical(const std::wstring& folder) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD length =
        GetFullPathNameW(folder.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length =
            GetFullPathNameW(folder.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    full.resize(length > 0 && length < full.size() ? length : 0);
    if (full.empty()) {
        full = folder;
    }
    if (full.rfind(L"\\\\?\\", 0) == 0) {
        full.erase(0, 4);
    }
    while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) {
        full.pop_back();
    }
    // The file system compares names by its upper-case table, which the invariant mapping follows.
    std::wstring upper(full.size(), L'\0');
    if (!full.empty() &&
        LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, full.c_str(),
                      static_cast<int>(full.size()), upper.data(), static_cast<int>(upper.size()),
                      nullptr, nullptr, 0) == static_cast<int>(full.size())) {
        return upper;
    }
    return full;
}

struct HolderSearch {
    std::uint64_t key;
    HWND found;
};

BOOL CALLBACK MatchHolder(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<HolderSearch*>(lParam);
    const auto key = reinterpret_cast<std::uintptr_t>(GetPropW(window, kWindowKeyProperty));
    if (key != 0 && key == search->key) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindByKey(std::uint64_t key) {
    HolderSearch search{key, nullptr};
    EnumWindows(MatchHolder, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

std::uint64_t SingleInstance::KeyOf(const std::wstring& libraryFolder) {
    // FNV-1a over the canonical path; never 0, which marks a window without a key.
    std::uint64_t hash = 14695981039346656037ULL;
    for (const wchar_t c : Canonical(libraryFolder)) {
        hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ULL;
    }
    return hash == 0 ? 1 : hash;
}

HWND SingleInstance::FindHolderWindow(const std::wstring& libraryFolder) {
    return FindByKey(KeyOf(libraryFolder));
}

SingleInstance::SingleInstance(const std::wstring& libraryFolder) : key_(KeyOf(libraryFolder)) {
    wchar_t name[64];
    swprintf(name, 64, L"Local\\SkySwap-%016llx", static_cast<unsigned long long>(key_));
    mutexName_ = name;
    TryToHold();
}

SingleInstance::~SingleInstance() {
    if (mutex_ != nullptr) {
        CloseHandle(mutex_);
    }
}

bool SingleInstance::TryToHold() {
    if (held_) {
        return true;
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName_.c_str());
    const DWORD error = GetLastError();
    // An existing mutex means another SkySwap; so does one this process may not open (made by an
    // elevated SkySwap, or under another account).
    if (mutex == nullptr || error == ERROR_ALREADY_EXISTS) {
        if (mutex != nullptr) {
            CloseHandle(mutex);
        }
        return false;
    }
    mutex_ = mutex;
    held_ = true;
    return true;
}

bool SingleInstance::WaitToBeFirst(DWORD milliseconds) {
    for (DWORD waited = 0; !TryToHold() && waited < milliseconds; waited += kPollMs) {
        Sleep(kPollMs);
    }
    return held_;
}

void SingleInstance::MarkWindow(HWND window) const {
    // The system drops the property with the window.
    SetPropW(window, kWindowKeyProperty,
             reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(key_)));
}

bool SingleInstance::ActivateHolder(DWORD milliseconds) const {
    HWND holder = FindByKey(key_);
    // The other SkySwap may still be making its window.
    for (DWORD waited = 0; holder == nullptr && waited < milliseconds; waited += kPollMs) {
        Sleep(kPollMs);
        holder = FindByKey(key_);
    }
    if (holder == nullptr) {
        return false;
    }
    if (IsIconic(holder)) {
        ShowWindowAsync(holder, SW_RESTORE);
    }
    SetForegroundWindow(holder);
    return true;
}

}  // namespace skyswap
