// The real window fitted to the screen it starts on and following its size. The test program
// runs once on the 800 x 600 screen with the other window tests, and on its own on larger Xvfb
// screens (see tests/CMakeLists.txt).
#include <gtest/gtest.h>

#include <cmath>

#include "controls_table.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

SIZE OuterSize(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// Where every control belongs: its design geometry times the ratios, in twips.
LayoutGeometry Expected(double ratioX, double ratioY) {
    LayoutGeometry geometry = DesignGeometry();
    for (ControlGeometry& control : geometry) {
        control.left = static_cast<float>(control.left * ratioX);
        control.width = static_cast<float>(control.width * ratioX);
        control.x1 = static_cast<float>(control.x1 * ratioX);
        control.x2 = static_cast<float>(control.x2 * ratioX);
        control.top = static_cast<float>(control.top * ratioY);
        control.height = static_cast<float>(control.height * ratioY);
        control.y1 = static_cast<float>(control.y1 * ratioY);
        control.y2 = static_cast<float>(control.y2 * ratioY);
    }
    return geometry;
}

void ExpectLayout(MainWindow& form, double ratioX, double ratioY) {
    const LayoutGeometry expected = Expected(ratioX, ratioY);
    const double twipsPerPixel = TwipsPerPixelOf(form.hwnd());
    for (int row = 0; row < kControlCount; ++row) {
        const ControlEntry& entry = kControls[row];
        SCOPED_TRACE(WideToUtf8(entry.name) + "(" + std::to_string(entry.arrayIndex) + ")");
        const PixelRect want = PlaceControl(row, expected, twipsPerPixel, twipsPerPixel);
        const RECT got = PlacedRect(form, entry.name, entry.arrayIndex);
        EXPECT_NEAR(got.left, want.left, 1);
        EXPECT_NEAR(got.top, want.top, 1);
        EXPECT_NEAR(got.right - got.left, want.width, 1);
        EXPECT_NEAR(got.bottom - got.top, want.height, 1);
    }
}

class Scaling : public ::testing::Test {
  protected:
    void SetUp() override {
        MakePictureLibrary(temp_, 12);
        form_ = std::make_unique<StartedForm>(temp_);
        ASSERT_TRUE(form_->started);
        const FitRatios ratios = ExpectedFitRatios(form().hwnd());
        ratioX_ = ratios.x;
        ratioY_ = ratios.y;
        twipsPerPixel_ = TwipsPerPixelOf(form().hwnd());
    }
    MainWindow& form() { return **form_; }

    TempFolder temp_;
    std::unique_ptr<StartedForm> form_;
    double ratioX_ = 1;
    double ratioY_ = 1;
    double twipsPerPixel_ = 15;
};

TEST_F(Scaling, StartFitsTheLayoutToTheScreen) {
    ::testing::Test::RecordProperty("screen", std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
                                                  std::to_string(GetSystemMetrics(SM_CYSCREEN)));
    ExpectLayout(form(), ratioX_, ratioY_);
    // The window grew by the same ratios, and the fonts by their mean.
    const SIZE outer = OuterSize(form().hwnd());
    EXPECT_NEAR(outer.cx, form().State().savedWidth / twipsPerPixel_, 1);
    const float exitPoints = form().State().layout.ratioX;
    EXPECT_NEAR(exitPoints, ratioX_, 1e-5);
    const LOGFONTW exit = FontOf(form().Control(L"Exit"));
    EXPECT_NEAR(-exit.lfHeight, 20.25 * 20 * (ratioX_ + ratioY_) / 2 / twipsPerPixel_, 1);
}

TEST_F(Scaling, AResizeScalesTheControlsAndMinimiseLeavesThemAlone) {
    const SIZE outer = OuterSize(form().hwnd());
    const int wider = outer.cx * 6 / 5;
    ResizeWindow(form().hwnd(), wider, outer.cy);
    ASSERT_EQ(OuterSize(form().hwnd()).cx, wider) << "the window system refused the size";
    ExpectLayout(form(), ratioX_ * wider / outer.cx, ratioY_);

    const std::vector<RECT> before = ControlRects(form());
    ShowWindow(form().hwnd(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(form().hwnd()));
    const std::vector<RECT> minimised = ControlRects(form());
    ShowWindow(form().hwnd(), SW_RESTORE);
    const std::vector<RECT> after = ControlRects(form());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_TRUE(EqualRect(&before[i], &minimised[i])) << "control " << i << " while minimised";
        EXPECT_TRUE(EqualRect(&before[i], &after[i])) << "control " << i << " after restoring";
    }

    // Back to the size it started with: exactly the start's layout.
    ResizeWindow(form().hwnd(), outer.cx, outer.cy);
    ExpectLayout(form(), ratioX_, ratioY_);
}

}  // namespace
}  // namespace skyswap::test
