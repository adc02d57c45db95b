#include "shapes.h"

#include <algorithm>

#include "child_window_class.h"
#include "dpi.h"
#include "win_handles.h"

namespace skyswap {

const wchar_t kRectangleClass[] = L"SkySwapRectangle";
const wchar_t kLineClass[] = L"SkySwapLine";

namespace {

void FillWithWindowText(HWND window) {
    PaintScope paint(window);
    RECT client{};
    GetClientRect(window, &client);
    FillRect(paint.dc(), &client, GetSysColorBrush(COLOR_WINDOWTEXT));
}

// Limits the window to its border, so that nothing inside it is covered.
void ClipToOutline(HWND window, int width, int height) {
    const int border = OutlineWidth(WindowDpi(window));
    UniqueRegion outline(CreateRectRgn(0, 0, width, height));
    UniqueRegion inside(CreateRectRgn(border, border, width - border, height - border));
    if (!outline || !inside) {
        return;
    }
    if (width > 2 * border && height > 2 * border) {
        CombineRgn(outline.get(), outline.get(), inside.get(), RGN_DIFF);
    }
    // The window owns the region once SetWindowRgn succeeds.
    if (SetWindowRgn(window, outline.get(), TRUE) != 0) {
        outline.release();
    }
}

// The line is a window filled with the outline colour.
LRESULT CALLBACK LineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            FillWithWindowText(window);
            return 0;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The rectangle is the same, cut down to its one-pixel border.
LRESULT CALLBACK RectangleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        ClipToOutline(window, LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    return LineProc(window, message, wParam, lParam);
}

}  // namespace

int OutlineWidth(UINT dpi) {
    return std::max(1, MulDiv(1, static_cast<int>(dpi), kDefaultDpi));
}

bool RegisterShapeClasses(HINSTANCE instance) {
    return RegisterChildWindowClass(instance, kRectangleClass, RectangleProc) &&
           RegisterChildWindowClass(instance, kLineClass, LineProc);
}

}  // namespace skyswap
