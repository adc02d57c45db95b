// The window at the display scaling of the screen it runs on (96, 120, 144 or 192 DPI: the test
// program runs once at each, see tests/CMakeLists.txt) and when it moves to a monitor of another
// DPI.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls_table.h"
#include "dpi.h"
#include "image_elements.h"
#include "owner_button.h"
#include "shapes.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

RECT MonitorWorkArea(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
}

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return 0;
    }
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

std::string NameOf(int row) {
    return WideToUtf8(kControls[row].name) + "(" + std::to_string(kControls[row].arrayIndex) + ")";
}

class Dpi : public ::testing::Test {
  protected:
    void SetUp() override {
        MakePictureLibrary(temp_, 23);
        form_ = std::make_unique<StartedForm>(temp_);
        ASSERT_TRUE(form_->started);
        ::testing::Test::RecordProperty("dpi", std::to_string(GetDpiForWindow(form().hwnd())));
    }
    MainWindow& form() { return **form_; }

    TempFolder temp_;
    std::unique_ptr<StartedForm> form_;
};

TEST_F(Dpi, TheWindowLiesOnTheScreenWithTheDesignsShareOfIt) {
    RECT window{};
    GetWindowRect(form().hwnd(), &window);
    const RECT work = MonitorWorkArea(form().hwnd());
    EXPECT_GE(window.left, work.left);
    EXPECT_GE(window.top, work.top);
    EXPECT_LE(window.right, work.right);
    EXPECT_LE(window.bottom, work.bottom);
    // The design's window is 616 of 800 pixels wide with its frame: the same share at every
    // scaling, where twice the scaling once gave a window wider than the screen.
    const double share = double(window.right - window.left) / (work.right - work.left);
    EXPECT_NEAR(share, 616.0 / 800, 0.02);
    for (int row = 0; row < kControlCount; ++row) {
        SCOPED_TRACE(NameOf(row));
        RECT control{};
        GetWindowRect(form().Control(kControls[row].name, kControls[row].arrayIndex), &control);
        EXPECT_GE(control.left, work.left);
        EXPECT_LE(control.right, work.right);
        EXPECT_LE(control.bottom, work.bottom);
    }
}

TEST_F(Dpi, CaptionsAreOutlineFacesAtTheirSizeAndFitTheirControls) {
    WindowDc dc(form().hwnd());
    for (int row = 0; row < kControlCount; ++row) {
        const ControlEntry& entry = kControls[row];
        if (entry.font == FontRole::None) {
            continue;
        }
        SCOPED_TRACE(NameOf(row));
        HWND control = form().Control(entry.name, entry.arrayIndex);
        const HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        SelectionScope selected(dc.get(), font);
        TEXTMETRICW metrics{};
        ASSERT_TRUE(GetTextMetricsW(dc.get(), &metrics));
        // A bitmap face stops at its largest fixed size and spreads its letters.
        EXPECT_NE(metrics.tmPitchAndFamily & (TMPF_VECTOR | TMPF_TRUETYPE), 0) << "an outline face";
        const LOGFONTW asked = FontOf(control);
        EXPECT_NEAR(metrics.tmHeight - metrics.tmInternalLeading, -asked.lfHeight, 1)
            << "drawn at the size asked for";

        const std::wstring caption = WindowText(control);
        SIZE extent{};
        GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &extent);
        RECT box{};
        GetClientRect(control, &box);
        if (entry.kind == ControlKind::Button) {
            // Inside the border and the focus outline, on one line.
            EXPECT_LE(extent.cx, box.right - 8) << WideToUtf8(caption);
            EXPECT_LE(extent.cy, box.bottom - 6) << WideToUtf8(caption);
        } else {
            EXPECT_LE(extent.cx, box.right / 2) << "the frame's caption leaves its edge visible";
        }
    }
}

