// DLLs from System32 only. The elevated restart runs the .exe from where it lies, possibly a
// folder the user can write to, and Windows looks for a DLL that is not one of its KnownDLLs
// beside the .exe first: such DLLs are never in the import table, but loaded from System32 when
// first needed, through the wrappers below.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

namespace skyswap {

// The first thing the program does: every DLL loaded from then on, a system DLL's own
// dependencies included, comes from System32 (or, for the common controls v6 that the manifest
// asks for, from the side-by-side store). False when Windows refused.
bool LoadLibrariesFromSystemOnly();

// A function of a DLL in System32, loaded on first use; null when the DLL or the function is
// missing.
FARPROC SystemFunction(const wchar_t* dll, const char* name);

// The functions SkySwap uses from DLLs that are not KnownDLLs. Each fails as the real one does
// when its DLL cannot be loaded.
namespace system32 {

// oleacc.dll
HRESULT CreateStdAccessibleObject(HWND window, LONG objectId, REFIID id, void** object);
LRESULT LresultFromObject(REFIID id, WPARAM wParam, IUnknown* object);

// comctl32.dll
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
BOOL SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
BOOL RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id);
LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// mpr.dll
DWORD WNetGetConnectionW(const wchar_t* localName, wchar_t* remoteName, DWORD* length);

}  // namespace system32
}  // namespace skyswap
