// The window without the mouse: the thumbnails as one Tab stop with the arrow keys inside it,
// the page keys, Enter and Space, arrow keys between the buttons, and the repaint when the
// system colours change. Keys go through the message queue and the dialog manager.
#include <windows.h>

#include <gtest/gtest.h>

#include "dpi.h"
#include "high_contrast.h"
#include "image_elements.h"
#include "text_win.h"
#include "installed_marker.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

// The Tab cycle from "LOAD EAW DEFAULT" to the thumbnails.
void TabIntoTheThumbnails(MainWindow& form) {
    SetFocus(form.Control(L"LoadGameDefault"));
    PostKey(form.hwnd(), VK_TAB);
}

TEST(MainWindowKeyboard, ArrowKeysMoveAVisibleOutlineInGridOrderSkippingHiddenArrows) {
    TempFolder temp;
    MakePictureLibrary(temp, 23);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const HWND dialog = form->hwnd();

    TabIntoTheThumbnails(*form);
    ASSERT_EQ(FocusedElement(*form), 0);

    // The outline: a light ring outside a dark one, each three pixels at 96 DPI, over the
    // picture; gone when the focus leaves.
    const int ring = MulDiv(3, static_cast<int>(WindowDpi(dialog)), kDefaultDpi);
    const GridElement& slot0 = form->ImageElement(0);
    EXPECT_TRUE(Near(ColourAt(slot0, 0, 0), GetSysColor(COLOR_WINDOW), 0));
    EXPECT_TRUE(Near(ColourAt(slot0, ring, ring), GetSysColor(COLOR_WINDOWTEXT), 0));
    EXPECT_TRUE(Near(ColourAt(slot0, 2 * ring + 1, 2 * ring + 1), ThumbnailColour(0)));
    EXPECT_TRUE(Near(CentreColour(slot0), ThumbnailColour(0)));

    // Right goes along the rows: 0..8, then (the back arrow hidden on the first page) slot 9,
    // random, next, and stops there.
    std::vector<int> visited;
    for (int step = 0; step < 13; ++step) {
        PostKey(dialog, VK_RIGHT);
        visited.push_back(FocusedElement(*form));
    }
    EXPECT_EQ(visited, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, kRandomElement, kNextArrow,
                                         kNextArrow, kNextArrow}));
    EXPECT_TRUE(Near(ColourAt(slot0, 0, 0), ThumbnailColour(0))) << "no outline left behind";
    const GridElement& next = form->ImageElement(kNextArrow);
    EXPECT_TRUE(Near(ColourAt(next, 0, 0), GetSysColor(COLOR_WINDOW), 0));

    PostKey(dialog, VK_UP);
    EXPECT_EQ(FocusedElement(*form), 8);
    PostKey(dialog, VK_LEFT);
    PostKey(dialog, VK_LEFT);
    EXPECT_EQ(FocusedElement(*form), 6);
    PostKey(dialog, VK_DOWN);
    EXPECT_EQ(FocusedElement(*form), 9);
    PostKey(dialog, VK_LEFT);
    EXPECT_EQ(FocusedElement(*form), 8) << "past the hidden back arrow";
    PostKey(dialog, VK_UP);
    PostKey(dialog, VK_UP);
    PostKey(dialog, VK_UP);
    EXPECT_EQ(FocusedElement(*form), 2);

    // The arrows stay the window's: nothing is chosen, no page turned.
    EXPECT_FALSE(form->State().selectedSet.has_value());
    EXPECT_EQ(form->State().pageFirst, 0);
}