TEST_F(Dpi, ASlotAndTheNextArrowTakeTheirClicksWhereTheyAreDrawn) {
    // A hit test at the middle of each, through the window system, finds it: it is on the
    // screen and nothing covers it.
    const auto reachable = [&](int element) {
        const GridElement& area = form().ImageElement(element);
        RECT rect = area.rect();
        MapWindowPoints(area.grid(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
        const POINT middle{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        const RECT work = MonitorWorkArea(form().hwnd());
        return PtInRect(&work, middle) && WindowFromPoint(middle) == area.grid();
    };
    ASSERT_TRUE(reachable(3));
    Click(form().ImageElement(3));
    EXPECT_EQ(form().State().selectedSet, 3);
    EXPECT_EQ(GetFocus(), form().Control(L"LoadToGame"));

    ASSERT_TRUE(reachable(kNextArrow));
    Click(form().ImageElement(kNextArrow));
    EXPECT_EQ(form().State().pageFirst, 10) << "the next page";
}

TEST_F(Dpi, AMoveToAMonitorOfAnotherDpiFollowsItAndComesBackExactly) {
    HWND window = form().hwnd();
    const UINT dpi = GetDpiForWindow(window);
    const UINT other = dpi * 5 / 4;  // a window still smaller than the screen
    RECT before{};
    GetWindowRect(window, &before);
    const std::vector<RECT> controls = ControlRects(form());
    const LOGFONTW exitFont = FontOf(form().Control(L"Exit"));
    const LOGFONTW tipFont = FontOf(form().ToolTip());

    // The rectangle Windows suggests holds the client area scaled by the change of DPI (each
    // edge rounded at both DPIs, so within three pixels of the old one scaled). The
    // window's frame stays as it is: only the message comes from another DPI, not the monitor.
    RECT suggested = SendDpiChange(window, other);

    RECT after{};
    GetWindowRect(window, &after);

    EXPECT_TRUE(EqualRect(&after, &suggested)) << "the window takes the suggested rectangle";
    const std::vector<RECT> scaled = ControlRects(form());
    for (int row = 0; row < kControlCount; ++row) {
        SCOPED_TRACE(NameOf(row));
        EXPECT_NEAR(scaled[row].left, controls[row].left * 1.25, 3);
        EXPECT_NEAR(scaled[row].top, controls[row].top * 1.25, 3);
        if (kControls[row].kind != ControlKind::Line) {
            EXPECT_NEAR(scaled[row].right, controls[row].right * 1.25, 3);
            EXPECT_NEAR(scaled[row].bottom, controls[row].bottom * 1.25, 3);
        }
    }
    EXPECT_NEAR(FontOf(form().Control(L"Exit")).lfHeight, exitFont.lfHeight * 1.25, 1);
    EXPECT_NEAR(FontOf(form().ToolTip()).lfHeight, tipFont.lfHeight * 1.25, 1)
        << "the tooltip's font is made for the new DPI";
    EXPECT_EQ(IconWidth(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0))),
              SystemMetricForDpi(SM_CXSMICON, other))
        << "the title bar's icon at the new size";
    const RECT next = scaled[RowOf(L"ImageElement", kNextArrow)];
    EXPECT_EQ(form().ImageElement(kNextArrow).picture()->width(),
              NearestIconSize(next.right - next.left, next.bottom - next.top))
        << "the arrow image nearest to the size it is drawn at";

    // And back: exactly where everything was.
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&before));
    const std::vector<RECT> back = ControlRects(form());
    for (int row = 0; row < kControlCount; ++row) {
        EXPECT_TRUE(EqualRect(&back[row], &controls[row])) << NameOf(row);
    }
    EXPECT_EQ(FontOf(form().Control(L"Exit")).lfHeight, exitFont.lfHeight);
    EXPECT_EQ(FontOf(form().ToolTip()).lfHeight, tipFont.lfHeight);
}

