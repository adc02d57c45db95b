#include "image_area.h"

#include "child_window_class.h"
#include "dpi.h"
#include "installed_marker.h"
#include "win_handles.h"

#include <utility>

namespace skyswap {

namespace {
constexpr wchar_t kImageAreaClass[] = L"SkySwapImageArea";
}

ImageArea::~ImageArea() {
    if (accessibility_) {
        accessibility_->Disconnect();
    }
}

void ImageArea::SetAccessibility(AccessibleImageInfo info) {
    if (accessibility_) {
        accessibility_->Disconnect();
    }
    accessibility_ = std::make_shared<AccessibleImageLink>(std::move(info));
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

void ImageArea::SetMarked(bool marked) {
    if (marked == marked_) {
        return;
    }
    marked_ = marked;
    if (hwnd_ != nullptr) {
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    NameChanged();  // a screen reader names the installed set's slot as such
}

void ImageArea::Paint(HDC dc) const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (picture_) {
        picture_->Draw(dc, client);
    }
    DrawOverlays(dc, client);
}

// Over the picture: the installed set's outline, and inside it the focus outline.
void ImageArea::DrawOverlays(HDC dc, const RECT& client) const {
    const UINT dpi = WindowDpi(hwnd_);
    RECT ring = client;
    if (marked_) {
        DrawInstalledMarker(dc, client, dpi);
        InflateRect(&ring, -InstalledMarkerWidth(dpi), -InstalledMarkerWidth(dpi));
    }
    if (!focused_) {
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

void ImageArea::NameChanged() const {
    if (hwnd_ != nullptr && accessibility_ && accessibility_->info().name) {
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
    }
}

void ImageArea::Notify(WORD code) const {
    SendMessageW(GetParent(hwnd_), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(hwnd_)), code),
                 reinterpret_cast<LPARAM>(hwnd_));
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
        if (area->accessibility_) {
            area->accessibility_->Disconnect();  // screen readers may hold objects still
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return area->HandleMessage(message, wParam, lParam);
}

LRESULT ImageArea::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT: {
            PaintScope paint(hwnd_);
            RECT client{};
            GetClientRect(hwnd_, &client);
            // An opaque picture covers every pixel: drawn straight away, it cannot flicker.
            if (picture_ && !picture_->hasAlpha() && !picture_->isIcon()) {
                picture_->Draw(paint.dc(), client);
                DrawOverlays(paint.dc(), client);
                return 0;
            }
            // Drawn off-screen first, so that a picture never flickers over the background.
            UniqueMemoryDc buffer(CreateCompatibleDC(paint.dc()));
            UniqueBitmap surface(CreateCompatibleBitmap(paint.dc(), client.right, client.bottom));
            if (buffer && surface) {
                SelectionScope selected(buffer.get(), surface.get());
                Paint(buffer.get());
                BitBlt(paint.dc(), 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
            } else {
                Paint(paint.dc());
            }
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_LBUTTONDOWN:
            pressed_ = true;
            SetCapture(hwnd_);
            return 0;
        case WM_LBUTTONUP: {
            const bool wasPressed = pressed_;
            pressed_ = false;
            if (GetCapture() == hwnd_) {
                ReleaseCapture();
            }
            RECT client{};
            GetClientRect(hwnd_, &client);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (wasPressed && PtInRect(&client, at)) {
                Notify(kImageAreaClicked);
            }
            return 0;
        }
        case WM_CAPTURECHANGED:
            pressed_ = false;
            return 0;
        case WM_MOUSEMOVE:
            Notify(kImageAreaMouseMove);
            return 0;
        case WM_GETDLGCODE: {
            // Arrows, Enter and Space are the element's own; Tab and Escape stay the window's.
            const auto* event = reinterpret_cast<const MSG*>(lParam);
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
            if (event != nullptr && event->message == WM_KEYDOWN && event->wParam == VK_RETURN) {
                code |= DLGC_WANTMESSAGE;
            }
            return code;
        }
        case WM_KEYDOWN: {
            NMKEY key{};
            key.hdr.hwndFrom = hwnd_;
            key.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd_));
            key.hdr.code = NM_KEYDOWN;
            key.nVKey = static_cast<UINT>(wParam);
            key.uFlags = HIWORD(lParam);
            if (SendMessageW(GetParent(hwnd_), WM_NOTIFY, key.hdr.idFrom,
                             reinterpret_cast<LPARAM>(&key)) != 0) {
                return 0;
            }
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            focused_ = message == WM_SETFOCUS;
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        case WM_GETOBJECT:
            if (static_cast<LONG>(lParam) == static_cast<LONG>(OBJID_CLIENT) && accessibility_ &&
                accessibility_->connected() && accessibility_->info().name) {
                if (const LRESULT object = AccessibleImageObject(hwnd_, wParam, accessibility_)) {
                    return object;
                }
            }
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

}  // namespace skyswap
