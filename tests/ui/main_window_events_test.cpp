// Every event of the real window: clicks on the images, the four transfers against real folders,
// the warnings, tooltips, the keyboard and the ways the program ends.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app_state.h"
#include "image_elements.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

// The game folder starts with the ten files of an "original" sky and a file of its own.
void MakeGameWithOriginalSky(const TempFolder& temp, int setCount) {
    MakePictureLibrary(temp, setCount);
    WriteSkyFiles(temp, kGame, "ORIGINAL");
    temp.WriteFile(std::string(kGame) + "\\eaw.exe", "the game itself");
}

void ExpectThumbnails(MainWindow& form, int firstSet, int setCount) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int set = firstSet + slot;
        const COLORREF expected = set < setCount ? ThumbnailColour(set) : kPlaceholderColour;
        EXPECT_TRUE(Near(CentreColour(form.ImageElement(slot)), expected))
            << "slot " << slot << " should show " << (set < setCount ? "set " : "the placeholder")
            << set;
    }
}

bool Shown(MainWindow& form, int element) {
    return form.ImageElement(element).visible();
}

TEST(MainWindowClicks, ASlotPreviewsItsPictureChoosesTheSetAndFocusesLoadToEaw) {
    TempFolder temp;
    MakePictureLibrary(temp, 15);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);

    Click(form->ImageElement(4));
    ASSERT_TRUE(form->Preview().picture());
    EXPECT_EQ(form->Preview().picture()->width(), form->Preview().ClientSize().cx)
        << "decoded again at the preview's size";
    EXPECT_TRUE(Near(CentreColour(form->Preview()), ThumbnailColour(4)));
    ASSERT_TRUE(form->State().selectedSet.has_value());
    EXPECT_EQ(*form->State().selectedSet, 4);
    EXPECT_EQ(form->State().selectedFolder, temp.Join(std::string(kLibrary) + "\\ZT4"));
    EXPECT_TRUE(IsWindowEnabled(form->Control(L"LoadToGame")));
    EXPECT_TRUE(IsWindowEnabled(form->Control(L"LoadGameDefault")));
    EXPECT_EQ(GetFocus(), form->Control(L"LoadToGame"));

    // The preview keeps the picture it was given when the slot gets a new one.
    Click(form->ImageElement(kNextArrow));
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(4)), ThumbnailColour(14)));
    EXPECT_TRUE(Near(CentreColour(form->Preview()), ThumbnailColour(4)));
    EXPECT_EQ(*form->State().selectedSet, 4) << "an arrow chooses nothing";

    // A slot on the second page chooses by page: set 10 + 3.
    Click(form->ImageElement(3));
    EXPECT_EQ(*form->State().selectedSet, 13);
    EXPECT_TRUE(Near(CentreColour(form->Preview()), ThumbnailColour(13)));
}

TEST(MainWindowClicks, ArrowsTurnThePagesAndShowOrHideThemselves) {
    TempFolder temp;
    MakePictureLibrary(temp, 23);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);

    Click(form->ImageElement(kNextArrow));
    ExpectThumbnails(*form, 10, 23);
    EXPECT_TRUE(Shown(*form, kBackArrow)) << "a middle page leads both ways";
    EXPECT_TRUE(Shown(*form, kNextArrow));
    EXPECT_TRUE(IsWindowEnabled(form->Control(L"LoadToGame")));
    EXPECT_EQ(GetFocus(), form->Control(L"LoadToGame"));
    EXPECT_FALSE(form->Preview().picture()) << "an arrow does not touch the preview";
    EXPECT_FALSE(form->State().selectedSet.has_value());

    Click(form->ImageElement(kNextArrow));
    ExpectThumbnails(*form, 20, 23);
    EXPECT_TRUE(Shown(*form, kBackArrow));
    EXPECT_FALSE(Shown(*form, kNextArrow));

    Click(form->ImageElement(kBackArrow));
    ExpectThumbnails(*form, 10, 23);
    EXPECT_TRUE(Shown(*form, kBackArrow));
    EXPECT_TRUE(Shown(*form, kNextArrow));

    Click(form->ImageElement(kBackArrow));
    ExpectThumbnails(*form, 0, 23);
    EXPECT_FALSE(Shown(*form, kBackArrow));
    EXPECT_TRUE(Shown(*form, kNextArrow));
}

