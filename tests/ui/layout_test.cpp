// The window's geometry, fonts and pictures as a user sees them. On the 800 x 600 design screen
// at 96 DPI every number is the design's own; on other screens and at other display scalings it
// is the design times the ratios of the fit, drawn at the monitor's DPI.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "image_elements.h"
#include "resource.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

// Where the window shows each control on the 800 x 600 design screen at 96 DPI, in pixels of
// the client area (left, top, right, bottom): the design's twips over 15, read off the window
// once and checked against the drawing.
struct Placement {
    const wchar_t* name;
    int index;
    RECT onDesignScreen;
};

constexpr Placement kPlacements[] = {
    {L"LibraryFrame", kNoIndex, {9, 15, 436, 415}},
    {L"ImageElement", 0, {18, 36, 151, 121}},
    {L"ImageElement", 1, {156, 36, 289, 121}},
    {L"ImageElement", 2, {294, 36, 427, 121}},
    {L"ImageElement", 3, {18, 129, 151, 214}},
    {L"ImageElement", 4, {156, 129, 289, 214}},
    {L"ImageElement", 5, {294, 129, 427, 214}},
    {L"ImageElement", 6, {18, 222, 151, 307}},
    {L"ImageElement", 7, {156, 222, 289, 307}},
    {L"ImageElement", 8, {294, 222, 427, 307}},
    {L"ImageElement", 9, {87, 315, 220, 400}},
    {L"ImageElement", kRandomElement, {225, 315, 358, 400}},
    {L"ArrowOutline", 0, {18, 312, 85, 403}},
    {L"ImageElement", kBackArrow, {21, 336, 82, 382}},
    {L"ArrowOutline", 1, {360, 312, 427, 403}},
    {L"ImageElement", kNextArrow, {363, 336, 424, 385}},
    {L"SelectionFrame", kNoIndex, {441, 15, 598, 415}},
    {L"Preview", kNoIndex, {453, 36, 586, 121}},
    {L"LoadToGame", kNoIndex, {459, 129, 583, 160}},
    {L"SaveMyDefault", kNoIndex, {453, 174, 589, 205}},
    {L"Divider", kNoIndex, {447, 225, 591, 227}},
    {L"LoadGameDefault", kNoIndex, {453, 243, 589, 274}},
    {L"LoadMyDefault", kNoIndex, {459, 285, 583, 316}},
    {L"Exit", kNoIndex, {477, 351, 562, 400}},
};

// The buttons from top to bottom, as the player reads down the SELECTED frame.
constexpr const wchar_t* kButtonsTopToBottom[] = {L"LoadToGame", L"SaveMyDefault",
                                                  L"LoadGameDefault", L"LoadMyDefault", L"Exit"};

