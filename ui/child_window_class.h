// Registration of the window classes of the controls the program draws itself.
#pragma once

#include <windows.h>

namespace skyswap {

// A child control's class that repaints all of itself whenever its size changes, since what it
// draws (a stretched picture, an outline) depends on the whole size.
inline bool RegisterChildWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace skyswap