TEST(MainWindowClicks, TheRandomImageInstallsOneWholeSetAndKeepsIt) {
    TempFolder temp;
    MakeGameWithOriginalSky(temp, 12);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);

    Click(form->ImageElement(kRandomElement));
    ASSERT_TRUE(form->Preview().picture());
    EXPECT_EQ(form->Preview().picture()->width(), form->Preview().ClientSize().cx)
        << "the random picture at the preview's size";
    EXPECT_TRUE(form->State().randomPending);
    EXPECT_EQ(GetFocus(), form->Control(L"LoadToGame"));

    SendMessageW(form->Control(L"LoadToGame"), BM_CLICK, 0, 0);
    // The original sky is in no set: it is kept before it is replaced.
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_NE(form.messages[0].text.find(L"kept them as set ZT12"), std::wstring::npos);
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT12", {"ORIGINAL"}), Repeated("ORIGINAL"));
    const std::vector<std::string> installed = GameTags(temp, 12);
    ASSERT_NE(installed[0], "");
    ASSERT_NE(installed[0], "?");
    EXPECT_EQ(installed, Repeated(installed[0])) << "all ten files come from one set";
    EXPECT_EQ(GetFocus(), form->Control(L"Exit")) << "EXIT has the focus after installing";

    SendMessageW(form->Control(L"LoadToGame"), BM_CLICK, 0, 0);
    EXPECT_EQ(GameTags(temp, 12), installed) << "the drawn set stays chosen";
}

