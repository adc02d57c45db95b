#include "system_library_win.h"

namespace skyswap {

namespace {

template <typename Function>
Function Lookup(const wchar_t* dll, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

constexpr wchar_t kAccessibility[] = L"oleacc.dll";
constexpr wchar_t kCommonControls[] = L"comctl32.dll";
constexpr wchar_t kNetworkProviders[] = L"mpr.dll";

}  // namespace

bool LoadLibrariesFromSystemOnly() {
    return SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}

FARPROC SystemFunction(const wchar_t* dll, const char* name) {
    // By name, not by full path: a name still goes through the manifest's side-by-side
    // redirection, which gives the common controls v6. The module stays loaded for the
    // program's lifetime.
    HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

namespace system32 {

HRESULT CreateStdAccessibleObject(HWND window, LONG objectId, REFIID id, void** object) {
    using Function = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
    static const auto function = Lookup<Function>(kAccessibility, "CreateStdAccessibleObject");
    if (function == nullptr) {
        if (object != nullptr) {
            *object = nullptr;
        }
        return E_NOTIMPL;
    }
    return function(window, objectId, id, object);
}

LRESULT LresultFromObject(REFIID id, WPARAM wParam, IUnknown* object) {
    using Function = LRESULT(WINAPI*)(REFIID, WPARAM, IUnknown*);
    static const auto function = Lookup<Function>(kAccessibility, "LresultFromObject");
    return function != nullptr ? function(id, wParam, object) : E_NOTIMPL;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    using Function = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    static const auto function = Lookup<Function>(kCommonControls, "InitCommonControlsEx");
    return function != nullptr && function(controls);
}

BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    using Function = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
    static const auto function = Lookup<Function>(kCommonControls, "SetWindowSubclass");
    return function != nullptr && function(window, procedure, id, data);
}

BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
    using Function = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR);
    static const auto function = Lookup<Function>(kCommonControls, "RemoveWindowSubclass");
    return function != nullptr && function(window, procedure, id);
}

LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    using Function = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
    static const auto function = Lookup<Function>(kCommonControls, "DefSubclassProc");
    // Only a subclassed window calls it, so the DLL is loaded by then.
    return function != nullptr ? function(window, message, wParam, lParam)
                               : DefWindowProcW(window, message, wParam, lParam);
}

DWORD WNetGetConnectionW(const wchar_t* localName, wchar_t* remoteName, DWORD* length) {
    using Function = DWORD(WINAPI*)(const wchar_t*, wchar_t*, DWORD*);
    static const auto function = Lookup<Function>(kNetworkProviders, "WNetGetConnectionW");
    return function != nullptr ? function(localName, remoteName, length) : ERROR_NO_NETWORK;
}

}  // namespace system32
}  // namespace skyswap
