// The window's geometry, fonts and pictures as a user sees them. On the 800 x 600 design screen
// at 96 DPI every number is the design's own; on other screens and at other display scalings it
// is the design times the ratios of the fit, drawn at the monitor's DPI.
#include <gtest/gtest.h>

#include "image_elements.h"
#include "resource.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

struct DesignControl {
    const wchar_t* name;
    int index;
    const char* container;  // "LibraryFrame", "SelectionFrame" or "" for the window
    int left;
    int top;
    int width;
    int height;
};

// The design in twips, as drawn up for the window; the line by its end points' box.
constexpr DesignControl kDesign[] = {
    {L"LibraryFrame", -1, "", 135, 225, 6405, 6000},
    {L"ArrowOutline", 1, "LibraryFrame", 5265, 4455, 1005, 1365},
    {L"ArrowOutline", 0, "LibraryFrame", 135, 4455, 1005, 1365},
    {L"ImageElement", 10, "LibraryFrame", 3240, 4500, 1995, 1275},
    {L"ImageElement", 12, "LibraryFrame", 5310, 4815, 915, 735},
    {L"ImageElement", 11, "LibraryFrame", 180, 4815, 915, 690},
    {L"ImageElement", 9, "LibraryFrame", 1170, 4500, 1995, 1275},
    {L"ImageElement", 8, "LibraryFrame", 4275, 3105, 1995, 1275},
    {L"ImageElement", 7, "LibraryFrame", 2205, 3105, 1995, 1275},
    {L"ImageElement", 6, "LibraryFrame", 135, 3105, 1995, 1275},
    {L"ImageElement", 5, "LibraryFrame", 4275, 1710, 1995, 1275},
    {L"ImageElement", 4, "LibraryFrame", 2205, 1710, 1995, 1275},
    {L"ImageElement", 3, "LibraryFrame", 135, 1710, 1995, 1275},
    {L"ImageElement", 2, "LibraryFrame", 4275, 315, 1995, 1275},
    {L"ImageElement", 1, "LibraryFrame", 2205, 315, 1995, 1275},
    {L"ImageElement", 0, "LibraryFrame", 135, 315, 1995, 1275},
    {L"SelectionFrame", -1, "", 6615, 225, 2355, 6000},
    {L"LoadGameDefault", -1, "SelectionFrame", 180, 3420, 2040, 465},
    {L"Exit", -1, "SelectionFrame", 540, 5040, 1275, 735},
    {L"LoadMyDefault", -1, "SelectionFrame", 270, 4050, 1860, 465},
    {L"SaveMyDefault", -1, "SelectionFrame", 180, 2385, 2040, 465},
    {L"LoadToGame", -1, "SelectionFrame", 270, 1710, 1860, 465},
    {L"Preview", -1, "SelectionFrame", 180, 315, 1995, 1275},
    {L"Divider", -1, "SelectionFrame", 90, 3150, 2160, 30},  // 2 pixels thick, whatever the twips
};

class MainWindowLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        MakePictureLibrary(temp_, 12);
        form_ = std::make_unique<StartedForm>(temp_);
        ASSERT_TRUE(form_->started);
        ratios_ = ExpectedFitRatios(form().hwnd());
        twipsPerPixel_ = TwipsPerPixelOf(form().hwnd());
        onDesignScreen_ = ratios_.x == 1 && ratios_.y == 1 && twipsPerPixel_ == 15;
    }
    MainWindow& form() { return **form_; }
    int X(double twips) const { return ToPixels(twips * ratios_.x, twipsPerPixel_); }
    int Y(double twips) const { return ToPixels(twips * ratios_.y, twipsPerPixel_); }
    int FontHeight(double points) const {
        return FontPixelHeight(points * (ratios_.x + ratios_.y) / 2, twipsPerPixel_);
    }

    FitRatios ratios_{1, 1};
    double twipsPerPixel_ = 15;
    bool onDesignScreen_ = true;

    TempFolder temp_;
    std::unique_ptr<StartedForm> form_;
};