TEST(MainWindowKeyboard, EnterOnAnArrowTurnsThePageAndAHiddenArrowHandsTheFocusOn) {
    TempFolder temp;
    MakePictureLibrary(temp, 23);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const HWND dialog = form->hwnd();
    TabIntoTheThumbnails(*form);
    for (int step = 0; step < 12; ++step) {
        PostKey(dialog, VK_RIGHT);
    }
    ASSERT_EQ(FocusedElement(*form), kNextArrow);

    PostKey(dialog, VK_RETURN);
    EXPECT_EQ(form->State().pageFirst, 10);
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(0)), ThumbnailColour(10)));
    EXPECT_EQ(FocusedElement(*form), kNextArrow) << "the focus stays for the next page";
    EXPECT_FALSE(form->State().selectedSet.has_value());

    // The last page hides the next arrow: the focus goes to its neighbour.
    PostKey(dialog, VK_SPACE);
    EXPECT_EQ(form->State().pageFirst, 20);
    EXPECT_FALSE(form->ImageElement(kNextArrow).visible());
    EXPECT_EQ(FocusedElement(*form), kRandomElement);
    EXPECT_EQ(form->ImageStop(), kRandomElement);

    // The back arrow is shown now and takes its place in the row.
    PostKey(dialog, VK_LEFT);
    PostKey(dialog, VK_LEFT);
    EXPECT_EQ(FocusedElement(*form), kBackArrow);
    PostKey(dialog, VK_RETURN);
    EXPECT_EQ(form->State().pageFirst, 10);
    EXPECT_EQ(FocusedElement(*form), kBackArrow);

    // Tab leaves the thumbnails and Shift+Tab comes back to the same element.
    PostKey(dialog, VK_TAB);
    EXPECT_EQ(FocusedElement(*form), -1);
    PostKey(dialog, VK_TAB, true);
    EXPECT_EQ(FocusedElement(*form), kBackArrow);
}

TEST(MainWindowKeyboard, PageKeysTurnThePagesHomeAndEndJumpToTheEnds) {
    TempFolder temp;
    MakePictureLibrary(temp, 35);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const HWND dialog = form->hwnd();
    TabIntoTheThumbnails(*form);
    PostKey(dialog, VK_RIGHT);
    ASSERT_EQ(FocusedElement(*form), 1);

    const auto page = [&] { return form->State().pageFirst; };
    PostKey(dialog, VK_PRIOR);
    EXPECT_EQ(page(), 0) << "no page before the first";
    PostKey(dialog, VK_NEXT);
    EXPECT_EQ(page(), 10);
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(1)), ThumbnailColour(11)));
    PostKey(dialog, VK_END);
    EXPECT_EQ(page(), 30);
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(4)), ThumbnailColour(34)));
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(5)), kPlaceholderColour));
    EXPECT_FALSE(form->ImageElement(kNextArrow).visible());
    EXPECT_TRUE(form->ImageElement(kBackArrow).visible());
    PostKey(dialog, VK_NEXT);
    EXPECT_EQ(page(), 30) << "no page after the last";
    PostKey(dialog, VK_PRIOR);
    EXPECT_EQ(page(), 20);
    PostKey(dialog, VK_HOME);
    EXPECT_EQ(page(), 0);
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(1)), ThumbnailColour(1)));
    EXPECT_FALSE(form->ImageElement(kBackArrow).visible());
    EXPECT_EQ(FocusedElement(*form), 1) << "the focus stays where it was";
}

TEST(MainWindowKeyboard, EnterOrSpaceOnASlotOrRandomChoosesItAsAClickDoes) {
    TempFolder temp;
    MakePictureLibrary(temp, 12);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const HWND dialog = form->hwnd();
    TabIntoTheThumbnails(*form);
    for (int step = 0; step < 4; ++step) {
        PostKey(dialog, VK_RIGHT);
    }
    PostKey(dialog, VK_RETURN);
    ASSERT_TRUE(form->State().selectedSet.has_value());
    EXPECT_EQ(*form->State().selectedSet, 4);
    EXPECT_TRUE(Near(CentreColour(form->Preview()), ThumbnailColour(4)));
    EXPECT_EQ(GetFocus(), form->Control(L"LoadToGame")) << "LOAD TO EAW, as after a click";

    // Enter again presses LOAD TO EAW.
    PostKey(dialog, VK_RETURN);
    EXPECT_EQ(GameTags(temp, 12), Repeated("ZT4"));

    // Shift+Tab from the first button returns to the slot last chosen; Space chooses random.
    SetFocus(form->Control(L"LoadToGame"));
    PostKey(dialog, VK_TAB, true);
    EXPECT_EQ(FocusedElement(*form), 4);
    PostKey(dialog, VK_DOWN);
    PostKey(dialog, VK_DOWN);
    EXPECT_EQ(FocusedElement(*form), kRandomElement);
    PostKey(dialog, VK_SPACE);
    EXPECT_TRUE(form->State().randomPending);
    EXPECT_EQ(GetFocus(), form->Control(L"LoadToGame"));

    // A mouse click moves the grid's stop too.
    Click(form->ImageElement(7));
    EXPECT_EQ(form->ImageStop(), 7);
    EXPECT_TRUE(form.messages.empty());
}