TEST(MainWindowButtons, EachButtonMovesTheRightFilesByteForByte) {
    TempFolder temp;
    MakeGameWithOriginalSky(temp, 12);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const std::string game = kGame;

    Click(form->ImageElement(5));
    SendMessageW(form->Control(L"LoadToGame"), BM_CLICK, 0, 0);  // LOAD TO EAW
    EXPECT_EQ(GameTags(temp, 12), Repeated("ZT5"));
    ASSERT_EQ(form.messages.size(), 1u) << "the original sky was kept as a new set";
    EXPECT_EQ(form.messages[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(temp.ReadFile(game + "\\eaw.exe"), "the game itself");
    EXPECT_EQ(GetFocus(), form->Control(L"Exit"));

    SendMessageW(form->Control(L"SaveMyDefault"), BM_CLICK, 0, 0);  // SAVE AS MY DEFAULT
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZTDef", {"ZT5"}), Repeated("ZT5"));

    Click(form->ImageElement(7));
    SendMessageW(form->Control(L"LoadToGame"), BM_CLICK, 0, 0);
    EXPECT_EQ(GameTags(temp, 12), Repeated("ZT7"));

    SendMessageW(form->Control(L"LoadMyDefault"), BM_CLICK, 0, 0);  // LOAD MY DEFAULT
    EXPECT_EQ(GameTags(temp, 12), Repeated("ZT5"));

    SendMessageW(form->Control(L"LoadGameDefault"), BM_CLICK, 0, 0);  // LOAD EAW DEFAULT
    EXPECT_EQ(GameTags(temp, 12), Repeated(""));
    EXPECT_TRUE(temp.Exists(game + "\\eaw.ini"));
    EXPECT_EQ(temp.ReadFile(game + "\\eaw.exe"), "the game itself");
    EXPECT_EQ(GetFocus(), form->Control(L"Exit"));

    EXPECT_EQ(form.messages.size(), 1u) << "nothing more is said when everything worked";
    EXPECT_FALSE(form.ended);
}

TEST(MainWindowButtons, AFailureIsNamedInOneWarningAndChangesNothing) {
    TempFolder temp;
    MakeGameWithOriginalSky(temp, 3);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const auto lastMessage = [&]() -> std::wstring {
        return form.messages.empty() ? L"" : form.messages.back().text;
    };

    // An arrow enables LOAD TO EAW before any set is chosen.
    Click(form->ImageElement(kNextArrow));
    SendMessageW(form->Control(L"LoadToGame"), BM_CLICK, 0, 0);
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text, L"Choose a sky set first.");
    EXPECT_EQ(form.messages[0].title, L"SkySwap");
    EXPECT_EQ(form.messages[0].type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(GameTags(temp, 3, {"ORIGINAL"}), Repeated("ORIGINAL"));

    // Slot 5 of a library of three sets: ZT5 does not exist.
    Click(form->ImageElement(5));
    EXPECT_TRUE(Near(CentreColour(form->Preview()), kPlaceholderColour));
    SendMessageW(form->Control(L"LoadToGame"), BM_CLICK, 0, 0);
    ASSERT_EQ(form.messages.size(), 2u);
    EXPECT_NE(lastMessage().find(L"ZT5"), std::wstring::npos) << WideToUtf8(lastMessage());
    EXPECT_EQ(GameTags(temp, 3, {"ORIGINAL"}), Repeated("ORIGINAL"));

    // No personal default saved yet.
    SendMessageW(form->Control(L"LoadMyDefault"), BM_CLICK, 0, 0);
    ASSERT_EQ(form.messages.size(), 3u);
    EXPECT_NE(lastMessage().find(L"ZTDef"), std::wstring::npos) << WideToUtf8(lastMessage());
    EXPECT_EQ(GameTags(temp, 3, {"ORIGINAL"}), Repeated("ORIGINAL"));

    // A sky file held open by another program.
    Click(form->ImageElement(1));
    const std::wstring locked = Utf8ToWide(temp.Join(std::string(kGame) + "\\cloud2.ter"));
    HANDLE holder =
        CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    SendMessageW(form->Control(L"LoadToGame"), BM_CLICK, 0, 0);
    CloseHandle(holder);
    ASSERT_EQ(form.messages.size(), 4u);
    EXPECT_NE(lastMessage().find(L"cloud2.ter"), std::wstring::npos) << WideToUtf8(lastMessage());
    EXPECT_EQ(form.messages.back().type, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(TagsIn(temp, kGame, {"ORIGINAL", "ZT1"})[9], "ORIGINAL") << "cloud2.ter untouched";
    EXPECT_FALSE(form.ended);
}

TEST(MainWindowToolTips, SlotsShowTheirDescriptionAsWrittenAndTheOthersTheirRole) {
    TempFolder temp;
    MakePictureLibrary(temp, 13);
    const std::string library = kLibrary;
    temp.WriteFile(library + "\\ZT0\\ZT0.txt", "Clouds & sun, over the Channel\r\nsecond line");
    temp.WriteFile(library + "\\ZT1\\ZT1.txt", "  \"Dawn, with haze\", ignored");
    temp.WriteFile(library + "\\ZT12\\ZT12.txt", "Set &twelve");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    EXPECT_TRUE(GetWindowLongW(form->ToolTip(), GWL_STYLE) & TTS_NOPREFIX)
        << "\"&\" shows as it is";

    MouseMove(form->ImageElement(0));
    EXPECT_EQ(ToolTipText(*form, 0), L"Clouds & sun");
    MouseMove(form->ImageElement(1));
    EXPECT_EQ(ToolTipText(*form, 1), L"Dawn, with haze");
    MouseMove(form->ImageElement(kNextArrow));
    EXPECT_EQ(ToolTipText(*form, kRandomElement), L"RANDOM");
    EXPECT_EQ(ToolTipText(*form, kBackArrow), L"BACK");
    EXPECT_EQ(ToolTipText(*form, kNextArrow), L"NEXT");

    // The file is read afresh on every move.
    temp.WriteFile(library + "\\ZT0\\ZT0.txt", "Changed");
    MouseMove(form->ImageElement(0));
    EXPECT_EQ(ToolTipText(*form, 0), L"Changed");

    Click(form->ImageElement(kNextArrow));
    MouseMove(form->ImageElement(2));
    EXPECT_EQ(ToolTipText(*form, 2), L"Set &twelve");
    MouseMove(form->ImageElement(4));
    EXPECT_EQ(ToolTipText(*form, 4), L"") << "no set 14";
}

TEST(MainWindowKeyboard, TabGoesThroughTheButtonsInOrderAndEnterOrSpacePressesOne) {
    TempFolder temp;
    MakeGameWithOriginalSky(temp, 3);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const HWND dialog = form->hwnd();
    const HWND command1 = form->Control(L"LoadToGame");
    const HWND command2 = form->Control(L"SaveMyDefault");
    const HWND command3 = form->Control(L"LoadMyDefault");
    const HWND command4 = form->Control(L"LoadGameDefault");
    const HWND command5 = form->Control(L"Exit");

    // "LOAD TO EAW" is disabled at start, so the round skips it; the thumbnails are one stop
    // after "LOAD EAW DEFAULT".
    const HWND images = form->ImageGridWindow();
    ASSERT_EQ(GetFocus(), command2);
    for (HWND expected : {command3, command5, command4, images, command2}) {
        PressKey(dialog, VK_TAB);
        EXPECT_EQ(GetFocus(), expected) << WideToUtf8(WindowText(expected));
    }

    Click(form->ImageElement(0));
    ASSERT_EQ(GetFocus(), command1);
    for (HWND expected : {command2, command3, command5, command4, images, command1}) {
        PressKey(dialog, VK_TAB);
        EXPECT_EQ(GetFocus(), expected) << WideToUtf8(WindowText(expected));
    }
    for (HWND expected : {images, command4, command5, command3, command2, command1}) {
        PressKey(dialog, VK_TAB, true);
        EXPECT_EQ(GetFocus(), expected) << "Shift+Tab to " << WideToUtf8(WindowText(expected));
    }

    // Enter presses the focused button: LOAD TO EAW installs set 0.
    PressKey(dialog, VK_RETURN);
    EXPECT_EQ(GameTags(temp, 3, {"ORIGINAL"}), Repeated("ZT0"));
    EXPECT_EQ(GetFocus(), command5);

    // Space too: LOAD EAW DEFAULT.
    SetFocus(command4);
    PressKey(dialog, VK_SPACE);
    EXPECT_EQ(GameTags(temp, 3, {"ORIGINAL"}), Repeated(""));
    EXPECT_EQ(GetFocus(), command5);

    // Enter on EXIT ends the program.
    PressKey(dialog, VK_RETURN);
    EXPECT_TRUE(form.ended);
    EXPECT_EQ(form->hwnd(), nullptr);
    EXPECT_EQ(form.messages.size(), 1u) << "only that the original sky was kept";
}

TEST(MainWindowEnd, ExitAndTheCloseBoxEndTheProgramAtOnce) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    {
        StartedForm form(temp);
        ASSERT_TRUE(form.started);
        SendMessageW(form->Control(L"Exit"), BM_CLICK, 0, 0);
        EXPECT_TRUE(form.ended);
        EXPECT_EQ(form->hwnd(), nullptr);
    }
    {
        StartedForm form(temp);
        ASSERT_TRUE(form.started);
        SendMessageW(form->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(form.ended);
        EXPECT_EQ(form->hwnd(), nullptr);
        EXPECT_TRUE(form.messages.empty());
    }
}

}  // namespace
}  // namespace skyswap::test