TEST_F(Dpi, TheArrowsOutlinesAreAsWideAsTheDpiMakesThem) {
    const UINT dpi = GetDpiForWindow(form().hwnd());
    const int width = OutlineWidth(dpi);
    int outlines = 0;
    for (int row = 0; row < kControlCount; ++row) {
        if (kControls[row].kind != ControlKind::Rectangle) {
            continue;
        }
        SCOPED_TRACE(NameOf(row));
        ++outlines;
        const HWND outline = form().Control(kControls[row].name, kControls[row].arrayIndex);
        RECT box{};
        GetClientRect(outline, &box);
        UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
        ASSERT_NE(GetWindowRgn(outline, region.get()), ERROR) << "no outline region";
        const int middle = box.bottom / 2;
        EXPECT_TRUE(PtInRegion(region.get(), width - 1, middle)) << "the outline at " << dpi;
        EXPECT_FALSE(PtInRegion(region.get(), width, middle)) << "the inside belongs to the arrow";
        EXPECT_TRUE(PtInRegion(region.get(), box.right - width, middle));
        EXPECT_FALSE(PtInRegion(region.get(), box.right - width - 1, middle));
        EXPECT_TRUE(PtInRegion(region.get(), box.right / 2, width - 1));
        EXPECT_FALSE(PtInRegion(region.get(), box.right / 2, width));
    }
    EXPECT_EQ(outlines, 2) << "the two arrows' outlines";
}

TEST(OwnerButtons, InsetsAndTheFocusFrameScaleWithTheDpi) {
    const RECT item{10, 20, 110, 60};
    const struct {
        UINT dpi;
        bool pushed;
        int border;
        RECT caption;
        RECT focus;
        int focusWidth;
    } cases[] = {
        {96, false, 1, {14, 23, 106, 57}, {14, 24, 106, 56}, 1},
        {96, true, 1, {15, 24, 107, 58}, {14, 24, 106, 56}, 1},
        {120, false, 1, {15, 24, 105, 56}, {15, 25, 105, 55}, 1},
        {144, false, 2, {16, 25, 104, 55}, {16, 26, 104, 54}, 2},
        {144, true, 2, {18, 27, 106, 57}, {16, 26, 104, 54}, 2},
        {192, false, 2, {18, 26, 102, 54}, {18, 28, 102, 52}, 2},
        {192, true, 2, {20, 28, 104, 56}, {18, 28, 102, 52}, 2},
    };
    const auto same = [](const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + (c.pushed ? " DPI, pushed" : " DPI"));
        const OwnerButtonGeometry geometry = OwnerButtonLayout(item, c.dpi, c.pushed);
        EXPECT_EQ(geometry.border, c.border);
        EXPECT_TRUE(same(geometry.caption, c.caption))
            << geometry.caption.left << "," << geometry.caption.top << "," << geometry.caption.right
            << "," << geometry.caption.bottom;
        EXPECT_TRUE(same(geometry.focus, c.focus));
        EXPECT_EQ(geometry.focusWidth, c.focusWidth);
    }
    EXPECT_EQ(OutlineWidth(96), 1);
    EXPECT_EQ(OutlineWidth(120), 1);
    EXPECT_EQ(OutlineWidth(144), 2);
    EXPECT_EQ(OutlineWidth(192), 2);
    EXPECT_EQ(OutlineWidth(288), 3);
    EXPECT_EQ(OutlineWidth(48), 1) << "never thinner than a pixel";
}

TEST(IconSizes, TheNearestImageToTheDrawnSize) {
    EXPECT_EQ(NearestIconSize(61, 46), 64) << "an arrow at 96 DPI";
    EXPECT_EQ(NearestIconSize(20, 12), 16);
    EXPECT_EQ(NearestIconSize(48, 30), 64) << "halfway: the larger image";
    EXPECT_EQ(NearestIconSize(122, 92), 128) << "an arrow at 200 %";
    EXPECT_EQ(NearestIconSize(900, 700), 128);
    EXPECT_EQ(NearestIconSize(0, 0), 16);
}

}  // namespace
}  // namespace skyswap::test
