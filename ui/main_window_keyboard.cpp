// MainWindow without the mouse: the image elements as one stop in the Tab cycle with the arrow keys
// inside it, the dialog manager's arrow keys between the buttons, screen-reader names, and
// repainting when the theme or the system colours change.
#include "main_window.h"

#include <commctrl.h>

#include "element_names.h"
#include "image_keyboard.h"
#include "paging.h"
#include "text_win.h"

namespace skyswap {

namespace {

void SetStyleBit(HWND window, LONG bit, bool on) {
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG wanted = on ? (style | bit) : (style & ~bit);
    if (wanted != style) {
        SetWindowLongW(window, GWL_STYLE, wanted);
    }
}

bool HasStyle(HWND window, LONG bit) {
    return (GetWindowLongW(window, GWL_STYLE) & bit) != 0;
}

}  // namespace

void MainWindow::ConnectImageElements() {
    // The buttons are one group from the first in Tab order on.
    int firstButton = -1;
    for (int row = 0; row < kControlCount; ++row) {
        if (kControls[row].kind == ControlKind::Button &&
            (firstButton < 0 || kControls[row].tabIndex < kControls[firstButton].tabIndex)) {
            firstButton = row;
        }
    }
    if (firstButton >= 0) {
        SetStyleBit(controls_[firstButton], WS_GROUP, true);
    }
    for (int element = 0; element < kImageElementCount; ++element) {
        ImageArea& area = ImageElementArea(element);
        // Each element starts a group, so the arrow keys on the buttons stay among the buttons;
        // one of them at a time is the group's Tab stop.
        SetStyleBit(area.hwnd(), WS_GROUP, true);
        SetStyleBit(area.hwnd(), WS_TABSTOP, element == imageStop_);
        area.SetAccessibility(
            {[this, element] {
                 const bool installed = element < kSlotCount && SlotShowsInstalledSet(element);
                 return Utf8ToWide(ElementName(state_, Files(), element, installed));
             },
             [this, element] {
                 const HWND window = ImageElementArea(element).hwnd();
                 PostMessageW(
                     hwnd_, WM_COMMAND,
                     MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(window)), kImageAreaClicked),
                     reinterpret_cast<LPARAM>(window));
             }});
    }
}

int MainWindow::ImageElementOf(HWND window) const {
    for (int element = 0; element < kImageElementCount; ++element) {
        if (window != nullptr && imageAreas_[elementRows_[element]]->hwnd() == window) {
            return element;
        }
    }
    return -1;
}

void MainWindow::MoveImageStop(int element, bool focus) {
    if (element != imageStop_) {
        SetStyleBit(ImageElementArea(imageStop_).hwnd(), WS_TABSTOP, false);
        imageStop_ = element;
        SetStyleBit(ImageElementArea(imageStop_).hwnd(), WS_TABSTOP, true);
    }
    if (focus) {
        SetFocus(ImageElementArea(imageStop_).hwnd());
    }
}

// Before the element goes, so that the focus moves on instead of falling to the window.
void MainWindow::ImageHiding(int element) {
    if (element != imageStop_) {
        return;
    }
    ElementVisibility visible{};
    for (int other = 0; other < kImageElementCount; ++other) {
        visible[other] = other != element && HasStyle(ImageElementArea(other).hwnd(), WS_VISIBLE);
    }
    const bool hadFocus = GetFocus() == ImageElementArea(element).hwnd();
    MoveImageStop(ShownGridElement(element, visible), hadFocus);
}

bool MainWindow::OnImageElementKeyDown(int index, UINT key) {
    ElementVisibility visible{};
    for (int element = 0; element < kImageElementCount; ++element) {
        visible[element] = HasStyle(ImageElementArea(element).hwnd(), WS_VISIBLE);
    }
    switch (key) {
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN: {
            const GridMove move = key == VK_LEFT    ? GridMove::Left
                                  : key == VK_RIGHT ? GridMove::Right
                                  : key == VK_UP    ? GridMove::Up
                                                    : GridMove::Down;
            MoveImageStop(NextGridElement(index, move, visible), true);
            return true;
        }
        case VK_RETURN:
        case VK_SPACE:
            if (index == kBackArrow || index == kNextArrow) {
                // The focus stays on the arrow, so that the next press turns the next page.
                ActivateImage(index);
            } else {
                OnImageElementClicked(index);
            }
            return true;
        case VK_NEXT:
        case VK_PRIOR:
            // As the arrows do; the page logic itself stops at the first and the last page.
            ActivateImage(key == VK_NEXT ? kNextArrow : kBackArrow);
            return true;
        case VK_HOME:
            ShowFirstPage(state_, *this);
            return true;
        case VK_END:
            ShowLastPage(state_, *this);
            return true;
        default:
            break;
    }
    return false;
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
    const int element = ImageElementOf(header.hwndFrom);
    if (element < 0 || header.code != static_cast<UINT>(NM_KEYDOWN)) {
        return 0;
    }
    return OnImageElementKeyDown(element, reinterpret_cast<const NMKEY&>(header).nVKey) ? 1 : 0;
}

void MainWindow::OnNextDlgCtl(WPARAM wParam, LPARAM lParam) {
    HWND target = nullptr;
    if (LOWORD(lParam) != 0) {
        target = reinterpret_cast<HWND>(wParam);
    } else {
        target = GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
    }
    if (target == nullptr || !IsChild(hwnd_, target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target)) {
        return;
    }
    const int element = ImageElementOf(target);
    if (element >= 0) {
        MoveImageStop(element, true);
    } else if (HasStyle(target, WS_TABSTOP)) {
        SetFocus(target);
    }
}

void MainWindow::OnSystemColoursChanged() {
    if (toolTip_ != nullptr) {
        SendMessageW(toolTip_, WM_SYSCOLORCHANGE, 0, 0);
    }
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

}  // namespace skyswap
