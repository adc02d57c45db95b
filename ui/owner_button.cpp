#include "owner_button.h"

#include <string>

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

}  // namespace

void DrawOwnerButton(const DRAWITEMSTRUCT& item, COLORREF face, HFONT font) {
    HDC dc = item.hDC;
    RECT box = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    // ODS_NOFOCUSRECT is ignored on purpose: the focus must stay visible without keyboard cues.
    const bool focused = (item.itemState & ODS_FOCUS) != 0;

    UniqueBrush faceBrush(CreateSolidBrush(face));
    FillRect(dc, &box, faceBrush ? faceBrush.get() : GetSysColorBrush(COLOR_BTNFACE));
    if (focused) {
        // The focused button wears a dark outer border, as a default button does.
        FrameRect(dc, &box, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&box, -1, -1);
    }
    DrawEdge(dc, &box, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);

    RECT textBox = item.rcItem;
    InflateRect(&textBox, -4, -3);
    if (pushed) {
        OffsetRect(&textBox, 1, 1);
    }
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
        RECT focusBox = item.rcItem;
        InflateRect(&focusBox, -4, -4);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, RGB(255, 255, 255));
        DrawFocusRect(dc, &focusBox);
    }
}

}  // namespace skyswap
