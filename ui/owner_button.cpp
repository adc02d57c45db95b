#include "owner_button.h"

#include <string>

#include "dpi.h"
#include "win_handles.h"

namespace skyswap {

namespace {

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Centres the caption vertically, wrapping words when one line is too wide.
void DrawCaption(HDC dc, const std::wstring& caption, RECT box, COLORREF colour) {
    constexpr UINT kFormat = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    RECT measured = box;
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
              kFormat | DT_CALCRECT);
    const int textHeight = measured.bottom - measured.top;
    box.top += ((box.bottom - box.top) - textHeight) / 2;
    box.bottom = box.top + textHeight;
    SetTextColor(dc, colour);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &box, kFormat);
}

int Scaled(int pixelsAt96, UINT dpi) {
    return MulDiv(pixelsAt96, static_cast<int>(dpi), kDefaultDpi);
}

// Draws `width` one-pixel rings inward from `box` with `draw`.
template <typename DrawRing>
void Rings(RECT box, int width, DrawRing draw) {
    for (int i = 0; i < width && box.right - box.left > 2 && box.bottom - box.top > 2; ++i) {
        draw(box);
        InflateRect(&box, -1, -1);
    }
}

}  // namespace

OwnerButtonGeometry OwnerButtonLayout(const RECT& item, UINT dpi, bool pushed) {
    OwnerButtonGeometry geometry{};
    geometry.border = Scaled(1, dpi);
    geometry.caption = item;
    InflateRect(&geometry.caption, -Scaled(4, dpi), -Scaled(3, dpi));
    if (pushed) {
        OffsetRect(&geometry.caption, Scaled(1, dpi), Scaled(1, dpi));
    }
    geometry.focus = item;
    InflateRect(&geometry.focus, -Scaled(4, dpi), -Scaled(4, dpi));
    geometry.focusWidth = Scaled(1, dpi);
    return geometry;
}

void DrawOwnerButton(const DRAWITEMSTRUCT& item, COLORREF face, HFONT font, UINT dpi) {
    HDC dc = item.hDC;
    RECT box = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    // ODS_NOFOCUSRECT is ignored on purpose: the focus must stay visible without keyboard cues.
    const bool focused = (item.itemState & ODS_FOCUS) != 0;

    const OwnerButtonGeometry geometry = OwnerButtonLayout(item.rcItem, dpi, pushed);

    UniqueBrush faceBrush(CreateSolidBrush(face));
    FillRect(dc, &box, faceBrush ? faceBrush.get() : GetSysColorBrush(COLOR_BTNFACE));
    if (focused) {
        // The focused button wears a dark outer border, as a default button does.
        Rings(box, geometry.border,
              [&](const RECT& ring) { FrameRect(dc, &ring, GetSysColorBrush(COLOR_WINDOWFRAME)); });
        InflateRect(&box, -geometry.border, -geometry.border);
    }
    DrawEdge(dc, &box, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

    RECT textBox = geometry.caption;
    const std::wstring caption = WindowText(item.hwndItem);
    SelectionScope selectedFont(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    if (disabled) {
        RECT highlight = textBox;
        OffsetRect(&highlight, 1, 1);
        DrawCaption(dc, caption, highlight, GetSysColor(COLOR_3DHILIGHT));
        DrawCaption(dc, caption, textBox, GetSysColor(COLOR_GRAYTEXT));
    } else {
        DrawCaption(dc, caption, textBox, GetSysColor(COLOR_BTNTEXT));
    }
    SetBkMode(dc, previousMode);

    if (focused) {
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        // Each ring its own pixels: DrawFocusRect inverts, so rings must not overlap.
        Rings(geometry.focus, geometry.focusWidth,
              [&](const RECT& ring) { DrawFocusRect(dc, &ring); });
    }
}

}  // namespace skyswap
