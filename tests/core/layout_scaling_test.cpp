#include "layout_scaling.h"

#include <gtest/gtest.h>

#include "support/fake_scalable_window.h"

namespace skyswap {
namespace {

using test::FakeScalableWindow;

// A few controls of the main window: "LOAD TO EAW" inside its frame, the frame, an image (no
// font), the separating line (end points only), and a drop-down combo box (height-exempt).
struct Layout {
    Layout() {
        command1 = window.Add(
            {{"Left", 270}, {"Top", 1710}, {"Width", 1860}, {"Height", 465}, {"FontSize", 8.25F}});
        frame = window.Add(
            {{"Left", 6615}, {"Top", 225}, {"Width", 2355}, {"Height", 6000}, {"FontSize", 8.25F}});
        image = window.Add({{"Left", 135}, {"Top", 315}, {"Width", 1995}, {"Height", 1275}});
        line = window.Add({{"X1", 90}, {"Y1", 3150}, {"X2", 2250}, {"Y2", 3150}});
        combo = window.Add(
            {{"Left", 100}, {"Top", 200}, {"Width", 1000}, {"Height", 315}, {"FontSize", 10}},
            true);
    }
    void Screen(float widthPx, float heightPx, float twipsPerPixel) {
        window.screenWidthPx = widthPx;
        window.screenHeightPx = heightPx;
        window.twipsPerPixelX = window.twipsPerPixelY = twipsPerPixel;
    }
    float At(int control, const char* name) const { return window.Value(control, name); }

    FakeScalableWindow window;
    AppState state;
    int command1, frame, image, line, combo;
};

TEST(LayoutScaling, DesignScreenChangesNothing) {
    Layout layout;
    const auto before = layout.window.controls;
    ASSERT_TRUE(FitToScreen(layout.state, layout.window));
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(layout.window.controls[i].properties, before[i].properties) << i;
    }
    EXPECT_FLOAT_EQ(layout.window.window["Left"], 1200);
    EXPECT_FLOAT_EQ(layout.window.window["Width"], 9240);
    EXPECT_TRUE(layout.window.scaleModeTwips);
    EXPECT_EQ(layout.state.savedWidth, 9240);
    EXPECT_EQ(layout.state.savedHeight, 6960);
    EXPECT_EQ(layout.state.designWidth, 800);
    EXPECT_EQ(layout.state.designHeight, 600);
}

TEST(LayoutScaling, FitsLargerAndSmallerScreens) {
    for (const float twipsPerPixel : {15.0F, 12.0F}) {  // the same ratios at any density
        Layout layout;
        layout.Screen(1024, 768, twipsPerPixel);
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Left"), 345.6F);
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Top"), 2188.8F);
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Width"), 2380.8F);
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Height"), 595.2F);
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "FontSize"), 10.56F);
        // The window keeps its relative place on the screen.
        EXPECT_FLOAT_EQ(layout.window.window["Left"], 1536);
        EXPECT_FLOAT_EQ(layout.window.window["Top"], 1152);
        EXPECT_FLOAT_EQ(layout.window.window["Width"], 9240 * 1.28F);
        EXPECT_EQ(layout.state.savedWidth, 11827);  // 11827.2, as a whole number
        EXPECT_EQ(layout.state.screenWidthPx, 1024);
    }
    {
        Layout layout;
        layout.Screen(1280, 1024, 15);
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Left"), 432);
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Height"), 793.6F);
        EXPECT_NEAR(layout.At(layout.command1, "FontSize"), 13.64F, 1e-4);
        EXPECT_FLOAT_EQ(layout.state.layout.ratioY, 1.7066667F);
        EXPECT_FLOAT_EQ(layout.At(layout.combo, "FontSize"), 16.533334F);  // 10 pt x 1.6533334
    }
    {
        Layout layout;
        layout.Screen(640, 480, 15);
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Width"), 1488);
        EXPECT_FLOAT_EQ(layout.At(layout.frame, "Height"), 4800);
    }
    {  // Fractional twips per pixel are rounded before the division.
        Layout layout;
        layout.Screen(1024, 768, 13.33F);
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_EQ(layout.state.twipsPerPixelX, 13);
        EXPECT_EQ(layout.state.screenWidthPx, 1050);
        EXPECT_FLOAT_EQ(layout.state.layout.ratioX, 1.3125F);
    }
}

