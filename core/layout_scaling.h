// Keeps the window's layout proportional: fitted to the screen at start, then following every
// change of the window's size. All geometry is in twips, single precision.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "app_state.h"

namespace skyswap {

// Property names a control may have. Controls placed by a box have the first four, those placed
// by end points (a line) the last four; a control without a font lacks "FontSize".
namespace property {
constexpr std::string_view Left = "Left";
constexpr std::string_view Top = "Top";
constexpr std::string_view Width = "Width";
constexpr std::string_view Height = "Height";
constexpr std::string_view FontSize = "FontSize";
constexpr std::string_view X1 = "X1";
constexpr std::string_view Y1 = "Y1";
constexpr std::string_view X2 = "X2";
constexpr std::string_view Y2 = "Y2";
}  // namespace property

struct TwipsArea {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// The factor (at most 1) by which both ratios of the fit shrink so that a window of `width` x
// `height` twips, scaled by them, fits `area`; 1 when it fits already or a size is not positive.
float FitFactor(float width, float height, float ratioX, float ratioY, const TwipsArea& area);

// Where a window of the given size goes so that it lies inside `area` as far as it can: moved
// the least distance, its top-left corner kept inside when it is larger than the area.
float KeepInside(float position, float size, float areaStart, float areaSize);

// The window as the scaling sees it: the window itself, its controls by index, and the screen.
class ScalableWindow {
  public:
    virtual ~ScalableWindow() = default;

    // Number of controls, every element of a control array and every control in a frame included.
    virtual int Count() = 0;
    // A control's property by name; false when the control lacks it or refuses the value.
    virtual bool Get(int index, std::string_view name, float& value) = 0;
    virtual bool Set(int index, std::string_view name, float value) = 0;
    virtual bool Move(int index, float left, float top, float width, float height) = 0;
    // The kind whose height the platform fixes (a drop-down combo box).
    virtual bool IsHeightExempt(int index) = 0;

    // The window's own outer rectangle ("Left", "Top", "Width", "Height").
    virtual bool GetWindow(std::string_view name, float& value) = 0;
    virtual bool MoveWindow(float left, float top, float width, float height) = 0;
    virtual bool IsMinimized() = 0;
    virtual void SetScaleModeTwips() = 0;

    virtual float TwipsPerPixelX() = 0;
    virtual float TwipsPerPixelY() = 0;
    virtual float ScreenWidthTwips() = 0;
    virtual float ScreenHeightTwips() = 0;
    // The part of the screen a window may cover (the taskbar left out), in twips; false when the
    // platform cannot tell, and then the fit does not limit the window.
    virtual bool WorkArea(TwipsArea& area) {
        (void)area;
        return false;
    }
};

// Start-up: scales every control and the window itself by the ratio of the screen to the
// 800 x 600 design screen, then records the window's size. False when an arithmetic fault
// (a zero or absurd screen metric) abandoned it.
bool FitToScreen(AppState& state, ScalableWindow& window);

// The window's size changed: rescales the controls by the ratio of the new size to the recorded
// one. The first notification after FitToScreen is consumed without effect; a minimised window is
// left alone. False when an arithmetic fault abandoned it before any control changed.
bool RescaleToWindowSize(AppState& state, ScalableWindow& window);

// The window moved to a monitor of another DPI and took the size the system gave it. The layout
// keeps its twips (so it is drawn larger or smaller in pixels), times the ratios by which the
// client area's size in twips changed where the system did not scale it exactly; the window's
// size now is the base of later resizes. False when an arithmetic fault abandoned it.
bool FollowDpiChange(AppState& state, ScalableWindow& window, float ratioX, float ratioY);

// One pass over all controls, and at start the window itself. Each control is set to its design
// geometry (read at its first pass) times the product of all ratios so far, so rounding never
// accumulates. Failing steps are skipped. False only when the ratios themselves are faulty.
bool ScaleControls(float ratioX, float ratioY, ScalableWindow& window, AppState& state);

// Floating-point arithmetic that reports invalid operations, division by zero and overflow.
std::optional<float> CheckedDivide(float dividend, float divisor);
std::optional<float> CheckedMultiply(float a, float b);
// Round half to even, with an overflow fault outside the target's range.
std::optional<int16_t> RoundToInt16(float value);
std::optional<int32_t> RoundToInt32(float value);

}  // namespace skyswap
