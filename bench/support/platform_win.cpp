#include <windows.h>

#include <memory>

#include "platform.h"
#include "text_win.h"

namespace skyswap::bench {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle Open(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

}  // namespace

NativePath ToNative(const std::string& path) {
    return Utf8ToWide(path);
}

bool MakeFolder(const std::string& path) {
    return CreateDirectoryW(ToNative(path).c_str(), nullptr) ||
           GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    const UniqueHandle file = Open(CreateFileW(ToNative(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

void SettleDisk() {
    // Windows flushes a whole volume only for an administrator; the warm-up run of every
    // benchmark absorbs what is left.
}

bool PlainCopy(const NativePath& source, const NativePath& target, Flush flush) {
    const UniqueHandle in = Open(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    const UniqueHandle out = Open(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in || !out) {
        return false;
    }
    // The same buffer size as the program's copy.
    static char buffer[256 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            return flush == Flush::No || FlushFileBuffers(out.get()) != 0;
        }
        DWORD written = 0;
        if (!WriteFile(out.get(), buffer, got, &written, nullptr) || written != got) {
            return false;
        }
    }
}

bool WriteNewFile(const NativePath& path, const std::string& bytes, Flush flush) {
    const UniqueHandle out = Open(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return out &&
           WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size() && (flush == Flush::No || FlushFileBuffers(out.get()) != 0);
}

bool RenameOver(const NativePath& from, const NativePath& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

long BareListing(const NativePath& folder) {
    // The same information level and fetch size as the program's listing.
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) {
        return -1;
    }
    long count = 0;
    do {
        ++count;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

bool BareRead(const NativePath& path, std::size_t maxBytes, std::string& bytes) {
    const UniqueHandle file = Open(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return false;
    }
    bytes.resize(maxBytes);
    DWORD got = 0;
    const BOOL read =
        ReadFile(file.get(), bytes.data(), static_cast<DWORD>(maxBytes), &got, nullptr);
    bytes.resize(read ? got : 0);
    return read != 0;
}

}  // namespace skyswap::bench