TEST(LayoutScaling, TheFitNeverCoversMoreThanTheWorkArea) {
    // A screen of the design's shape, with room to spare: ratios and position as without one.
    {
        Layout layout;
        layout.Screen(1024, 768, 15);
        layout.window.workArea = TwipsArea{0, 0, 1024 * 15, 728 * 15};
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_FLOAT_EQ(layout.state.layout.ratioX, 1.28F);
        EXPECT_FLOAT_EQ(layout.window.window["Left"], 1536);
        EXPECT_FLOAT_EQ(layout.window.window["Width"], 9240 * 1.28F);
    }
    // A wide screen whose work area is low: the height would not fit, so both ratios shrink alike
    // until the window's height is the work area's, and the window moves up to stay on it.
    {
        Layout layout;
        layout.Screen(3840, 600, 15);
        layout.window.workArea = TwipsArea{0, 0, 3840 * 15, 400 * 15};
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        const float factor = 400 * 15 / 6960.0F;
        EXPECT_NEAR(layout.state.layout.ratioX, 4.8F * factor, 1e-4);
        EXPECT_NEAR(layout.state.layout.ratioY, 1.0F * factor, 1e-4);
        EXPECT_NEAR(layout.window.window["Height"], 400 * 15, 0.5);
        EXPECT_NEAR(layout.window.window["Top"], 0, 0.5);
        EXPECT_LE(layout.window.window["Left"] + layout.window.window["Width"], 3840 * 15 + 0.5);
        EXPECT_NEAR(layout.At(layout.command1, "Width"), 1860 * 4.8F * factor, 0.1);
    }
    // A window that starts near the bottom right is pulled back onto the work area.
    {
        Layout layout;
        layout.Screen(1024, 768, 15);
        layout.window.window["Left"] = 9000;
        layout.window.window["Top"] = 8000;
        layout.window.workArea = TwipsArea{150, 0, 1000 * 15, 740 * 15};
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_FLOAT_EQ(layout.window.window["Left"], 150 + 1000 * 15 - 9240 * 1.28F);
        EXPECT_FLOAT_EQ(layout.window.window["Top"], 740 * 15 - 6960 * 1.28F);
    }
    EXPECT_FLOAT_EQ(FitFactor(0, 100, 2, 2, TwipsArea{0, 0, 10, 10}), 0.05F);
    EXPECT_FLOAT_EQ(FitFactor(100, 100, 1, 1, TwipsArea{0, 0, 0, 0}), 1.0F) << "no area known";
    EXPECT_FLOAT_EQ(KeepInside(-50, 10, 0, 100), 0);
    EXPECT_FLOAT_EQ(KeepInside(20, 200, 0, 100), 0) << "larger than the area: its corner stays";
}

TEST(LayoutScaling, ControlsOfEveryKindAreScaledAsFarAsTheyCan) {
    Layout layout;
    layout.Screen(1024, 768, 15);
    ASSERT_TRUE(FitToScreen(layout.state, layout.window));
    // No font: moved and sized all the same.
    EXPECT_FLOAT_EQ(layout.At(layout.image, "Width"), 2553.6F);
    // Height-exempt: left, top and width scale, the height stays.
    EXPECT_FLOAT_EQ(layout.At(layout.combo, "Left"), 128);
    EXPECT_FLOAT_EQ(layout.At(layout.combo, "Width"), 1280);
    EXPECT_FLOAT_EQ(layout.At(layout.combo, "Height"), 315);
    EXPECT_FLOAT_EQ(layout.At(layout.combo, "FontSize"), 12.8F);
    // The line follows its frame instead of running behind the grown buttons.
    EXPECT_FLOAT_EQ(layout.At(layout.line, "X1"), 115.2F);
    EXPECT_FLOAT_EQ(layout.At(layout.line, "Y1"), 4032);
    EXPECT_FLOAT_EQ(layout.At(layout.line, "X2"), 2880);

    // A window without controls is still fitted.
    FakeScalableWindow empty;
    empty.screenWidthPx = 1024;
    empty.screenHeightPx = 768;
    AppState state;
    ASSERT_TRUE(FitToScreen(state, empty));
    EXPECT_FLOAT_EQ(empty.window["Left"], 1536);
}

