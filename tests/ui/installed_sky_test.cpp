// What the window says about the sky the game holds: the title, the marker on the slot, and the
// sky in no set that a transfer keeps as a new set first.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "dpi.h"
#include "image_elements.h"
#include "installed_marker.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

bool Recognised(StartedForm& form) {
    return PumpUntil([&] { return form->InstalledSet().has_value(); });
}

std::wstring Title(StartedForm& form) {
    return WindowText(form->hwnd());
}

// Whether a slot carries the outline: the marker's colour on its edge, its picture inside.
bool ShowsMarker(const GridElement& area) {
    return Near(ColourAt(area, 0, 0), kInstalledMarkerColour) &&
           Near(ColourAt(area, InstalledMarkerWidth(WindowDpi(area.grid())) - 1, 5),
                kInstalledMarkerColour);
}

void ExpectMarkerOnlyOn(StartedForm& form, int markedSlot) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(ShowsMarker(form->ImageElement(slot)), slot == markedSlot) << "slot " << slot;
        EXPECT_EQ(form->SlotShowsInstalledSet(slot), slot == markedSlot) << "slot " << slot;
    }
    EXPECT_FALSE(form->SlotShowsInstalledSet(kRandomElement));
}

TEST(InstalledSky, TitleAndMarkerShowTheSetInTheGameOnWhicheverPageShowsIt) {
    TempFolder temp;
    MakePictureLibrary(temp, 15);
    WriteSkyFiles(temp, kGame, "ZT12");
    temp.WriteFile(std::string(kLibrary) + "\\ZT12\\ZT12.txt", "\"Overcast, light rain\"");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    ASSERT_TRUE(Recognised(form));
    EXPECT_EQ(Title(form), L"SkySwap - ZT12: Overcast, light rain");
    ExpectMarkerOnlyOn(form, -1);

    Click(form->ImageElement(kNextArrow));
    ExpectMarkerOnlyOn(form, 2);
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(2)), ThumbnailColour(12)))
        << "the picture shows";
    Click(form->ImageElement(kBackArrow));
    ExpectMarkerOnlyOn(form, -1);

    // After a transfer the marker follows what was copied.
    Click(form->ImageElement(4));
    Click(form->Control(L"LoadToGame"));
    EXPECT_TRUE(form.messages.empty());
    EXPECT_EQ(Title(form), L"SkySwap - ZT4: Sky 4");
    ExpectMarkerOnlyOn(form, 4);
    EXPECT_EQ(GameTags(temp, 15), Repeated("ZT4"));

    Click(form->Control(L"LoadGameDefault"));
    EXPECT_EQ(Title(form), L"SkySwap - EAW's own sky");
    ExpectMarkerOnlyOn(form, -1);
}

TEST(InstalledSky, TheDefaultTheGamesOwnSkyAndASkyInNoSet) {
    {
        TempFolder temp;
        MakePictureLibrary(temp, 3);
        StartedForm form(temp);
        ASSERT_TRUE(Recognised(form));
        EXPECT_EQ(Title(form), L"SkySwap - EAW's own sky");
    }
    {
        TempFolder temp;
        MakePictureLibrary(temp, 3);
        WriteSkyFiles(temp, std::string(kLibrary) + "\\ZTDef", "mine");
        WriteSkyFiles(temp, kGame, "mine");
        StartedForm form(temp);
        ASSERT_TRUE(Recognised(form));
        EXPECT_EQ(Title(form), L"SkySwap - your default (ZTDef)");
        ExpectMarkerOnlyOn(form, -1);
    }
    {
        TempFolder temp;
        MakePictureLibrary(temp, 0);
        WriteSkyFiles(temp, kGame, "friend");
        StartedForm form(temp);
        ASSERT_TRUE(Recognised(form));
        EXPECT_EQ(Title(form), L"SkySwap - a sky not in your library");
    }
}

