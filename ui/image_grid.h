// The image grid: one child window that draws the thirteen image elements (the ten slots, the
// random image and the two arrows) in their rectangles, and answers the mouse, the keyboard,
// tooltips and screen readers for each of them. Its window region is the union of the shown
// elements, so the frame and the arrows' outlines between them stay the main window's.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "accessible_grid.h"
#include "image_elements.h"
#include "pictures.h"

namespace skyswap {

// One element as the grid holds it.
class GridElement {
  public:
    const PictureRef& picture() const { return picture_; }
    const PictureMaker& maker() const { return maker_; }
    bool marked() const { return marked_; }
    bool visible() const { return visible_; }
    // In the grid's client area.
    const RECT& rect() const { return rect_; }
    // The box a picture is made for, in device pixels.
    SIZE ClientSize() const { return {rect_.right - rect_.left, rect_.bottom - rect_.top}; }
    // The grid window that draws it.
    HWND grid() const { return grid_; }

  private:
    friend class ImageGrid;
    PictureRef picture_;
    PictureMaker maker_;
    bool marked_ = false;
    bool visible_ = true;
    RECT rect_{};
    HWND grid_ = nullptr;
};

class ImageGrid {
  public:
    // What the grid tells its owner, by element number.
    struct Events {
        std::function<void(int element)> clicked;    // pressed and released inside it
        std::function<void(int element)> mouseMove;  // the mouse moved over it
        // A key while the grid has the focus, `element` the focused one; true when it was used.
        std::function<bool(int element, UINT key)> keyDown;
        std::function<std::wstring(int element)> name;  // read afresh for screen readers
        std::function<void(int element)> press;         // a screen reader's default action
        std::function<int(int element, LONG direction)> navigate;  // NAVDIR_UP..RIGHT, or -1
    };

    ImageGrid() = default;
    ~ImageGrid();
    ImageGrid(const ImageGrid&) = delete;
    ImageGrid& operator=(const ImageGrid&) = delete;

    static bool RegisterWindowClass(HINSTANCE instance);
    // The object must outlive the window.
    bool Create(HINSTANCE instance, HWND parent, int id, Events events);
    HWND hwnd() const { return hwnd_; }

    const GridElement& Element(int element) const { return elements_[element]; }

    // Places the elements, given in the parent's client area: the window takes their bounding
    // box and the tooltip's rectangles follow. Their pictures stretch until FitPictures.
    void Layout(const std::array<RECT, kImageElementCount>& rects);
    // Makes each picture again for its element's size where it has another.
    void FitPictures();
    // Adds one tooltip tool per element, for the grid's own rectangles.
    void AttachToolTip(HWND toolTip);
    void SetToolTipText(int element, std::wstring text);

    // As ImageArea::SetPicture: `maker` makes the picture again when the element's size changes.
    void SetPicture(int element, PictureRef picture, PictureMaker maker = {});
    void SetMarked(int element, bool marked);
    void SetVisible(int element, bool visible);

    // The element that has the focus while the grid has it: the grid's Tab stop.
    int Current() const { return current_; }
    void SetCurrent(int element);
    bool HasFocus() const { return hwnd_ != nullptr && GetFocus() == hwnd_; }

    // Tells screen readers that an element's name changed, as when a page turns.
    void NameChanged(int element) const;
    // Draws every element into `dc`, as WM_PRINTCLIENT asks.
    void Paint(HDC dc) const;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void PaintElement(HDC dc, int element, bool buffered) const;
    void FitPicture(int element);
    // `redraw`: the whole grid, and what it no longer covers, is drawn again.
    void UpdateRegion(bool redraw);
    // Draws again where `element` came or went: the grid where it appears, the window beneath
    // where it went.
    void RedrawWhereShownOrHidden(int element) const;
    TTTOOLINFOW ToolOf(int element);
    void UpdateToolRect(int element);
    void Invalidate(int element) const;
    void RelayToToolTip(UINT message, WPARAM wParam, LPARAM lParam) const;
    // The shown element at a point of the client area, or -1.
    int ElementAt(POINT point) const;
    AccessibleGridInfo AccessibilityInfo();

    HWND hwnd_ = nullptr;
    HWND toolTip_ = nullptr;
    Events events_;
    std::array<GridElement, kImageElementCount> elements_{};
    std::array<std::wstring, kImageElementCount> toolTipTexts_;
    int current_ = 0;
    int pressed_ = -1;
    // Shared with the objects given to screen readers; cut when the window goes.
    std::shared_ptr<AccessibleGridLink> accessibility_;
};

}  // namespace skyswap
