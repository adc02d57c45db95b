#include "image_area.h"

#include "child_window_class.h"
#include "dpi.h"
#include "installed_marker.h"
#include "win_handles.h"

#include <utility>

namespace skyswap {

namespace {

constexpr wchar_t kImageAreaClass[] = L"SkySwapImageArea";

// Over the picture: the installed set's outline, and inside it the focus outline.
void DrawOverlays(HDC dc, const RECT& box, ImageOverlays overlays, UINT dpi) {
    RECT ring = box;
    if (overlays.marked) {
        DrawInstalledMarker(dc, box, dpi);
        InflateRect(&ring, -InstalledMarkerWidth(dpi), -InstalledMarkerWidth(dpi));
    }
    if (!overlays.focused) {
        return;
    }
    // A dark ring inside a light one, each a few pixels wide at any DPI, shows on any picture;
    // both follow the system colours, so a high-contrast theme draws it in its own.
    const int width = MulDiv(3, static_cast<int>(dpi), kDefaultDpi);
    for (int colour : {COLOR_WINDOW, COLOR_WINDOWTEXT}) {
        for (int i = 0; i < width && ring.right - ring.left > 2 && ring.bottom - ring.top > 2;
             ++i) {
            FrameRect(dc, &ring, GetSysColorBrush(colour));
            InflateRect(&ring, -1, -1);
        }
    }
}

}  // namespace

void DrawImageBox(HDC dc, const RECT& box, const PictureRef& picture, ImageOverlays overlays,
                  UINT dpi) {
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    if (picture) {
        picture->Draw(dc, box);
    }
    DrawOverlays(dc, box, overlays, dpi);
}

void PaintImageBox(HDC dc, const RECT& box, const PictureRef& picture, ImageOverlays overlays,
                   UINT dpi) {
    // An opaque picture covers every pixel: drawn straight away, it cannot flicker.
    if (picture && !picture->hasAlpha() && !picture->isIcon()) {
        picture->Draw(dc, box);
        DrawOverlays(dc, box, overlays, dpi);
        return;
    }
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    UniqueMemoryDc buffer(CreateCompatibleDC(dc));
    UniqueBitmap surface(CreateCompatibleBitmap(dc, width, height));
    if (!buffer || !surface) {
        DrawImageBox(dc, box, picture, overlays, dpi);
        return;
    }
    SelectionScope selected(buffer.get(), surface.get());
    DrawImageBox(buffer.get(), {0, 0, width, height}, picture, overlays, dpi);
    BitBlt(dc, box.left, box.top, width, height, buffer.get(), 0, 0, SRCCOPY);
}

bool ImageArea::RegisterWindowClass(HINSTANCE instance) {
    return RegisterChildWindowClass(instance, kImageAreaClass, WindowProc);
}

bool ImageArea::Create(HINSTANCE instance, HWND parent, int id, const PixelRect& rect) {
    CreateWindowExW(0, kImageAreaClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, rect.left,
                    rect.top, rect.width, rect.height, parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    return hwnd_ != nullptr;
}

void ImageArea::SetPicture(PictureRef picture, PictureMaker maker) {
    picture_ = std::move(picture);
    maker_ = std::move(maker);
    if (hwnd_ != nullptr) {
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

SIZE ImageArea::ClientSize() const {
    RECT client{};
    if (hwnd_ != nullptr) {
        GetClientRect(hwnd_, &client);
    }
    return {client.right, client.bottom};
}

void ImageArea::FitPicture() {
    const SIZE box = ClientSize();
    if (!maker_ || box.cx <= 0 || box.cy <= 0 ||
        (picture_ && picture_->width() == box.cx && picture_->height() == box.cy)) {
        return;
    }
    if (PictureRef remade = maker_(box)) {
        picture_ = std::move(remade);
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

LRESULT CALLBACK ImageArea::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* area =
            static_cast<ImageArea*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        area->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(area));
    }
    auto* area = reinterpret_cast<ImageArea*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (area == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        area->hwnd_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return area->HandleMessage(message, wParam, lParam);
}

LRESULT ImageArea::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    RECT client{};
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: {
            PaintScope paint(hwnd_);
            GetClientRect(hwnd_, &client);
            PaintImageBox(paint.dc(), client, picture_, {}, WindowDpi(hwnd_));
            return 0;
        }
        case WM_PRINTCLIENT:
            GetClientRect(hwnd_, &client);
            DrawImageBox(reinterpret_cast<HDC>(wParam), client, picture_, {}, WindowDpi(hwnd_));
            return 0;
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

}  // namespace skyswap
