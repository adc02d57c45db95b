#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>

#include "test_support.h"

#ifdef _WIN32
#include <windows.h>

#include "windows_file_system.h"
#include "text_win.h"
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "posix_file_system.h"
#endif

namespace skyswap::test {

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& path) {
    return Utf8ToWide(path);
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring full = folder + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

std::unique_ptr<FileSystem> MakePlatformFileSystem() {
    return std::make_unique<WindowsFileSystem>();
}

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    wchar_t base[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, base);
    std::wstring folder(base, length);
    if (!folder.empty() && folder.back() == L'\\') {
        folder.pop_back();
    }
    folder += L"\\skyswap-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount64());
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    root_ = WideToUtf8(folder);
}

TempFolder::~TempFolder() {
    RemoveTree(Wide(root_));
}

std::string TempFolder::Join(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "\\" + relative;
}

void TempFolder::MakeFolder(const std::string& relative) const {
    std::string partial;
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t end = std::min(relative.find('\\', start), relative.size());
        partial = relative.substr(0, end);
        CreateDirectoryW(Wide(Join(partial)).c_str(), nullptr);
        start = end + 1;
    }
}

void TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
    const std::wstring path = Wide(Join(relative));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot write " + relative);
    }
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::optional<std::string> TempFolder::ReadFile(const std::string& relative) const {
    HANDLE file = CreateFileW(Wide(Join(relative)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

bool TempFolder::Exists(const std::string& relative) const {
    return GetFileAttributesW(Wide(Join(relative)).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> TempFolder::List(const std::string& relative) const {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((Wide(Join(relative)) + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                names.push_back(WideToUtf8(name));
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void TempFolder::SetReadOnly(const std::string& relative, bool readOnly) const {
    const std::wstring path = Wide(Join(relative));
    DWORD attributes = GetFileAttributesW(path.c_str());
    attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                          : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    SetFileAttributesW(path.c_str(), attributes);
}

bool TempFolder::SetHidden(const std::string& relative) const {
    const std::wstring path = Wide(Join(relative));
    return SetFileAttributesW(path.c_str(),
                              GetFileAttributesW(path.c_str()) | FILE_ATTRIBUTE_HIDDEN) != 0;
}

CurrentFolderScope::CurrentFolderScope(const std::string& path) {
    wchar_t buffer[32768];
    const DWORD length = GetCurrentDirectoryW(32768, buffer);
    previous_ = WideToUtf8(std::wstring(buffer, length));
    SetCurrentDirectoryW(Wide(path).c_str());
}

CurrentFolderScope::~CurrentFolderScope() {
    SetCurrentDirectoryW(Wide(previous_).c_str());
}

#else

namespace fs = std::filesystem;

std::unique_ptr<FileSystem> MakePlatformFileSystem() {
    return std::make_unique<PosixFileSystem>();
}

TempFolder::TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "skyswap-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    root_ = FromPosixPath(pattern);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Read-only entries left by a test must not stop the clean-up.
    for (auto it = fs::recursive_directory_iterator(ToPosixPath(root_), ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(ToPosixPath(root_), ignored);
}

std::string TempFolder::Join(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "\\" + relative;
}

void TempFolder::MakeFolder(const std::string& relative) const {
    fs::create_directories(ToPosixPath(Join(relative)));
}

void TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
    const std::string path = ToPosixPath(Join(relative));
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + relative);
    }
}

std::optional<std::string> TempFolder::ReadFile(const std::string& relative) const {
    std::ifstream in(ToPosixPath(Join(relative)), std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempFolder::Exists(const std::string& relative) const {
    struct stat info {};
    return ::lstat(ToPosixPath(Join(relative)).c_str(), &info) == 0;
}

std::vector<std::string> TempFolder::List(const std::string& relative) const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(ToPosixPath(Join(relative)), ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void TempFolder::SetReadOnly(const std::string& relative, bool readOnly) const {
    fs::permissions(ToPosixPath(Join(relative)), fs::perms::owner_write,
                    readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

bool TempFolder::SetHidden(const std::string&) const {
    return false;
}

CurrentFolderScope::CurrentFolderScope(const std::string& path) {
    previous_ = fs::current_path().string();
    fs::current_path(ToPosixPath(path));
}

CurrentFolderScope::~CurrentFolderScope() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
}

#endif

}  // namespace skyswap::test
