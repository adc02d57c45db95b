#include "layout_scaling.h"

#include <cmath>
#include <algorithm>
#include <limits>

namespace skyswap {
namespace {

constexpr int16_t kDesignWidth = 800;
constexpr int16_t kDesignHeight = 600;
constexpr int kMaxControls = 32767;  // the control index is a 16-bit number

std::optional<float> Finite(float value) {
    return std::isfinite(value) ? std::optional<float>(value) : std::nullopt;
}

template <typename Int>
std::optional<Int> RoundTo(float value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    // nearbyint rounds half to even in the default rounding mode.
    const double rounded = std::nearbyint(static_cast<double>(value));
    if (rounded < std::numeric_limits<Int>::min() || rounded > std::numeric_limits<Int>::max()) {
        return std::nullopt;
    }
    return static_cast<Int>(rounded);
}

std::optional<float> Read(ScalableWindow& window, int index, std::string_view name) {
    float value = 0;
    return window.Get(index, name, value) ? std::optional<float>(value) : std::nullopt;
}

ControlDesign ReadDesign(ScalableWindow& window, int index) {
    ControlDesign design;
    design.left = Read(window, index, property::Left);
    design.top = Read(window, index, property::Top);
    design.width = Read(window, index, property::Width);
    design.height = Read(window, index, property::Height);
    design.fontSize = Read(window, index, property::FontSize);
    design.x1 = Read(window, index, property::X1);
    design.y1 = Read(window, index, property::Y1);
    design.x2 = Read(window, index, property::X2);
    design.y2 = Read(window, index, property::Y2);
    return design;
}

// Sets one property to design x ratio; a control that lacks it, or refuses the value, keeps it.
void SetScaled(ScalableWindow& window, int index, std::string_view name,
               const std::optional<float>& design, float ratio) {
    if (design) {
        window.Set(index, name, *design * ratio);
    }
}

void ScaleControl(ScalableWindow& window, int index, const ControlDesign& design,
                  const LayoutMemory& layout) {
    const float rx = layout.ratioX;
    const float ry = layout.ratioY;
    if (window.IsHeightExempt(index)) {
        SetScaled(window, index, property::Left, design.left, rx);
        SetScaled(window, index, property::Top, design.top, ry);
        SetScaled(window, index, property::Width, design.width, rx);
    } else if (design.left && design.top && design.width && design.height) {
        window.Move(index, *design.left * rx, *design.top * ry, *design.width * rx,
                    *design.height * ry);
    }
    // A line follows the frame it stands in.
    SetScaled(window, index, property::X1, design.x1, rx);
    SetScaled(window, index, property::Y1, design.y1, ry);
    SetScaled(window, index, property::X2, design.x2, rx);
    SetScaled(window, index, property::Y2, design.y2, ry);
    // The mean of the two ratios, taken of the totals: a window made wider and then taller ends
    // with the same fonts as one sized both ways at once.
    SetScaled(window, index, property::FontSize, design.fontSize, (rx + ry) / 2.0F);
}

bool ScaleWindowItself(ScalableWindow& window, float ratioX, float ratioY) {
    float left = 0, top = 0, width = 0, height = 0;
    if (!window.GetWindow(property::Left, left) || !window.GetWindow(property::Top, top) ||
        !window.GetWindow(property::Width, width) || !window.GetWindow(property::Height, height)) {
        return false;
    }
    auto newLeft = CheckedMultiply(left, ratioX);
    auto newTop = CheckedMultiply(top, ratioY);
    const auto newWidth = CheckedMultiply(width, ratioX);
    const auto newHeight = CheckedMultiply(height, ratioY);
    if (!newLeft || !newTop || !newWidth || !newHeight) {
        return false;
    }
    // A window scaled where it stood may reach past the screen's edge or under the taskbar.
    TwipsArea area;
    if (window.WorkArea(area)) {
        *newLeft = KeepInside(*newLeft, *newWidth, area.left, area.width);
        *newTop = KeepInside(*newTop, *newHeight, area.top, area.height);
    }
    return window.MoveWindow(*newLeft, *newTop, *newWidth, *newHeight);
}

// Records the window's outer size as the base of the next resize.
bool SaveWindowSize(AppState& state, ScalableWindow& window) {
    float width = 0, height = 0;
    if (!window.GetWindow(property::Height, height) || !window.GetWindow(property::Width, width)) {
        return false;
    }
    const auto savedHeight = RoundToInt32(height);
    const auto savedWidth = RoundToInt32(width);
    if (!savedHeight || !savedWidth) {
        return false;
    }
    state.savedHeight = *savedHeight;
    state.savedWidth = *savedWidth;
    return true;
}

// The size right after a fit or a DPI change is the base of every later resize.
void RecordBase(AppState& state, ScalableWindow& window) {
    LayoutMemory& layout = state.layout;
    window.GetWindow(property::Width, layout.baseWidth);
    window.GetWindow(property::Height, layout.baseHeight);
    layout.baseRatioX = layout.ratioX;
    layout.baseRatioY = layout.ratioY;
}

}  // namespace

float FitFactor(float width, float height, float ratioX, float ratioY, const TwipsArea& area) {
    float factor = 1.0F;
    const float scaledWidth = width * ratioX;
    const float scaledHeight = height * ratioY;
    if (scaledWidth > area.width && scaledWidth > 0 && area.width > 0) {
        factor = std::min(factor, area.width / scaledWidth);
    }
    if (scaledHeight > area.height && scaledHeight > 0 && area.height > 0) {
        factor = std::min(factor, area.height / scaledHeight);
    }
    return std::isfinite(factor) ? factor : 1.0F;
}

float KeepInside(float position, float size, float areaStart, float areaSize) {
    return std::max(areaStart, std::min(position, areaStart + areaSize - size));
}

std::optional<float> CheckedDivide(float dividend, float divisor) {
    if (divisor == 0.0F || std::isnan(dividend) || std::isnan(divisor)) {
        return std::nullopt;
    }
    return Finite(dividend / divisor);
}

std::optional<float> CheckedMultiply(float a, float b) {
    return Finite(a * b);
}

std::optional<int16_t> RoundToInt16(float value) {
    return RoundTo<int16_t>(value);
}
std::optional<int32_t> RoundToInt32(float value) {
    return RoundTo<int32_t>(value);
}

namespace {

// Sets every control to its design times the given total ratios, then, at start, moves the
// window by this pass's own ratios.
void ApplyRatios(float totalX, float totalY, float ratioX, float ratioY, ScalableWindow& window,
                 AppState& state) {
    LayoutMemory& layout = state.layout;
    layout.ratioX = totalX;
    layout.ratioY = totalY;
    const int count = std::min(window.Count(), kMaxControls);
    if (static_cast<int>(layout.controls.size()) < count) {
        layout.controls.resize(static_cast<std::size_t>(count));
    }
    for (int index = 0; index < count; ++index) {
        auto& design = layout.controls[static_cast<std::size_t>(index)];
        if (!design) {
            design = ReadDesign(window, index);
        }
        ScaleControl(window, index, *design, layout);
    }
    if (state.moveWindowOnScale) {
        ScaleWindowItself(window, ratioX, ratioY);  // a fault leaves the window where it is
    }
}

}  // namespace

bool ScaleControls(float ratioX, float ratioY, ScalableWindow& window, AppState& state) {
    const auto totalX = CheckedMultiply(state.layout.ratioX, ratioX);
    const auto totalY = CheckedMultiply(state.layout.ratioY, ratioY);
    if (!CheckedDivide(ratioX + ratioY, 2.0F) || !totalX || !totalY ||
        !CheckedDivide(*totalX + *totalY, 2.0F)) {
        return false;
    }
    ApplyRatios(*totalX, *totalY, ratioX, ratioY, window, state);
    return true;
}

bool FitToScreen(AppState& state, ScalableWindow& window) {
    state.designWidth = kDesignWidth;
    state.designHeight = kDesignHeight;
    state.moveWindowOnScale = true;
    state.resizeArmed = false;

    const auto twipsX = RoundToInt16(window.TwipsPerPixelX());
    const auto twipsY = RoundToInt16(window.TwipsPerPixelY());
    if (!twipsX || !twipsY) {
        return false;
    }
    state.twipsPerPixelX = *twipsX;
    state.twipsPerPixelY = *twipsY;

    const auto heightPx = CheckedDivide(window.ScreenHeightTwips(), state.twipsPerPixelY);
    const auto screenHeight = heightPx ? RoundToInt16(*heightPx) : std::nullopt;
    if (!screenHeight) {
        return false;
    }
    state.screenHeightPx = *screenHeight;
    const auto widthPx = CheckedDivide(window.ScreenWidthTwips(), state.twipsPerPixelX);
    const auto screenWidth = widthPx ? RoundToInt16(*widthPx) : std::nullopt;
    if (!screenWidth) {
        return false;
    }
    state.screenWidthPx = *screenWidth;

    auto ratioX = CheckedDivide(state.screenWidthPx, state.designWidth);
    auto ratioY = CheckedDivide(state.screenHeightPx, state.designHeight);
    if (!ratioX || !ratioY) {
        return false;
    }
    window.SetScaleModeTwips();
    float widthBefore = 0, heightBefore = 0;
    const bool sizeKnown = window.GetWindow(property::Width, widthBefore) &&
                           window.GetWindow(property::Height, heightBefore);
    // On a screen whose shape is far from the design's, the window would reach under the taskbar
    // or past the screen: both ratios shrink alike until it fits, keeping the layout's shape.
    TwipsArea area;
    if (sizeKnown && window.WorkArea(area)) {
        const float factor = FitFactor(widthBefore, heightBefore, *ratioX, *ratioY, area);
        *ratioX *= factor;
        *ratioY *= factor;
    }
    if (!ScaleControls(*ratioX, *ratioY, window, state) || !SaveWindowSize(state, window)) {
        return false;
    }
    RecordBase(state, window);
    const LayoutMemory& layout = state.layout;
    // A move that leaves the size as it was raises no resize notification; the one that
    // resizeArmed waits to consume would then be the user's own first resize, which would do
    // nothing. There is nothing to consume in that case.
    if (sizeKnown && layout.baseWidth == widthBefore && layout.baseHeight == heightBefore) {
        state.resizeArmed = true;
    }
    return true;
}

bool FollowDpiChange(AppState& state, ScalableWindow& window, float ratioX, float ratioY) {
    const auto totalX = CheckedMultiply(state.layout.ratioX, ratioX);
    const auto totalY = CheckedMultiply(state.layout.ratioY, ratioY);
    if (!totalX || !totalY || !CheckedDivide(*totalX + *totalY, 2.0F)) {
        return false;
    }
    if (ratioX != 1.0F || ratioY != 1.0F) {
        const bool moveWindow = state.moveWindowOnScale;
        state.moveWindowOnScale = false;  // the window has its size already
        ApplyRatios(*totalX, *totalY, ratioX, ratioY, window, state);
        state.moveWindowOnScale = moveWindow;
    }
    if (!SaveWindowSize(state, window)) {
        return false;
    }
    RecordBase(state, window);
    return true;
}

bool RescaleToWindowSize(AppState& state, ScalableWindow& window) {
    if (!state.resizeArmed) {
        state.resizeArmed = true;
        return true;
    }
    // Minimising makes the window tiny; scaling to that would only be undone on restore.
    if (window.IsMinimized()) {
        return true;
    }
    state.moveWindowOnScale = false;
    float width = 0, height = 0;
    if (!window.GetWindow(property::Width, width) || !window.GetWindow(property::Height, height)) {
        return false;
    }
    const auto ratioX = CheckedDivide(width, static_cast<float>(state.savedWidth));
    const auto ratioY = CheckedDivide(height, static_cast<float>(state.savedHeight));
    if (!ratioX || !ratioY) {
        return false;
    }
    // The totals come from the size at start, not from the rounded saved size, so that rounding
    // never accumulates over many resizes.
    const LayoutMemory& layout = state.layout;
    const auto sinceStartX = CheckedDivide(width, layout.baseWidth);
    const auto sinceStartY = CheckedDivide(height, layout.baseHeight);
    const auto totalX =
        sinceStartX ? CheckedMultiply(layout.baseRatioX, *sinceStartX) : std::nullopt;
    const auto totalY =
        sinceStartY ? CheckedMultiply(layout.baseRatioY, *sinceStartY) : std::nullopt;
    if (!totalX || !totalY || !CheckedDivide(*totalX + *totalY, 2.0F)) {
        return false;
    }
    ApplyRatios(*totalX, *totalY, *ratioX, *ratioY, window, state);
    return SaveWindowSize(state, window);
}

}  // namespace skyswap
