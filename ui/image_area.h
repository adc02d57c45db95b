// The image area: a windowless-looking child that stretches its picture over its box and tells its
// parent about clicks, mouse moves and keys. It takes the focus only from the keyboard, and then
// wears an outline; a screen reader learns its name and role through Active Accessibility.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "accessible_image.h"
#include "controls_table.h"
#include "pictures.h"

#include <memory>
#include <utility>

namespace skyswap {

// Notification codes in the WM_COMMAND an image area sends to its parent (the control's id in
// the low word of wParam, its window in lParam).
constexpr WORD kImageAreaClicked = 1;    // the left button went down and up again inside it
constexpr WORD kImageAreaMouseMove = 2;  // the mouse moved over it
// A key pressed while it has the focus comes to the parent as WM_NOTIFY with NM_KEYDOWN and an
// NMKEY; the parent returns nonzero when it used the key.

class ImageArea {
  public:
    ImageArea() = default;
    ~ImageArea();
    ImageArea(const ImageArea&) = delete;
    ImageArea& operator=(const ImageArea&) = delete;

    static bool RegisterWindowClass(HINSTANCE instance);

    // The object must outlive the window.
    bool Create(HINSTANCE instance, HWND parent, int id, const PixelRect& rect);
    HWND hwnd() const { return hwnd_; }

    // Shows `picture`; `maker`, where the picture came from, makes it again when the area's size
    // changes (FitPicture). Without a picture the maker makes the first at the next FitPicture.
    void SetPicture(PictureRef picture, PictureMaker maker = {});
    const PictureRef& picture() const { return picture_; }
    const PictureMaker& maker() const { return maker_; }
    // Makes the picture again at the client size when it has another size. Kept as it was (and
    // stretched) when the maker cannot, as when the file has gone since.
    void FitPicture();
    // The client size in device pixels, the box a picture is made for.
    SIZE ClientSize() const;

    // The outline that says "the game holds this set", drawn over the picture.
    void SetMarked(bool marked);
    bool marked() const { return marked_; }

    // The frame's background with the picture over it, filling the client area, the installed
    // set's outline and the focus outline over both.
    void Paint(HDC dc) const;

    // Makes it answer screen readers (WM_GETOBJECT) with this name and action.
    void SetAccessibility(AccessibleImageInfo info);
    // Tells screen readers that the name changed, as when a page turns.
    void NameChanged() const;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Notify(WORD code) const;
    void DrawOverlays(HDC dc, const RECT& client) const;

    HWND hwnd_ = nullptr;
    PictureRef picture_;
    PictureMaker maker_;
    bool pressed_ = false;
    bool focused_ = false;
    bool marked_ = false;
    // Shared with the objects given to screen readers; cut when the window goes.
    std::shared_ptr<AccessibleImageLink> accessibility_;
};

}  // namespace skyswap