std::string Describe(const RECT& rect) {
    return "(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ", " +
           std::to_string(rect.right) + ", " + std::to_string(rect.bottom) + ")";
}

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

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
    RECT RectOf(const wchar_t* name, int index = kNoIndex) {
        return PlacedRect(form(), name, index);
    }
    // Pixels of the design screen scaled by the fit and drawn at this monitor's DPI.
    long ScaledX(long designPixels) const {
        return std::lround(designPixels * ratios_.x * 15 / twipsPerPixel_);
    }
    long ScaledY(long designPixels) const {
        return std::lround(designPixels * ratios_.y * 15 / twipsPerPixel_);
    }
    // A caption's cell height in pixels: its points grow with the mean of the two ratios.
    long FontHeight(double points) const {
        return std::lround(points * 20 * (ratios_.x + ratios_.y) / 2 / twipsPerPixel_);
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
    for (const Placement& placement : kPlacements) {
        SCOPED_TRACE(WideToUtf8(placement.name) + "(" + std::to_string(placement.index) + ")");
        const RECT rect = PlacedRect(form(), placement.name, placement.index);
        const RECT& design = placement.onDesignScreen;
        EXPECT_TRUE(Inside(rect, client)) << Describe(rect) << " outside the client area";
        if (onDesignScreen_) {
            EXPECT_EQ(Describe(rect), Describe(design));
            continue;
        }
        // Each edge is rounded on its own: within a pixel of the scaled design.
        EXPECT_NEAR(rect.left, ScaledX(design.left), 1);
        EXPECT_NEAR(rect.top, ScaledY(design.top), 1);
        EXPECT_NEAR(rect.right, ScaledX(design.right), 1);
        if (placement.name != std::wstring_view(L"Divider")) {
            EXPECT_NEAR(rect.bottom, ScaledY(design.bottom), 1);
        }
    }
    // The divider is two pixels thick at 96 DPI and as thick to the eye at every display
    // scaling, whatever the fit; either rounding of half a pixel will do.
    const RECT divider = RectOf(L"Divider");
    EXPECT_NEAR(divider.bottom - divider.top, 2 * 15 / twipsPerPixel_, 0.5);

    // The frames hold their controls.
    const RECT library = RectOf(L"LibraryFrame");
    const RECT selection = RectOf(L"SelectionFrame");
    EXPECT_FALSE(Overlap(library, selection));
    for (const Placement& placement : kPlacements) {
        const std::wstring_view name = placement.name;
        if (name == L"LibraryFrame" || name == L"SelectionFrame") {
            continue;
        }
        const bool inLibrary = name == L"ImageElement" || name == L"ArrowOutline";
        const RECT rect = RectOf(placement.name, placement.index);
        EXPECT_TRUE(Inside(rect, inLibrary ? library : selection))
            << WideToUtf8(placement.name) << "(" << placement.index << ") " << Describe(rect)
            << " outside its frame";
    }

    // Ten thumbnail slots of one size in rows of three; the tenth, on the bottom row, between the
    // back arrow and the random picture, which sits before the next arrow. The preview and the
    // random picture are as large as a slot.
    RECT slots[kSlotCount];
    for (int slot = 0; slot < kSlotCount; ++slot) {
        slots[slot] = RectOf(L"ImageElement", slot);
    }
    const RECT random = RectOf(L"ImageElement", kRandomElement);
    const RECT preview = RectOf(L"Preview");
    const RECT backOutline = RectOf(L"ArrowOutline", 0);
    const RECT nextOutline = RectOf(L"ArrowOutline", 1);
    const long slotWidth = slots[0].right - slots[0].left;
    const long slotHeight = slots[0].bottom - slots[0].top;
    for (const RECT& same : {slots[1], slots[2], slots[3], slots[4], slots[5], slots[6], slots[7],
                             slots[8], slots[9], random, preview}) {
        EXPECT_EQ(same.right - same.left, slotWidth) << Describe(same);
        EXPECT_EQ(same.bottom - same.top, slotHeight) << Describe(same);
    }
    for (int slot = 0; slot < 9; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        EXPECT_EQ(slots[slot].top, slots[slot / 3 * 3].top) << "a row shares its top";
        EXPECT_EQ(slots[slot].left, slots[slot % 3].left) << "a column shares its left";
        if (slot % 3 > 0) {
            EXPECT_LT(slots[slot - 1].right, slots[slot].left) << "left to right in the row";
        }
        if (slot >= 3) {
            EXPECT_LT(slots[slot - 3].bottom, slots[slot].top) << "rows from top to bottom";
        }
    }
    EXPECT_LT(slots[6].bottom, slots[9].top);
    EXPECT_EQ(slots[9].top, random.top);
    EXPECT_LT(backOutline.right, slots[9].left);
    EXPECT_LT(slots[9].right, random.left);
    EXPECT_LT(random.right, nextOutline.left);
    EXPECT_TRUE(Inside(RectOf(L"ImageElement", kBackArrow), backOutline));
    EXPECT_TRUE(Inside(RectOf(L"ImageElement", kNextArrow), nextOutline));

    // Nothing the player clicks covers another: the slots, the random picture, the arrows'
    // outlines and the buttons.
    std::vector<std::pair<std::string, RECT>> clickable;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        clickable.emplace_back("slot " + std::to_string(slot), slots[slot]);
    }
    clickable.emplace_back("random picture", random);
    clickable.emplace_back("back arrow", backOutline);
    clickable.emplace_back("next arrow", nextOutline);
    for (const wchar_t* button : kButtonsTopToBottom) {
        clickable.emplace_back(WideToUtf8(button), RectOf(button));
    }
    for (std::size_t a = 0; a < clickable.size(); ++a) {
        for (std::size_t b = a + 1; b < clickable.size(); ++b) {
            EXPECT_FALSE(Overlap(clickable[a].second, clickable[b].second))
                << clickable[a].first << " " << Describe(clickable[a].second) << " and "
                << clickable[b].first << " " << Describe(clickable[b].second);
        }
    }

    // Below the preview the buttons, in their order from top to bottom, the divider between
    // keeping a default and loading one.
    RECT above = preview;
    for (const wchar_t* button : kButtonsTopToBottom) {
        const RECT rect = RectOf(button);
        EXPECT_LE(above.bottom, rect.top) << WideToUtf8(button) << " below the one before";
        above = rect;
    }
    EXPECT_LE(RectOf(L"SaveMyDefault").bottom, divider.top);
    EXPECT_LE(divider.bottom, RectOf(L"LoadGameDefault").top);
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
    const GridElement& slot = form().ImageElement(0);
    const RECT slotBox{0, 0, slot.ClientSize().cx, slot.ClientSize().cy};
    EXPECT_TRUE(Near(ColourAt(slot, 0, 0), ThumbnailColour(0)));
    EXPECT_TRUE(Near(ColourAt(slot, slotBox.right - 1, slotBox.bottom - 1), ThumbnailColour(0)));

    const GridElement& next = form().ImageElement(kNextArrow);
    EXPECT_EQ(ColourAt(next, 0, 0), background) << "transparent corner of the arrow icon";
    EXPECT_NE(CentreColour(next), background) << "the arrow itself";

    // The stacking keeps the arrows above their rectangles: a click in the rectangle's middle
    // reaches the arrow.
    RECT arrow = next.rect();
    MapWindowPoints(next.grid(), form().hwnd(), reinterpret_cast<POINT*>(&arrow), 2);
    POINT middle{(arrow.left + arrow.right) / 2, (arrow.top + arrow.bottom) / 2};
    EXPECT_EQ(
        ChildWindowFromPointEx(form().hwnd(), middle, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT),
        next.grid());

    // The images are one Tab stop, the first slot at start, and a click on one never leaves
    // the focus on it.
    EXPECT_TRUE(GetWindowLongW(form().ImageGridWindow(), GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(form().ImageStop(), 0);
    SendMessageW(form().ImageGridWindow(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendMessageW(form().ImageGridWindow(), WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(GetFocus(), form().Control(L"LoadToGame"));
}

// Turning to the last page shows the back arrow and hides the next one: the grid draws the one
// where it appears, and the windows beneath draw the place of the other, before anything else
// is painted.
TEST_F(MainWindowLayout, AnArrowShownOrHiddenByAPageTurnIsDrawnAgainWhereItIs) {
    HWND window = form().hwnd();
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    const GridElement& back = form().ImageElement(kBackArrow);
    const GridElement& next = form().ImageElement(kNextArrow);
    const auto middleInWindow = [&](int element) {
        const RECT rect = PlacedRect(form(), L"ImageElement", element);
        return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    };
    const auto awaitsPaint = [&](HWND painter, POINT inWindow) {
        MapWindowPoints(window, painter, &inWindow, 1);
        UniqueRegion update(CreateRectRgn(0, 0, 0, 0));
        return GetUpdateRgn(painter, update.get(), FALSE) > NULLREGION &&
               PtInRegion(update.get(), inWindow.x, inWindow.y);
    };
    ASSERT_FALSE(back.visible());
    EXPECT_FALSE(awaitsPaint(back.grid(), middleInWindow(kNextArrow)));

    Click(next);
    ASSERT_TRUE(back.visible());
    ASSERT_FALSE(next.visible());
    EXPECT_TRUE(awaitsPaint(back.grid(), middleInWindow(kBackArrow)));
    bool redrawnBeneath = awaitsPaint(window, middleInWindow(kNextArrow));
    for (HWND sibling = GetWindow(window, GW_CHILD); sibling != nullptr;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        redrawnBeneath = redrawnBeneath || (sibling != next.grid() &&
                                            awaitsPaint(sibling, middleInWindow(kNextArrow)));
    }
    EXPECT_TRUE(redrawnBeneath) << "the frame beneath the hidden arrow";
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