TEST(InstalledSky, ASkyInNoSetIsKeptAsANewSetBeforeItIsReplaced) {
    TempFolder temp;
    MakePictureLibrary(temp, 12);
    WriteSkyFiles(temp, kGame, "friend");
    StartedForm form(temp);
    ASSERT_TRUE(Recognised(form));
    EXPECT_EQ(Title(form), L"SkySwap - a sky not in your library");

    Click(form->ImageElement(1));
    Click(form->Control(L"LoadToGame"));
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text,
              L"The sky files in the game folder were in no set of your library. SkySwap kept "
              L"them as set ZT12 before replacing them.");
    EXPECT_EQ(GameTags(temp, 12), Repeated("ZT1"));
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT12", {"friend"}), Repeated("friend"));
    EXPECT_EQ(form->State().setCount, 13);
    EXPECT_EQ(Title(form), L"SkySwap - ZT1: Sky 1");
    ExpectMarkerOnlyOn(form, 1);

    // The new set is on the next page, with the placeholder for its picture; its description
    // says where it came from.
    Click(form->ImageElement(kNextArrow));
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(2)), kPlaceholderColour));
    MouseMove(form->ImageElement(2));
    EXPECT_EQ(ToolTipText(*form, 2).rfind(L"Kept from the game folder on ", 0), 0u);
    Click(form->ImageElement(2));
    Click(form->Control(L"LoadToGame"));
    EXPECT_EQ(form.messages.size(), 1u) << "the set is in the library now: nothing more is kept";
    EXPECT_EQ(GameTags(temp, 12, {"friend"}), Repeated("friend"));
    ExpectMarkerOnlyOn(form, 2);
}

TEST(InstalledSky, AChangeByAnotherProgramIsCaughtBeforeTheNextTransfer) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    WriteSkyFiles(temp, kGame, "ZT2");
    StartedForm form(temp);
    ASSERT_TRUE(Recognised(form));
    EXPECT_EQ(Title(form), L"SkySwap - ZT2: Sky 2");

    // Another program puts a sky of its own into the game folder; "LOAD EAW DEFAULT" keeps it.
    WriteSkyFiles(temp, kGame, "other program");
    Click(form->ImageElement(0));
    Click(form->Control(L"LoadGameDefault"));
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_NE(form.messages[0].text.find(L"as set ZT3"), std::wstring::npos);
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT3", {"other program"}),
              Repeated("other program"));
    EXPECT_EQ(GameTags(temp, 3), Repeated(""));
    EXPECT_EQ(Title(form), L"SkySwap - EAW's own sky");
}

TEST(InstalledSky, SavingTheDefaultAtOnceStillLetsTheTitleCome) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    WriteSkyFiles(temp, kGame, "ZT0");
    StartedForm form(temp);
    Click(form->ImageElement(2));
    SendMessageW(form->Control(L"SaveMyDefault"), BM_CLICK, 0, 0);  // SAVE AS MY DEFAULT
    ASSERT_TRUE(Recognised(form));
    EXPECT_EQ(Title(form), L"SkySwap - ZT0: Sky 0");
    ExpectMarkerOnlyOn(form, 0);
    // ZTDef is known to be set 2 now: loading it moves the marker without reading the sets.
    SendMessageW(form->Control(L"LoadMyDefault"), BM_CLICK, 0, 0);
    EXPECT_EQ(Title(form), L"SkySwap - ZT2: Sky 2");
    ExpectMarkerOnlyOn(form, 2);
    EXPECT_TRUE(form.messages.empty());
}

TEST(InstalledSky, RandomChangesTheSkyEveryPress) {
    TempFolder temp;
    MakePictureLibrary(temp, 2);
    WriteSkyFiles(temp, kGame, "ZT0");
    StartedForm form(temp);
    ASSERT_TRUE(Recognised(form));
    for (int press = 0; press < 6; ++press) {
        Click(form->ImageElement(kRandomElement));
        Click(form->Control(L"LoadToGame"));
        EXPECT_EQ(GameTags(temp, 2), Repeated(press % 2 == 0 ? "ZT1" : "ZT0")) << press;
        ExpectMarkerOnlyOn(form, press % 2 == 0 ? 1 : 0);
    }
    EXPECT_TRUE(form.messages.empty());
}

}  // namespace
}  // namespace skyswap::test