TEST(LayoutScaling, TheStartUpNotificationIsConsumedAndLaterOnesScale) {
    {  // Delivered during the start-up move itself: consumed there.
        Layout layout;
        layout.Screen(1024, 768, 15);
        int notifications = 0;
        layout.window.onResize = [&] {
            ++notifications;
            RescaleToWindowSize(layout.state, layout.window);
        };
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_EQ(notifications, 1);
        EXPECT_TRUE(layout.state.resizeArmed);
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Left"), 345.6F) << "scaled once, not twice";
    }
    {  // Queued until after the start-up: the first one handled is consumed.
        Layout layout;
        layout.Screen(1024, 768, 15);
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_FALSE(layout.state.resizeArmed);
        const int saved = layout.state.savedWidth;
        ASSERT_TRUE(RescaleToWindowSize(layout.state, layout.window));
        EXPECT_TRUE(layout.state.resizeArmed);
        EXPECT_EQ(layout.state.savedWidth, saved);
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Left"), 345.6F);
    }
    {  // No notification at all, because the size did not change: the user's first resize
       // is not swallowed.
        Layout layout;
        ASSERT_TRUE(FitToScreen(layout.state, layout.window));
        EXPECT_TRUE(layout.state.resizeArmed);
        layout.window.window["Width"] = 9240 * 1.2F;
        ASSERT_TRUE(RescaleToWindowSize(layout.state, layout.window));
        EXPECT_FLOAT_EQ(layout.At(layout.command1, "Left"), 324);
    }
}

TEST(LayoutScaling, ResizesFollowTheWindowButNeverMoveIt) {
    Layout layout;
    ASSERT_TRUE(FitToScreen(layout.state, layout.window));
    // 1.2 times as wide as the saved size, as high: left and width x 1.2, fonts x 1.1.
    layout.window.window["Width"] = 9240 * 1.2F;
    const int movesBefore = layout.window.windowMoves;
    ASSERT_TRUE(RescaleToWindowSize(layout.state, layout.window));
    EXPECT_FLOAT_EQ(layout.At(layout.command1, "Left"), 324);
    EXPECT_FLOAT_EQ(layout.At(layout.command1, "Width"), 2232);
    EXPECT_FLOAT_EQ(layout.At(layout.command1, "Top"), 1710);
    EXPECT_FLOAT_EQ(layout.At(layout.command1, "Height"), 465);
    EXPECT_FLOAT_EQ(layout.At(layout.command1, "FontSize"), 9.075F);
    EXPECT_EQ(layout.window.windowMoves, movesBefore);
    EXPECT_FALSE(layout.state.moveWindowOnScale);
    EXPECT_EQ(layout.state.savedWidth, 11088);
}