TEST(MainWindowKeyboard, ArrowKeysOnTheButtonsMoveAmongTheButtons) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const HWND dialog = form->hwnd();
    const HWND command2 = form->Control(L"SaveMyDefault");
    const HWND command3 = form->Control(L"LoadMyDefault");
    const HWND command4 = form->Control(L"LoadGameDefault");
    const HWND command5 = form->Control(L"Exit");

    // The dialog manager turns them into WM_NEXTDLGCTL; "LOAD TO EAW" is disabled, so skipped.
    ASSERT_EQ(GetFocus(), command2);
    for (HWND expected : {command3, command5, command4, command2}) {
        PostKey(dialog, VK_DOWN);
        EXPECT_EQ(GetFocus(), expected) << WideToUtf8(WindowText(expected));
    }
    PostKey(dialog, VK_UP);
    EXPECT_EQ(GetFocus(), command4) << "round the group backwards";
    PostKey(dialog, VK_LEFT);
    EXPECT_EQ(GetFocus(), command5);
    PostKey(dialog, VK_RIGHT);
    EXPECT_EQ(GetFocus(), command4);

    // WM_NEXTDLGCTL in its other forms: the next or previous Tab stop, or a given control.
    SendMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
    EXPECT_EQ(FocusedElement(*form), 0);
    SendMessageW(dialog, WM_NEXTDLGCTL, 1, FALSE);
    EXPECT_EQ(GetFocus(), command4);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(form->ImageGridWindow()), TRUE);
    EXPECT_EQ(FocusedElement(*form), 0) << "the grid's element that had the focus last";
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(form->Control(L"LibraryFrame")),
                 TRUE);
    EXPECT_EQ(FocusedElement(*form), 0) << "a frame takes no focus";
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(form->Control(L"LoadToGame")),
                 TRUE);
    EXPECT_EQ(FocusedElement(*form), 0) << "nor a disabled button";
    EXPECT_TRUE(form.messages.empty());
    EXPECT_FALSE(form.ended);
}

TEST(MainWindowColours, ButtonsTakeTheHighContrastFacesAndRepaintWhenColoursChange) {
    EXPECT_EQ(ButtonFaceFor(RGB(255, 0, 0), false, RGB(0, 0, 0)), RGB(255, 0, 0));
    EXPECT_EQ(ButtonFaceFor(RGB(255, 0, 0), true, RGB(0, 0, 0)), RGB(0, 0, 0));
    // The installed set's outline takes the theme's highlight colour, as a selection does.
    const InstalledMarkerColours normal =
        InstalledMarkerColoursFor(false, RGB(0, 0, 255), RGB(255, 255, 255));
    EXPECT_EQ(normal.outer, kInstalledMarkerColour);
    EXPECT_EQ(normal.inner, kInstalledMarkerInnerColour);
    const InstalledMarkerColours contrast =
        InstalledMarkerColoursFor(true, RGB(0, 255, 255), RGB(0, 0, 0));
    EXPECT_EQ(contrast.outer, RGB(0, 255, 255));
    EXPECT_EQ(contrast.inner, RGB(0, 0, 0));

    TempFolder temp;
    MakePictureLibrary(temp, 3);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const HWND exit = form->Control(L"Exit");
    UpdateWindow(form->hwnd());
    RedrawWindow(form->hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT pending{};
    ASSERT_FALSE(GetUpdateRect(exit, &pending, FALSE)) << "painted before the change";

    for (UINT change : {static_cast<UINT>(WM_SYSCOLORCHANGE), static_cast<UINT>(WM_THEMECHANGED)}) {
        SendMessageW(form->hwnd(), change, 0, 0);
        EXPECT_TRUE(GetUpdateRect(exit, &pending, FALSE)) << "message " << change;
        EXPECT_TRUE(GetUpdateRect(form->ImageGridWindow(), &pending, FALSE));
        RedrawWindow(form->hwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

}  // namespace
}  // namespace skyswap::test
