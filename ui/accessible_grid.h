// What a screen reader learns about the image grid: the system's own accessible object for the
// grid window (its place, parent and focus as a window), with one simple child per element
// (child id = element number + 1) that has the element's name, the role of a button, its place
// and state, and the click as its default action.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace skyswap {

struct AccessibleGridInfo {
    int count = 0;                                  // the children
    std::function<std::wstring(int element)> name;  // read afresh at every request
    std::function<void(int element)> press;         // the default action
    std::function<bool(int element)> visible;
    std::function<RECT(int element)> rect;                     // in the window's client area
    std::function<int()> focused;                              // the focused element, -1 for none
    std::function<int(POINT client)> hit;                      // the shown element there, or -1
    std::function<int(int element, LONG direction)> navigate;  // NAVDIR_UP..RIGHT, or -1
};

// What a screen reader's object reaches the window through. A screen reader may keep the object
// as long as it likes, past the window's end: the window cuts the link when it goes, and every
// later call then answers CO_E_OBJNOTCONNECTED without touching the window.
class AccessibleGridLink {
  public:
    AccessibleGridLink(HWND window, AccessibleGridInfo info)
        : window_(window), info_(std::move(info)) {}

    bool connected() const { return connected_; }
    HWND window() const { return window_; }
    const AccessibleGridInfo& info() const { return info_; }
    void Disconnect() {
        connected_ = false;
        window_ = nullptr;
        info_ = {};  // what it captured may be gone already
    }

  private:
    bool connected_ = true;
    HWND window_;
    AccessibleGridInfo info_;
};

// The answer to WM_GETOBJECT for OBJID_CLIENT; 0 (the system's default) when it cannot be made.
LRESULT AccessibleGridObject(HWND window, WPARAM wParam,
                             std::shared_ptr<const AccessibleGridLink> link);

}  // namespace skyswap