TEST(LayoutScaling, NoDriftThroughResizesMinimiseAndRestore) {
    Layout layout;
    layout.window.wholePixels = true;
    layout.Screen(1024, 768, 15);
    layout.window.onResize = [&] { RescaleToWindowSize(layout.state, layout.window); };
    ASSERT_TRUE(FitToScreen(layout.state, layout.window));
    layout.window.onResize = nullptr;
    const auto fitted = layout.window.controls;
    const auto fittedWindow = layout.window.window;

    for (int i = 0; i < 100; ++i) {
        layout.window.window["Width"] = fittedWindow.at("Width") * (i % 2 == 0 ? 1.37F : 1.0F);
        layout.window.window["Height"] = fittedWindow.at("Height") * (i % 2 == 0 ? 0.71F : 1.0F);
        ASSERT_TRUE(RescaleToWindowSize(layout.state, layout.window));
    }
    for (std::size_t i = 0; i < fitted.size(); ++i) {
        for (const auto& [name, value] : fitted[i].properties) {
            EXPECT_NEAR(layout.window.controls[i].properties[name], value, 1e-3)
                << "control " << i << " " << name;
        }
    }

    // Minimised: nothing is scaled; restored: everything is as before.
    layout.window.minimized = true;
    layout.window.window["Width"] = 160 * 15;
    layout.window.window["Height"] = 28 * 15;
    ASSERT_TRUE(RescaleToWindowSize(layout.state, layout.window));
    for (std::size_t i = 0; i < fitted.size(); ++i) {
        EXPECT_EQ(layout.window.controls[i].properties, fitted[i].properties)
            << "control " << i << " was scaled while the window was minimised";
    }
    layout.window.minimized = false;
    layout.window.window = fittedWindow;
    ASSERT_TRUE(RescaleToWindowSize(layout.state, layout.window));
    for (std::size_t i = 0; i < fitted.size(); ++i) {
        EXPECT_EQ(layout.window.controls[i].properties, fitted[i].properties) << i;
    }
}

TEST(LayoutScaling, FaultsBeyondTheLimitsAbandonTheOperation) {
    const auto untouched = Layout().window.controls;
    for (const float twipsPerPixel : {0.0F, 0.4F, 40000.0F, NAN}) {
        Layout layout;
        layout.Screen(1024, 768, twipsPerPixel);
        EXPECT_FALSE(FitToScreen(layout.state, layout.window)) << twipsPerPixel;
        EXPECT_EQ(layout.window.windowMoves, 0);
        EXPECT_EQ(layout.window.controls[0].properties, untouched[0].properties);
        EXPECT_EQ(layout.state.savedWidth, 0);
    }
    {  // A screen of more than 32767 pixels.
        Layout layout;
        layout.Screen(40000, 768, 15);
        EXPECT_FALSE(FitToScreen(layout.state, layout.window));
        EXPECT_EQ(layout.window.controls[0].properties, untouched[0].properties);
    }
    {  // An armed resize before any size was recorded: division by zero, nothing changes.
        Layout layout;
        layout.state.resizeArmed = true;
        EXPECT_FALSE(RescaleToWindowSize(layout.state, layout.window));
        EXPECT_EQ(layout.window.controls[0].properties, untouched[0].properties);
        EXPECT_EQ(layout.state.savedWidth, 0);
    }
    {  // Ratios that overflow: the pass is refused as a whole.
        Layout layout;
        EXPECT_FALSE(ScaleControls(3e38F, 3e38F, layout.window, layout.state));
        EXPECT_EQ(layout.window.controls[0].properties, untouched[0].properties);
    }
}

TEST(LayoutScaling, RoundsHalfToEvenWithOverflowFaults) {
    EXPECT_EQ(RoundToInt16(2.5F), 2);
    EXPECT_EQ(RoundToInt16(3.5F), 4);
    EXPECT_EQ(RoundToInt16(-2.5F), -2);
    EXPECT_EQ(RoundToInt16(32767.4F), 32767);
    EXPECT_FALSE(RoundToInt16(32767.6F));
    EXPECT_FALSE(RoundToInt16(INFINITY));
    EXPECT_EQ(RoundToInt32(11827.2F), 11827);
    EXPECT_FALSE(RoundToInt32(3e9F));
    EXPECT_FALSE(CheckedDivide(1, 0));
    EXPECT_FALSE(CheckedDivide(0, 0));
    EXPECT_FALSE(CheckedDivide(3e38F, 1e-3F));
    EXPECT_FLOAT_EQ(*CheckedDivide(1024, 800), 1.28F);
}

}  // namespace
}  // namespace skyswap
