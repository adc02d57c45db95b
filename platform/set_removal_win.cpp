#include "set_removal_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "text_win.h"

namespace skyswap {

namespace {

// A COM pointer released on every path.
template <typename Interface>
class ComPointer {
  public:
    ComPointer() = default;
    ~ComPointer() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    Interface* operator->() const { return pointer_; }
    Interface** Receive() { return &pointer_; }
    Interface* get() const { return pointer_; }

  private:
    Interface* pointer_ = nullptr;
};

FsStatus Failed(HRESULT result) {
    const DWORD code = HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result)
                                                                  : static_cast<DWORD>(result);
    FsError error = FsError::Other;
    switch (code) {
        case ERROR_ACCESS_DENIED:
            error = FsError::AccessDenied;
            break;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            error = FsError::InUse;
            break;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            error = FsError::NotFound;
            break;
        default:
            break;
    }
    return {error, SystemMessage(code)};
}

}  // namespace

bool FolderHasRecycleBin(const std::string& folder) {
    const std::wstring path = Utf8ToWide(folder);
    wchar_t root[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(path.c_str(), root, MAX_PATH)) {
        return false;
    }
    return GetDriveTypeW(root) == DRIVE_FIXED;
}

FsStatus RemoveFolderThroughShell(const std::string& folder, bool toRecycleBin) {
    // The shell's operations are COM objects, made in a single-threaded apartment of their own
    // when this thread has none yet.
    const HRESULT started =
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const bool comStarted = SUCCEEDED(started);
    FsStatus status;
    {
        ComPointer<IFileOperation> operation;
        ComPointer<IShellItem> item;
        HRESULT result = CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL,
                                          IID_PPV_ARGS(operation.Receive()));
        DWORD flags = FOF_NO_UI;
        if (toRecycleBin) {
            flags |= FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE;
        }
        if (SUCCEEDED(result)) {
            result = operation->SetOperationFlags(flags);
        }
        if (SUCCEEDED(result)) {
            result = SHCreateItemFromParsingName(Utf8ToWide(folder).c_str(), nullptr,
                                                 IID_PPV_ARGS(item.Receive()));
        }
        if (SUCCEEDED(result)) {
            result = operation->DeleteItem(item.get(), nullptr);
        }
        if (SUCCEEDED(result)) {
            result = operation->PerformOperations();
        }
        if (result == E_NOTIMPL || result == REGDB_E_CLASSNOTREG) {
            // A shell without IFileOperation (Wine's): the older call does the same.
            std::wstring from = Utf8ToWide(folder);
            from.push_back(L'\0');
            SHFILEOPSTRUCTW files{};
            files.wFunc = FO_DELETE;
            files.pFrom = from.c_str();
            files.fFlags =
                static_cast<FILEOP_FLAGS>(FOF_NO_UI | (toRecycleBin ? FOF_ALLOWUNDO : 0));
            const int code = SHFileOperationW(&files);
            result = code == 0 ? S_OK : HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
            if (code == 0 && files.fAnyOperationsAborted) {
                result = E_ABORT;
            }
        }
        BOOL aborted = FALSE;
        if (SUCCEEDED(result) && operation.get() != nullptr &&
            SUCCEEDED(operation->GetAnyOperationsAborted(&aborted)) && aborted) {
            status = {FsError::Other, "the removal was cancelled"};
        } else if (FAILED(result)) {
            status = Failed(result);
        } else if (GetFileAttributesW(Utf8ToWide(folder).c_str()) != INVALID_FILE_ATTRIBUTES) {
            // The shell said done yet left the folder (Wine's does so with a read-only file).
            status = {FsError::Other, "the folder is still there after its removal"};
        }
    }
    if (comStarted) {
        CoUninitialize();
    }
    return status;
}

}  // namespace skyswap
