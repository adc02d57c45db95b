#include "windows_file_system.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "long_path_win.h"
#include "text_win.h"
#include "virtual_store.h"

namespace skyswap {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const {
        if (handle != INVALID_HANDLE_VALUE && handle != nullptr) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct FindCloser {
    void operator()(HANDLE handle) const {
        if (handle != INVALID_HANDLE_VALUE) {
            FindClose(handle);
        }
    }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

UniqueHandle OpenHandle(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

FsStatus FromError(DWORD error) {
    FsStatus status;
    switch (error) {
        case ERROR_SUCCESS:
            return status;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_DRIVE:
            status.error = FsError::NotFound;
            break;
        case ERROR_ACCESS_DENIED:
            status.error = FsError::AccessDenied;
            break;
        case ERROR_WRITE_PROTECT:
            status.error = FsError::ReadOnly;
            break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            status.error = FsError::InUse;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            status.error = FsError::DiskFull;
            break;
        default:
            status.error = FsError::Other;
            break;
    }
    status.message = SystemMessage(error);
    return status;
}

FsStatus LastError() {
    return FromError(GetLastError());
}

DWORD Attributes(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

bool HasReadOnlyBit(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Windows answers "access denied" both for a lack of rights and for a file that another program
// holds open; a second look tells the two apart, so the user reads the right reason.
FsStatus ExplainFailure(const std::wstring& path, DWORD error) {
    if (error == ERROR_ACCESS_DENIED) {
        const UniqueHandle probe = OpenHandle(CreateFileW(
            path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!probe && GetLastError() == ERROR_SHARING_VIOLATION) {
            error = ERROR_SHARING_VIOLATION;
        }
    }
    return FromError(error);
}

// Runs `change` on a file whose read-only bit is cleared for the moment; the bit comes back when
// the change fails, so a failed transfer leaves the file as it was.
template <typename Change>
FsStatus WithReadOnlyCleared(const std::wstring& path, Change change) {
    const DWORD attributes = Attributes(path);
    const bool readOnly = HasReadOnlyBit(attributes);
    // A bit that cannot be cleared for lack of rights is reported as that lack, not as
    // "read-only": the user can do something about the one and not the other.
    if (readOnly && !SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        return LastError();
    }
    if (change()) {
        return FsStatus::Ok();
    }
    const FsStatus status = ExplainFailure(path, GetLastError());
    if (readOnly) {
        SetFileAttributesW(path.c_str(), attributes);
    }
    return status;
}

// Writes `size` bytes; a short write without an error is a full disk.
FsStatus WriteChunk(HANDLE out, const char* data, DWORD size) {
    DWORD written = 0;
    if (WriteFile(out, data, size, &written, nullptr) && written == size) {
        return FsStatus::Ok();
    }
    const FsStatus status = LastError();
    return status.ok() ? FromError(ERROR_DISK_FULL) : status;
}

// A file opened for reading at any offset, shared so that it may be written, renamed or deleted
// meanwhile; no handle when it cannot be opened (GetLastError says why).
UniqueHandle OpenToReadAt(const std::string& path) {
    return OpenHandle(CreateFileW(WinPath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Up to maxBytes from `offset` on, fewer where the file ends.
FsStatus ReadFromHandle(HANDLE file, std::uint64_t offset, std::size_t maxBytes,
                        std::string& bytes) {
    bytes.resize(maxBytes);
    std::size_t filled = 0;
    while (filled < maxBytes) {
        const std::uint64_t at = offset + filled;
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(maxBytes - filled, 1U << 30));
        if (!ReadFile(file, bytes.data() + filled, want, &got, &position)) {
            const DWORD error = GetLastError();
            if (error == ERROR_HANDLE_EOF) {
                break;
            }
            bytes.clear();
            return FromError(error);
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    bytes.resize(filled);
    return FsStatus::Ok();
}

// The file is opened at its first read and kept open; one that cannot be opened is tried again at
// the next read.
class WindowsOpenFile final : public OpenFile {
  public:
    explicit WindowsOpenFile(std::string path) : path_(std::move(path)) {}
    FsStatus ReadAt(std::uint64_t offset, std::size_t maxBytes, std::string& bytes) override {
        bytes.clear();
        if (!file_) {
            file_ = OpenToReadAt(path_);
            if (!file_) {
                return LastError();
            }
        }
        return ReadFromHandle(file_.get(), offset, maxBytes, bytes);
    }

  private:
    std::string path_;
    UniqueHandle file_;
};

// Flushes and closes a newly written file (it must be on the disk before it replaces an old
// one); on any failure, `status` included, the file is deleted.
FsStatus FinishNewFile(UniqueHandle out, const std::wstring& path, FsStatus status) {
    if (status.ok() && !FlushFileBuffers(out.get())) {
        status = LastError();
    }
    if (!CloseHandle(out.release()) && status.ok()) {
        status = LastError();
    }
    if (!status.ok()) {
        DeleteFileW(path.c_str());
    }
    return status;
}

// Where an open file or folder really is, links resolved; empty when Windows cannot tell.
std::string FinalPath(HANDLE handle) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return WideToUtf8(buffer);
        }
        buffer.resize(length);
    }
}

bool SetAttributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic{};  // times of zero stay as they are
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic)) != 0;
}

// A symbolic link or a junction (a mount point), and WSL's symbolic links; other reparse points,
// such as OneDrive's files that are not on the disk yet, are the files they stand for.
bool IsLink(const WIN32_FIND_DATAW& data) {
    constexpr DWORD kWslSymbolicLink = 0xA000001D;  // IO_REPARSE_TAG_LX_SYMLINK
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return false;
    }
    const DWORD tag = data.dwReserved0;
    return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT ||
           tag == kWslSymbolicLink;
}

}  // namespace

FsStatus RemoveShadowCopyWithoutLinks(const std::string& root, const std::string& path) {
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const UniqueHandle rootFolder =
        OpenHandle(CreateFileW(WinPath(root).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!rootFolder) {
        return LastError();
    }
    const std::wstring wide = WinPath(path);
    const UniqueHandle file = OpenHandle(
        CreateFileW(wide.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll,
                    nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        return ExplainFailure(wide, GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) {
        return LastError();
    }
    OpenedShadowCopy opened;
    opened.isLink = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    opened.finalPath = FinalPath(file.get());
    opened.finalRoot = FinalPath(rootFolder.get());
    if (!ReachedWithoutLinks(root, path, opened)) {
        return {FsError::Other, LinkRefusal(root)};
    }
    const DWORD attributes = information.dwFileAttributes;
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetAttributes(file.get(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
        return LastError();
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                   sizeof(disposition))) {
        return FsStatus::Ok();
    }
    const FsStatus status = LastError();
    if (readOnly) {
        SetAttributes(file.get(), attributes);
    }
    return status;
}

std::optional<std::string> WindowsFileSystem::CurrentFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            return std::nullopt;
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return WideToUtf8(buffer);
        }
        buffer.resize(length);
    }
}

bool WindowsFileSystem::CanOpenForReading(const std::string& path) {
    const UniqueHandle file = OpenHandle(CreateFileW(
        WinPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file != nullptr;
}

FsStatus WindowsFileSystem::ListFolder(const std::string& folder,
                                       std::vector<FolderEntry>& entries) {
    entries.clear();
    std::wstring pattern = WinPath(folder);
    if (pattern.empty() || pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    WIN32_FIND_DATAW data;
    const UniqueFind find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH));
    if (find.get() == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L".." ||
            (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0) {
            continue;
        }
        FolderEntry entry{WideToUtf8(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                          std::nullopt, IsLink(data)};
        if (!entry.isFolder) {
            // The directory holds the size: a file that another program holds open has one too.
            entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
        entries.push_back(std::move(entry));
    } while (FindNextFileW(find.get(), &data));
    const DWORD error = GetLastError();
    return error == ERROR_NO_MORE_FILES ? FsStatus::Ok() : FromError(error);
}

bool WindowsFileSystem::IsFolder(const std::string& path) {
    const DWORD attributes = Attributes(WinPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WindowsFileSystem::IsFile(const std::string& path) {
    const DWORD attributes = Attributes(WinPath(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FsStatus WindowsFileSystem::CreateFolder(const std::string& path) {
    return CreateDirectoryW(WinPath(path).c_str(), nullptr) ? FsStatus::Ok() : LastError();
}

FsStatus WindowsFileSystem::RemoveFile(const std::string& path) {
    const std::wstring wide = WinPath(path);
    return WithReadOnlyCleared(wide, [&] { return DeleteFileW(wide.c_str()) != 0; });
}

FsStatus WindowsFileSystem::CopyToStaged(const std::string& source, const std::string& staged) {
    const UniqueHandle in = OpenHandle(
        CreateFileW(WinPath(source).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) {
        return LastError();
    }
    const std::wstring stagedPath = WinPath(staged);
    SetFileAttributesW(stagedPath.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only left-over
    UniqueHandle out = OpenHandle(CreateFileW(stagedPath.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        return LastError();
    }
    // One buffer for every copy of this thread: under Wine, memory handed out afresh for each
    // file is slow to touch, and it cost a quarter of a transfer's time.
    thread_local std::vector<char> buffer(256 * 1024);
    FsStatus status;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            status = LastError();
            break;
        }
        if (got == 0) {
            break;
        }
        status = WriteChunk(out.get(), buffer.data(), got);
        if (!status.ok()) {
            break;
        }
    }
    return FinishNewFile(std::move(out), stagedPath, status);
}

FsStatus WindowsFileSystem::MoveStagedOver(const std::string& staged, const std::string& target) {
    const std::wstring stagedPath = WinPath(staged);
    const std::wstring targetPath = WinPath(target);
    return WithReadOnlyCleared(targetPath, [&] {
        return MoveFileExW(stagedPath.c_str(), targetPath.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
}

FsStatus WindowsFileSystem::ReadPrefix(const std::string& path, std::size_t maxBytes,
                                       std::string& bytes) {
    return ReadAt(path, 0, maxBytes, bytes);
}

FsStatus WindowsFileSystem::FileSize(const std::string& path, std::uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(WinPath(path).c_str(), GetFileExInfoStandard, &data)) {
        return LastError();
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return FromError(ERROR_FILE_NOT_FOUND);
    }
    size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return FsStatus::Ok();
}

FsStatus WindowsFileSystem::ReadAt(const std::string& path, std::uint64_t offset,
                                   std::size_t maxBytes, std::string& bytes) {
    bytes.clear();
    const UniqueHandle file = OpenToReadAt(path);
    if (!file) {
        return LastError();
    }
    return ReadFromHandle(file.get(), offset, maxBytes, bytes);
}

std::unique_ptr<OpenFile> WindowsFileSystem::OpenToRead(const std::string& path) {
    return std::make_unique<WindowsOpenFile>(path);
}

FsStatus WindowsFileSystem::WriteFlushed(const std::string& path, const std::string& bytes) {
    const std::wstring target = WinPath(path);
    UniqueHandle out = OpenHandle(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        return LastError();
    }
    const FsStatus status = WriteChunk(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()));
    return FinishNewFile(std::move(out), target, status);
}

FsStatus WindowsFileSystem::RenameFolder(const std::string& from, const std::string& to) {
    return MoveFileExW(WinPath(from).c_str(), WinPath(to).c_str(), MOVEFILE_WRITE_THROUGH)
               ? FsStatus::Ok()
               : LastError();
}

FsStatus WindowsFileSystem::RemoveFolder(const std::string& path) {
    return RemoveDirectoryW(WinPath(path).c_str()) ? FsStatus::Ok() : LastError();
}

void WindowsFileSystem::Pause(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace skyswap
