#include "image_grid.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "child_window_class.h"
#include "dpi.h"
#include "image_area.h"
#include "win_handles.h"

namespace skyswap {

namespace {
constexpr wchar_t kImageGridClass[] = L"SkySwapImageGrid";

LONG ChildId(int element) {
    return element + 1;
}
}  // namespace

ImageGrid::~ImageGrid() {
    if (accessibility_) {
        accessibility_->Disconnect();
    }
}

bool ImageGrid::RegisterWindowClass(HINSTANCE instance) {
    return RegisterChildWindowClass(instance, kImageGridClass, WindowProc);
}

bool ImageGrid::Create(HINSTANCE instance, HWND parent, int id, Events events) {
    events_ = std::move(events);
    CreateWindowExW(0, kImageGridClass, nullptr,
                    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_GROUP, 0, 0, 0, 0,
                    parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    if (hwnd_ == nullptr) {
        return false;
    }
    for (GridElement& element : elements_) {
        element.grid_ = hwnd_;
    }
    accessibility_ = std::make_shared<AccessibleGridLink>(hwnd_, AccessibilityInfo());
    return true;
}

AccessibleGridInfo ImageGrid::AccessibilityInfo() {
    AccessibleGridInfo info;
    info.count = kImageElementCount;
    info.name = [this](int element) {
        return events_.name ? events_.name(element) : std::wstring();
    };
    info.press = [this](int element) {
        if (events_.press) {
            events_.press(element);
        }
    };
    info.visible = [this](int element) { return elements_[element].visible_; };
    info.rect = [this](int element) { return elements_[element].rect_; };
    info.focused = [this] { return HasFocus() ? current_ : -1; };
    info.hit = [this](POINT client) { return ElementAt(client); };
    info.navigate = [this](int element, LONG direction) {
        return events_.navigate ? events_.navigate(element, direction) : -1;
    };
    return info;
}

void ImageGrid::Layout(const std::array<RECT, kImageElementCount>& rects) {
    RECT box = rects[0];
    for (const RECT& rect : rects) {
        UnionRect(&box, &box, &rect);
    }
    for (int element = 0; element < kImageElementCount; ++element) {
        RECT inGrid = rects[element];
        OffsetRect(&inGrid, -box.left, -box.top);
        elements_[element].rect_ = inGrid;
    }
    SetWindowPos(hwnd_, nullptr, box.left, box.top, box.right - box.left, box.bottom - box.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateRegion(true);
    InvalidateRect(hwnd_, nullptr, FALSE);
    for (int element = 0; element < kImageElementCount; ++element) {
        UpdateToolRect(element);
    }
}

void ImageGrid::FitPictures() {
    for (int element = 0; element < kImageElementCount; ++element) {
        FitPicture(element);
    }
}

// Only the shown elements belong to the window: what lies between them, and a hidden arrow's
// place, is the frame's to paint and the main window's to be clicked.
void ImageGrid::UpdateRegion(bool redraw) {
    UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    if (!region) {
        return;
    }
    for (const GridElement& element : elements_) {
        if (!element.visible_) {
            continue;
        }
        UniqueRegion part(CreateRectRgnIndirect(&element.rect_));
        if (part) {
            CombineRgn(region.get(), region.get(), part.get(), RGN_OR);
        }
    }
    // The window owns the region once SetWindowRgn succeeds.
    if (SetWindowRgn(hwnd_, region.get(), redraw ? TRUE : FALSE) != 0) {
        region.release();
    }
}

void ImageGrid::RedrawWhereShownOrHidden(int element) const {
    if (hwnd_ == nullptr) {
        return;
    }
    if (elements_[element].visible_) {
        Invalidate(element);
        return;
    }
    HWND parent = GetParent(hwnd_);
    RECT beneath = elements_[element].rect_;
    MapWindowPoints(hwnd_, parent, reinterpret_cast<POINT*>(&beneath), 2);
    RedrawWindow(parent, &beneath, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

TTTOOLINFOW ImageGrid::ToolOf(int element) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = hwnd_;
    tool.uId = static_cast<UINT_PTR>(element);
    tool.rect = elements_[element].visible_ ? elements_[element].rect_ : RECT{};
    tool.lpszText = toolTipTexts_[element].data();
    return tool;
}

void ImageGrid::AttachToolTip(HWND toolTip) {
    toolTip_ = toolTip;
    for (int element = 0; element < kImageElementCount; ++element) {
        TTTOOLINFOW tool = ToolOf(element);
        SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void ImageGrid::UpdateToolRect(int element) {
    if (toolTip_ == nullptr) {
        return;
    }
    TTTOOLINFOW tool = ToolOf(element);
    SendMessageW(toolTip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ImageGrid::SetToolTipText(int element, std::wstring text) {
    // The mouse moves often; resetting an unchanged text would make a shown tip flicker.
    if (text == toolTipTexts_[element]) {
        return;
    }
    toolTipTexts_[element] = std::move(text);
    if (toolTip_ == nullptr) {
        return;
    }
    TTTOOLINFOW tool = ToolOf(element);
    SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void ImageGrid::RelayToToolTip(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (toolTip_ == nullptr) {
        return;
    }
    MSG event{};
    event.hwnd = hwnd_;
    event.message = message;
    event.wParam = wParam;
    event.lParam = lParam;
    event.time = static_cast<DWORD>(GetMessageTime());
    GetCursorPos(&event.pt);
    SendMessageW(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&event));
}

void ImageGrid::SetPicture(int element, PictureRef picture, PictureMaker maker) {
    elements_[element].picture_ = std::move(picture);
    elements_[element].maker_ = std::move(maker);
    Invalidate(element);
}

void ImageGrid::FitPicture(int element) {
    GridElement& shown = elements_[element];
    const SIZE box = shown.ClientSize();
    if (!shown.maker_ || box.cx <= 0 || box.cy <= 0 ||
        (shown.picture_ && shown.picture_->width() == box.cx &&
         shown.picture_->height() == box.cy)) {
        return;
    }
    // Kept as it was (and stretched) when the maker cannot, as when the file has gone since.
    if (PictureRef remade = shown.maker_(box)) {
        shown.picture_ = std::move(remade);
        Invalidate(element);
    }
}

void ImageGrid::SetMarked(int element, bool marked) {
    if (marked == elements_[element].marked_) {
        return;
    }
    elements_[element].marked_ = marked;
    Invalidate(element);
    NameChanged(element);  // a screen reader names the installed set's slot as such
}

void ImageGrid::SetVisible(int element, bool visible) {
    if (visible == elements_[element].visible_) {
        return;
    }
    elements_[element].visible_ = visible;
    if (pressed_ == element) {
        pressed_ = -1;
    }
    // Only the element that came or went is drawn again: the whole grid with its region, for an
    // arrow shown or hidden on most page turns, cost a millisecond of a 12 ms turn under Wine.
    UpdateRegion(false);
    RedrawWhereShownOrHidden(element);
    UpdateToolRect(element);
    if (hwnd_ != nullptr) {
        NotifyWinEvent(visible ? EVENT_OBJECT_SHOW : EVENT_OBJECT_HIDE, hwnd_, OBJID_CLIENT,
                       ChildId(element));
    }
}

void ImageGrid::SetCurrent(int element) {
    if (element == current_) {
        return;
    }
    Invalidate(current_);
    current_ = element;
    Invalidate(current_);
    if (HasFocus()) {
        NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, OBJID_CLIENT, ChildId(current_));
    }
}

void ImageGrid::NameChanged(int element) const {
    if (hwnd_ != nullptr && events_.name) {
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd_, OBJID_CLIENT, ChildId(element));
    }
}

void ImageGrid::Invalidate(int element) const {
    if (hwnd_ != nullptr) {
        InvalidateRect(hwnd_, &elements_[element].rect_, FALSE);
    }
}

int ImageGrid::ElementAt(POINT point) const {
    for (int element = 0; element < kImageElementCount; ++element) {
        if (elements_[element].visible_ && PtInRect(&elements_[element].rect_, point)) {
            return element;
        }
    }
    return -1;
}

void ImageGrid::PaintElement(HDC dc, int element, bool buffered) const {
    const GridElement& shown = elements_[element];
    const ImageOverlays overlays{shown.marked_, element == current_ && HasFocus()};
    const UINT dpi = WindowDpi(hwnd_);
    if (buffered) {
        PaintImageBox(dc, shown.rect_, shown.picture_, overlays, dpi);
    } else {
        DrawImageBox(dc, shown.rect_, shown.picture_, overlays, dpi);
    }
}

void ImageGrid::Paint(HDC dc) const {
    for (int element = 0; element < kImageElementCount; ++element) {
        if (elements_[element].visible_) {
            PaintElement(dc, element, false);
        }
    }
}

void ImageGrid::OnPaint() {
    PaintScope paint(hwnd_);
    for (int element = 0; element < kImageElementCount; ++element) {
        RECT overlap{};
        if (elements_[element].visible_ &&
            IntersectRect(&overlap, &elements_[element].rect_, &paint.area())) {
            PaintElement(paint.dc(), element, true);
        }
    }
}

LRESULT CALLBACK ImageGrid::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* grid =
            static_cast<ImageGrid*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        grid->hwnd_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(grid));
    }
    auto* grid = reinterpret_cast<ImageGrid*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (grid == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        grid->hwnd_ = nullptr;
        grid->toolTip_ = nullptr;
        if (grid->accessibility_) {
            grid->accessibility_->Disconnect();  // screen readers may hold objects still
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return grid->HandleMessage(message, wParam, lParam);
}

LRESULT ImageGrid::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSELEAVE) {
        RelayToToolTip(message, wParam, lParam);
    }
    const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel of the region
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_PRINTCLIENT:
            Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_LBUTTONDOWN:
            pressed_ = ElementAt(at);
            if (pressed_ >= 0) {
                SetCapture(hwnd_);
            }
            return 0;
        case WM_LBUTTONUP: {
            const int wasPressed = pressed_;
            pressed_ = -1;
            if (GetCapture() == hwnd_) {
                ReleaseCapture();
            }
            if (wasPressed >= 0 && ElementAt(at) == wasPressed && events_.clicked) {
                events_.clicked(wasPressed);
            }
            return 0;
        }
        case WM_CAPTURECHANGED:
            pressed_ = -1;
            return 0;
        case WM_MOUSEMOVE: {
            const int element = ElementAt(at);
            if (element >= 0 && events_.mouseMove) {
                events_.mouseMove(element);
            }
            return 0;
        }
        case WM_GETDLGCODE: {
            // Arrows, Enter and Space are the elements' own; Tab and Escape stay the window's.
            const auto* event = reinterpret_cast<const MSG*>(lParam);
            LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
            if (event != nullptr && event->message == WM_KEYDOWN && event->wParam == VK_RETURN) {
                code |= DLGC_WANTMESSAGE;
            }
            return code;
        }
        case WM_KEYDOWN:
            if (events_.keyDown && events_.keyDown(current_, static_cast<UINT>(wParam))) {
                return 0;
            }
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        case WM_SETFOCUS:
            Invalidate(current_);
            NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, OBJID_CLIENT, ChildId(current_));
            return 0;
        case WM_KILLFOCUS:
            Invalidate(current_);
            return 0;
        case WM_GETOBJECT:
            if (static_cast<LONG>(lParam) == static_cast<LONG>(OBJID_CLIENT) && accessibility_ &&
                accessibility_->connected()) {
                if (const LRESULT object = AccessibleGridObject(hwnd_, wParam, accessibility_)) {
                    return object;
                }
            }
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        default:
            return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

}  // namespace skyswap
