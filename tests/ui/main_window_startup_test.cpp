// Start-up of the real window: the first page of a valid library, and the installation message.
#include <gtest/gtest.h>

#include "app_state.h"
#include "image_elements.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

const std::wstring kInstallationText =
    L"Installation is not correct!\nPlease read the README.TXT file!";

TEST(MainWindowStartUp, ShowsTheFirstPageOfAValidLibrary) {
    TempFolder temp;
    MakePictureLibrary(temp, 23);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    EXPECT_TRUE(form.messages.empty());
    EXPECT_FALSE(form.ended);

    EXPECT_TRUE(IsWindowVisible(form->hwnd()));
    EXPECT_EQ(WindowText(form->hwnd()), L"SkySwap");
    EXPECT_EQ(GetWindowLongW(form->hwnd(), GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW)
        << "sizable, with caption, system menu, minimize and maximize boxes";
    EXPECT_NE(GetClassLongPtrW(form->hwnd(), GCLP_HICON), 0) << "window icon";
    EXPECT_NE(GetClassLongPtrW(form->hwnd(), GCLP_HICONSM), 0) << "title bar icon";

    for (int slot = 0; slot < kSlotCount; ++slot) {
        const GridElement& area = form->ImageElement(slot);
        ASSERT_TRUE(area.picture()) << "slot " << slot;
        EXPECT_EQ(area.picture()->width(), area.ClientSize().cx)
            << "made at the slot's size, slot " << slot;
        EXPECT_EQ(area.picture()->height(), area.ClientSize().cy) << "slot " << slot;
        EXPECT_TRUE(Near(CentreColour(area), ThumbnailColour(slot))) << "slot " << slot;
    }
    EXPECT_EQ(form->State().setCount, 23);
    EXPECT_EQ(form->State().pageLast, 9);
    EXPECT_FALSE(form->ImageElement(kBackArrow).visible());
    EXPECT_TRUE(form->ImageElement(kNextArrow).visible());

    // The pictures the layout carries from creation.
    ASSERT_TRUE(form->ImageElement(kRandomElement).picture());
    EXPECT_EQ(form->ImageElement(kRandomElement).picture()->width(),
              form->ImageElement(kRandomElement).ClientSize().cx);
    EXPECT_EQ(form->ImageElement(kRandomElement).picture()->height(),
              form->ImageElement(kRandomElement).ClientSize().cy);
    ASSERT_TRUE(form->ImageElement(kNextArrow).picture());
    EXPECT_TRUE(form->ImageElement(kNextArrow).picture()->isIcon());
    EXPECT_FALSE(form->Preview().picture()) << "the preview is empty until a click";

    EXPECT_FALSE(IsWindowEnabled(form->Control(L"LoadToGame"))) << "LOAD TO EAW";
    for (const wchar_t* name : {L"SaveMyDefault", L"LoadMyDefault", L"LoadGameDefault", L"Exit"}) {
        EXPECT_TRUE(IsWindowEnabled(form->Control(name))) << name;
    }
    EXPECT_EQ(GetFocus(), form->Control(L"SaveMyDefault"))
        << "the first button that can take the focus has it";
    EXPECT_FALSE(form->State().selectedSet.has_value());
}

TEST(MainWindowStartUp, ABrokenOrMissingThumbnailShowsThePlaceholder) {
    TempFolder temp;
    MakePictureLibrary(temp, 6);
    const std::string library = kLibrary;
    // A JPEG cut short, bytes that are no picture, a missing file, and a picture too large.
    WritePicture(temp.Join(library + "\\ZT1\\ZT1.bmp"), 300, 200, RGB(0, 0, 255),
                 ImageFormat::Jpeg);
    temp.WriteFile(library + "\\ZT1\\ZT1.bmp",
                   temp.ReadFile(library + "\\ZT1\\ZT1.bmp")->substr(0, 40));
    temp.WriteFile(library + "\\ZT2\\ZT2.bmp", "BM this is not a bitmap at all");
    temp.WriteFile(library + "\\ZT3\\ZT3.bmp", "");
    WritePicture(temp.Join(library + "\\ZT4\\ZT4.bmp"), 8193, 2, RGB(0, 0, 255), ImageFormat::Bmp);
    WritePicture(temp.Join(library + "\\ZT5\\ZT5.bmp"), 8192, 2, ThumbnailColour(5),
                 ImageFormat::Bmp);

    StartedForm form(temp);
    ASSERT_TRUE(form.started) << "a thumbnail never fails the start";
    EXPECT_TRUE(form.messages.empty());
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(0)), ThumbnailColour(0)));
    for (int slot : {1, 2, 3, 4}) {
        EXPECT_EQ(form->ImageElement(slot).picture(), form->Placeholder()) << "slot " << slot;
        EXPECT_TRUE(Near(CentreColour(form->ImageElement(slot)), kPlaceholderColour))
            << "slot " << slot;
    }
    ASSERT_TRUE(form->ImageElement(5).picture());
    EXPECT_EQ(form->ImageElement(5).picture()->width(), form->ImageElement(5).ClientSize().cx)
        << "a wide picture is reduced to the slot on loading";
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(5)), ThumbnailColour(5)));
    for (int slot = 6; slot < kSlotCount; ++slot) {
        EXPECT_EQ(form->ImageElement(slot).picture(), form->Placeholder()) << "slot " << slot;
    }
}

TEST(MainWindowStartUp, AFailedInstallationShowsTheMessageAndEnds) {
    const char* const cases[] = {"no eaw.ini in the parent", "no nosky.jpg",
                                 "a nosky.jpg that is no picture"};
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(cases[which]);
        TempFolder temp;
        MakePictureLibrary(temp, 3);
        const std::string library = kLibrary;
        if (which == 0) {
            DeleteFileW(Utf8ToWide(temp.Join("Game\\eaw.ini")).c_str());
        } else if (which == 1) {
            DeleteFileW(Utf8ToWide(temp.Join(library + "\\nosky.jpg")).c_str());
        } else {
            temp.WriteFile(library + "\\nosky.jpg", "\xff\xd8\xff not really a JPEG");
        }

        StartedForm form(temp);
        EXPECT_FALSE(form.started);
        ASSERT_EQ(form.messages.size(), 1u);
        EXPECT_EQ(form.messages[0].text, kInstallationText);
        EXPECT_EQ(form.messages[0].title, L"SkySwap");
        EXPECT_EQ(form.messages[0].type, static_cast<UINT>(MB_OK)) << "only OK, no icon";
        EXPECT_TRUE(form.ended);
        EXPECT_EQ(form->hwnd(), nullptr) << "the window is gone";
    }
}

}  // namespace
}  // namespace skyswap::test
