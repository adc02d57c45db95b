#include "window_layout.h"

#include <algorithm>
#include <cmath>

#include "dpi.h"

namespace skyswap {
namespace {

// Beyond this a pixel coordinate no longer fits the window system's 16-bit coordinates.
constexpr double kMaxPixels = 32767.0;

bool Acceptable(float twips, double twipsPerPixel) {
    return std::isfinite(twips) && std::fabs(twips / twipsPerPixel) <= kMaxPixels;
}

}  // namespace

void WindowLayout::Attach(HWND window, UINT dpi) {
    window_ = window;
    SetDpi(dpi);
}

void WindowLayout::SetDpi(UINT dpi) {
    twipsPerPixel_ = kTwipsPerInch / (dpi != 0 ? dpi : kDefaultDpi);
}

float* WindowLayout::Property(int index, std::string_view name) {
    if (index < 0 || index >= kControlCount) {
        return nullptr;
    }
    ControlGeometry& control = geometry_[index];
    const ControlKind kind = kControls[index].kind;
    if (kind == ControlKind::Line) {
        if (name == property::X1)
            return &control.x1;
        if (name == property::Y1)
            return &control.y1;
        if (name == property::X2)
            return &control.x2;
        if (name == property::Y2)
            return &control.y2;
        return nullptr;
    }
    if (name == property::Left)
        return &control.left;
    if (name == property::Top)
        return &control.top;
    if (name == property::Width)
        return &control.width;
    if (name == property::Height)
        return &control.height;
    if (name == property::FontSize && kControls[index].font != FontRole::None) {
        return &control.fontPoints;
    }
    return nullptr;
}

bool WindowLayout::Get(int index, std::string_view name, float& value) {
    const float* member = Property(index, name);
    if (member == nullptr) {
        return false;
    }
    value = *member;
    return true;
}

bool WindowLayout::Set(int index, std::string_view name, float value) {
    float* member = Property(index, name);
    if (member == nullptr ||
        !Acceptable(value, name == property::FontSize ? 1.0 : twipsPerPixel_) ||
        (name == property::FontSize && value <= 0)) {
        return false;
    }
    *member = value;
    return true;
}

bool WindowLayout::Move(int index, float left, float top, float width, float height) {
    if (index < 0 || index >= kControlCount || kControls[index].kind == ControlKind::Line) {
        return false;
    }
    for (const float twips : {left, top, width, height}) {
        if (!Acceptable(twips, twipsPerPixel_)) {
            return false;
        }
    }
    ControlGeometry& control = geometry_[index];
    control.left = left;
    control.top = top;
    control.width = std::max(width, 0.0F);
    control.height = std::max(height, 0.0F);
    return true;
}

bool WindowLayout::GetWindow(std::string_view name, float& value) {
    RECT rect{};
    if (window_ == nullptr || !GetWindowRect(window_, &rect)) {
        return false;
    }
    double pixels = 0;
    if (name == property::Left) {
        pixels = rect.left;
    } else if (name == property::Top) {
        pixels = rect.top;
    } else if (name == property::Width) {
        pixels = rect.right - rect.left;
    } else if (name == property::Height) {
        pixels = rect.bottom - rect.top;
    } else {
        return false;
    }
    value = static_cast<float>(pixels * twipsPerPixel_);
    return true;
}

bool WindowLayout::MoveWindow(float left, float top, float width, float height) {
    for (const float twips : {left, top, width, height}) {
        if (!Acceptable(twips, twipsPerPixel_)) {
            return false;
        }
    }
    return SetWindowPos(window_, nullptr, ToPixels(left, twipsPerPixel_),
                        ToPixels(top, twipsPerPixel_), ToPixels(width, twipsPerPixel_),
                        ToPixels(height, twipsPerPixel_), SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

bool WindowLayout::IsMinimized() {
    return window_ != nullptr && IsIconic(window_);
}

bool WindowLayout::Monitor(MONITORINFO& info) const {
    info = {};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &info)) {
        return true;
    }
    info.rcMonitor = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    info.rcWork = info.rcMonitor;
    return false;
}

// The screen's pixels are the real ones, so in twips at the real DPI they measure what the
// unscaled pixels measure at 15 twips each.
float WindowLayout::ScreenWidthTwips() {
    MONITORINFO info;
    Monitor(info);
    return static_cast<float>((info.rcMonitor.right - info.rcMonitor.left) * twipsPerPixel_);
}

float WindowLayout::ScreenHeightTwips() {
    MONITORINFO info;
    Monitor(info);
    return static_cast<float>((info.rcMonitor.bottom - info.rcMonitor.top) * twipsPerPixel_);
}

bool WindowLayout::WorkArea(TwipsArea& area) {
    MONITORINFO info;
    if (window_ == nullptr || !Monitor(info)) {
        return false;
    }
    const RECT& work = info.rcWork;
    area.left = static_cast<float>(work.left * twipsPerPixel_);
    area.top = static_cast<float>(work.top * twipsPerPixel_);
    area.width = static_cast<float>((work.right - work.left) * twipsPerPixel_);
    area.height = static_cast<float>((work.bottom - work.top) * twipsPerPixel_);
    return true;
}

}  // namespace skyswap