TEST_F(MainWindowLayout, EveryControlSitsWhereTheDesignPutsIt) {
    RECT client{};
    GetClientRect(form().hwnd(), &client);
    if (onDesignScreen_) {
        EXPECT_EQ(client.right, 608);
        EXPECT_EQ(client.bottom, 429);
    }
    // Elsewhere the window's frame grows with the ratios too, so the client area is a little
    // larger than the design's scaled; the frames stay inside it with their margins.
    const RECT frame2 = ClientRectOf(form().Control(L"SelectionFrame"), form().hwnd());
    EXPECT_LE(frame2.right, client.right);
    EXPECT_LE(frame2.bottom, client.bottom);

    for (const DesignControl& design : kDesign) {
        SCOPED_TRACE(WideToUtf8(design.name) + "(" + std::to_string(design.index) + ")");
        int originX = 0;
        int originY = 0;
        if (design.container[0] != '\0') {
            for (const DesignControl& frame : kDesign) {
                if (WideToUtf8(frame.name) == design.container) {
                    originX = frame.left;
                    originY = frame.top;
                }
            }
        }
        HWND control = form().Control(design.name, design.index);
        ASSERT_NE(control, nullptr);
        const RECT rect = ClientRectOf(control, form().hwnd());
        // Each edge is rounded on its own: within a pixel of the scaled design, exact on the
        // design screen.
        const int tolerance = onDesignScreen_ ? 0 : 1;
        EXPECT_NEAR(rect.left, X(originX + design.left), tolerance);
        EXPECT_NEAR(rect.top, Y(originY + design.top), tolerance);
        EXPECT_NEAR(rect.right - rect.left, X(design.width), tolerance);
        if (design.name == std::wstring_view(L"Divider")) {
            EXPECT_EQ(rect.bottom - rect.top, ToPixels(design.height, twipsPerPixel_))
                << "as thick to the eye as two pixels at 96 DPI";
        } else {
            EXPECT_NEAR(rect.bottom - rect.top, Y(design.height), tolerance);
        }
    }
    // The sizes the layout promises in pixels.
    const RECT slot = ClientRectOf(form().Control(L"ImageElement", 0), form().hwnd());
    const RECT back = ClientRectOf(form().Control(L"ImageElement", kBackArrow), form().hwnd());
    if (onDesignScreen_) {
        EXPECT_EQ(slot.right - slot.left, 133);
        EXPECT_EQ(slot.bottom - slot.top, 85);
        EXPECT_EQ(back.bottom - back.top, 46);
    }
}

TEST_F(MainWindowLayout, CaptionsAndFonts) {
    EXPECT_EQ(WindowText(form().Control(L"LibraryFrame")), L"CLICK TO SELECT");
    EXPECT_EQ(WindowText(form().Control(L"SelectionFrame")), L"SELECTED");
    EXPECT_EQ(WindowText(form().Control(L"LoadToGame")), L"LOAD TO EAW");
    EXPECT_EQ(WindowText(form().Control(L"SaveMyDefault")), L"SAVE AS MY DEFAULT");
    EXPECT_EQ(WindowText(form().Control(L"LoadMyDefault")), L"LOAD MY DEFAULT");
    EXPECT_EQ(WindowText(form().Control(L"LoadGameDefault")), L"LOAD EAW DEFAULT");
    EXPECT_EQ(WindowText(form().Control(L"Exit")), L"EXIT");

    const LOGFONTW exit = FontOf(form().Control(L"Exit"));
    EXPECT_EQ(exit.lfHeight, -FontHeight(20.25)) << "20.25 points";
    EXPECT_GE(exit.lfWeight, FW_BOLD);
    EXPECT_TRUE(exit.lfItalic);
    const LOGFONTW button = FontOf(form().Control(L"SaveMyDefault"));
    EXPECT_EQ(button.lfHeight, -FontHeight(8.25)) << "8.25 points";
    EXPECT_EQ(button.lfWeight, FW_NORMAL);
    EXPECT_FALSE(button.lfItalic);
    const LOGFONTW frame = FontOf(form().Control(L"LibraryFrame"));
    EXPECT_EQ(frame.lfHeight, -FontHeight(8.25));
    EXPECT_GE(frame.lfWeight, FW_BOLD);
    if (onDesignScreen_) {
        EXPECT_EQ(exit.lfHeight, -27);
        EXPECT_EQ(button.lfHeight, -11);
    }
}

