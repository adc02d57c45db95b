// What a screen reader learns about an image element: the system's own accessible object for
// its window (place, parent, focus, visibility), with the element's name, its role as a button
// and the click as its default action.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace skyswap {

struct AccessibleImageInfo {
    std::function<std::wstring()> name;  // read afresh at every request
    std::function<void()> press;         // the default action
};

// What a screen reader's object reaches the window through. A screen reader may keep the object
// as long as it likes, past the window's end: the window cuts the link when it goes, and every
// later call then answers CO_E_OBJNOTCONNECTED without touching the window.
class AccessibleImageLink {
  public:
    explicit AccessibleImageLink(AccessibleImageInfo info) : info_(std::move(info)) {}

    bool connected() const { return connected_; }
    const AccessibleImageInfo& info() const { return info_; }
    void Disconnect() {
        connected_ = false;
        info_ = {};  // what it captured may be gone already
    }

  private:
    bool connected_ = true;
    AccessibleImageInfo info_;
};

// The answer to WM_GETOBJECT for OBJID_CLIENT; 0 (the system's default) when it cannot be made.
LRESULT AccessibleImageObject(HWND window, WPARAM wParam,
                              std::shared_ptr<const AccessibleImageLink> link);

}  // namespace skyswap
