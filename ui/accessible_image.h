// What a screen reader learns about an image element: the system's own accessible object for
// its window (place, parent, focus, visibility), with the element's name, its role as a button
// and the click as its default action.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace skyswap {

struct AccessibleImageInfo {
    std::function<std::wstring()> name;  // read afresh at every request
    std::function<void()> press;         // the default action
};

// The answer to WM_GETOBJECT for OBJID_CLIENT; 0 (the system's default) when it cannot be made.
LRESULT AccessibleImageObject(HWND window, WPARAM wParam, const AccessibleImageInfo& info);

}  // namespace skyswap
