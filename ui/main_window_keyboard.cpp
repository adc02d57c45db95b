// MainWindow without the mouse: the image elements as one stop in the Tab cycle with the arrow keys
// inside it, the dialog manager's arrow keys between the buttons, screen-reader names, and
// repainting when the theme or the system colours change.
#include "main_window.h"

#include <commctrl.h>
#include <oleacc.h>

#include "element_names.h"
#include "image_keyboard.h"
#include "paging.h"
#include "text_win.h"
#include "window_messages.h"

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
    // The buttons are one group from the first in Tab order on; the image grid is a group and
    // one Tab stop of its own, so the arrow keys on the buttons stay among the buttons.
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
}

bool MainWindow::CreateImageGrid() {
    ImageGrid::Events events;
    events.clicked = [this](int element) { OnImageElementClicked(element); };
    events.mouseMove = [this](int element) { OnImageElementMouseMove(element); };
    events.keyDown = [this](int element, UINT key) { return OnImageElementKeyDown(element, key); };
    events.name = [this](int element) { return ImageElementName(element); };
    // Posted, as a click comes through the queue: the screen reader's call returns first.
    events.press = [this](int element) {
        PostMessageW(hwnd_, kPressImageElementMessage, static_cast<WPARAM>(element), 0);
    };
    events.navigate = [this](int element, LONG direction) {
        return ImageElementInDirection(element, direction);
    };
    if (!grid_.Create(instance_, hwnd_, kFirstControlId + kControlCount, std::move(events))) {
        return false;
    }
    grid_.Layout(ImageElementRects());
    return true;
}

std::wstring MainWindow::ImageElementName(int element) {
    const bool installed = element < kSlotCount && SlotShowsInstalledSet(element);
    return Utf8ToWide(ElementName(state_, Files(), element, installed));
}

int MainWindow::ImageElementInDirection(int element, LONG direction) const {
    const GridMove move = direction == NAVDIR_LEFT    ? GridMove::Left
                          : direction == NAVDIR_RIGHT ? GridMove::Right
                          : direction == NAVDIR_UP    ? GridMove::Up
                                                      : GridMove::Down;
    const int next = NextGridElement(element, move, ShownImageElements());
    return next != element ? next : -1;
}

ElementVisibility MainWindow::ShownImageElements() const {
    ElementVisibility visible{};
    for (int element = 0; element < kImageElementCount; ++element) {
        visible[element] = ImageElement(element).visible();
    }
    return visible;
}

int MainWindow::FocusedImageElement() const {
    return grid_.HasFocus() ? grid_.Current() : -1;
}

void MainWindow::MoveImageStop(int element, bool focus) {
    grid_.SetCurrent(element);
    if (focus) {
        SetFocus(grid_.hwnd());
    }
}

// Before the element goes, so that the focus moves on to a shown one.
void MainWindow::ImageHiding(int element) {
    if (element != grid_.Current()) {
        return;
    }
    ElementVisibility visible = ShownImageElements();
    visible[element] = false;
    MoveImageStop(ShownGridElement(element, visible), false);
}

bool MainWindow::OnImageElementKeyDown(int index, UINT key) {
    const ElementVisibility visible = ShownImageElements();
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
    if (HasStyle(target, WS_TABSTOP)) {
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
