// The image area: a windowless-looking child that stretches its picture over its box, never takes
// the focus, and tells its parent about clicks and mouse moves.
#pragma once

#include <windows.h>

#include "controls_table.h"
#include "pictures.h"

namespace skyswap {

// Notification codes in the WM_COMMAND an image area sends to its parent (the control's id in
// the low word of wParam, its window in lParam).
constexpr WORD kImageAreaClicked = 1;    // the left button went down and up again inside it
constexpr WORD kImageAreaMouseMove = 2;  // the mouse moved over it

class ImageArea {
  public:
    ImageArea() = default;
    ImageArea(const ImageArea&) = delete;
    ImageArea& operator=(const ImageArea&) = delete;

    static bool RegisterWindowClass(HINSTANCE instance);

    // The object must outlive the window.
    bool Create(HINSTANCE instance, HWND parent, int id, const PixelRect& rect);
    HWND hwnd() const { return hwnd_; }

    void SetPicture(PictureRef picture);
    const PictureRef& picture() const { return picture_; }

    // The outline that says "the game holds this set", drawn over the picture.
    void SetMarked(bool marked);
    bool marked() const { return marked_; }

    // The frame's background with the picture over it, filling the client area.
    void Paint(HDC dc) const;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Notify(WORD code) const;

    HWND hwnd_ = nullptr;
    PictureRef picture_;
    bool pressed_ = false;
    bool marked_ = false;
};

}  // namespace skyswap