TEST_F(MainWindowLayout, PicturesFillTheirBoxAndIconsShowTheFrameThroughThem) {
    const COLORREF background = GetSysColor(COLOR_BTNFACE);
    // A 100 x 60 thumbnail stretched over the whole slot (133 x 85 on the design screen), to the
    // last pixel.
    const ImageArea& slot = form().ImageElement(0);
    RECT slotBox{};
    GetClientRect(slot.hwnd(), &slotBox);
    EXPECT_TRUE(Near(ColourAt(slot, 0, 0), ThumbnailColour(0)));
    EXPECT_TRUE(Near(ColourAt(slot, slotBox.right - 1, slotBox.bottom - 1), ThumbnailColour(0)));

    const ImageArea& next = form().ImageElement(kNextArrow);
    EXPECT_EQ(ColourAt(next, 0, 0), background) << "transparent corner of the arrow icon";
    EXPECT_NE(CentreColour(next), background) << "the arrow itself";

    // The stacking keeps the arrows above their rectangles: a click in the rectangle's middle
    // reaches the arrow.
    const RECT arrow = ClientRectOf(next.hwnd(), form().hwnd());
    POINT middle{(arrow.left + arrow.right) / 2, (arrow.top + arrow.bottom) / 2};
    EXPECT_EQ(
        ChildWindowFromPointEx(form().hwnd(), middle, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT),
        next.hwnd());

    // The images are one Tab stop, the first slot at start, and a click on one never leaves
    // the focus on it.
    for (int element = 0; element < kImageElementCount; ++element) {
        EXPECT_EQ((GetWindowLongW(form().ImageElement(element).hwnd(), GWL_STYLE) & WS_TABSTOP) != 0,
                  element == 0)
            << "element " << element;
    }
    SendMessageW(form().ImageElement(0).hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(form().ImageElement(0).hwnd(), WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(GetFocus(), form().Control(L"LoadToGame"));
}

TEST(Pictures, DecodeBmpJpegAndIcoAndRefuseWhatCannotBeShown) {
    TempFolder temp;
    PictureLoader loader;
    const auto path = [&](const char* name) { return Utf8ToWide(temp.Join(name)); };

    WritePicture(temp.Join("wide.bmp"), 8192, 3, RGB(10, 20, 30), ImageFormat::Bmp);
    WritePicture(temp.Join("too-wide.bmp"), 8193, 3, RGB(10, 20, 30), ImageFormat::Bmp);
    WritePicture(temp.Join("too-high.bmp"), 3, 8193, RGB(10, 20, 30), ImageFormat::Bmp);
    WritePicture(temp.Join("photo.jpg"), 640, 480, RGB(250, 250, 250), ImageFormat::Jpeg);
    // A JPEG named .bmp still shows: the content decides, not the name.
    WritePicture(temp.Join("named-wrong.bmp"), 50, 40, RGB(250, 250, 250), ImageFormat::Jpeg);
    temp.WriteFile("empty.bmp", "");

    const PictureRef wide = loader.FromFile(path("wide.bmp"));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->width(), 1024);
    EXPECT_EQ(wide->height(), 3);
    EXPECT_FALSE(loader.FromFile(path("too-wide.bmp")));
    EXPECT_FALSE(loader.FromFile(path("too-high.bmp")));
    const PictureRef photo = loader.FromFile(path("photo.jpg"));
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->width(), 640);
    EXPECT_FALSE(photo->hasAlpha());
    ASSERT_TRUE(loader.FromFile(path("named-wrong.bmp")));
    const char* const foreignName =
        "Wolken \xc3\xbc"
        "ber Br\xc3\xbc"
        "gge \xe2\x98\x81.bmp";
    WritePicture(temp.Join(foreignName), 8, 8, RGB(1, 2, 3), ImageFormat::Bmp);
    EXPECT_TRUE(loader.FromFile(path(foreignName))) << "a name outside the ANSI code page";
    EXPECT_FALSE(loader.FromFile(path("empty.bmp")));
    EXPECT_FALSE(loader.FromFile(path("missing.bmp")));

    // The decoder lets go of the file: it can be replaced at once.
    EXPECT_TRUE(DeleteFileW(path("photo.jpg").c_str()));

    const PictureRef arrow = loader.FromFile(Utf8ToWide(HostPath(SKYSWAP_RES_DIR "/next.ico")));
    ASSERT_TRUE(arrow) << "an icon file";
    EXPECT_EQ(arrow->width(), 128) << "the largest image of the icon";
    EXPECT_TRUE(arrow->hasAlpha());

    const PictureRef random = loader.FromResource(GetModuleHandleW(nullptr), IDR_RANDOM_JPEG);
    ASSERT_TRUE(random);
    EXPECT_EQ(random->width(), 200);
    EXPECT_EQ(random->height(), 129);
}

}  // namespace
}  // namespace skyswap::test
