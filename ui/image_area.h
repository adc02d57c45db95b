// The image area: a child window that stretches its picture over its box (the preview), and the
// drawing of a picture box that it shares with the image grid.
#pragma once

#include <windows.h>

#include "controls_table.h"
#include "pictures.h"

namespace skyswap {

// What is drawn over a picture: the outline that says "the game holds this set", and inside it
// the keyboard focus's.
struct ImageOverlays {
    bool marked = false;
    bool focused = false;
};

// The frame's background with the picture over it, filling `box`, and the overlays over both.
void DrawImageBox(HDC dc, const RECT& box, const PictureRef& picture, ImageOverlays overlays,
                  UINT dpi);
// The same on the screen without flicker: an opaque picture straight away, anything else drawn
// off-screen first, so that a picture never flickers over the background.
void PaintImageBox(HDC dc, const RECT& box, const PictureRef& picture, ImageOverlays overlays,
                   UINT dpi);

class ImageArea {
  public:
    ImageArea() = default;
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

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    PictureRef picture_;
    PictureMaker maker_;
};

}  // namespace skyswap
