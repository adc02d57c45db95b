// Pictures made at the size they are shown: the thumbnails, the random image, the placeholder and
// the preview follow the window's size and DPI, and paint as the stretch on every paint did.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image_elements.h"
#include "resource.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

// A 24-bit BMP with a checkerboard of single pixels over a gradient, where a poor reduction shows.
void WritePatternBmp(const TempFolder& temp, const std::string& name, int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(stride * height);
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    std::string pixels(static_cast<size_t>(stride) * height, '\0');
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            char* pixel = &pixels[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            const bool stripe = (x + y) % 2 == 0;
            pixel[0] = static_cast<char>(x * 255 / width);
            pixel[1] = static_cast<char>(stripe ? 230 : 20);
            pixel[2] = static_cast<char>(y * 255 / height);
        }
    }
    temp.WriteFile(name, bytes + pixels);
}

template <typename Shown>  // an ImageArea or a GridElement
bool HeldAtItsSize(const Shown& area) {
    const SIZE box = area.ClientSize();
    return area.picture() && area.picture()->width() == box.cx &&
           area.picture()->height() == box.cy;
}

void ExpectShownAtSize(MainWindow& form, const char* when) {
    SCOPED_TRACE(when);
    for (int element = 0; element <= kRandomElement; ++element) {
        EXPECT_TRUE(HeldAtItsSize(form.ImageElement(element))) << "element " << element;
    }
    EXPECT_TRUE(HeldAtItsSize(form.Preview()));
    EXPECT_TRUE(Near(CentreColour(form.Preview()), ThumbnailColour(0)));
    for (int slot = 3; slot < kSlotCount; ++slot) {
        EXPECT_EQ(form.ImageElement(slot).picture(), form.Placeholder())
            << "one placeholder for every empty slot, slot " << slot;
    }
    EXPECT_TRUE(Near(CentreColour(form.ImageElement(1)), ThumbnailColour(1)));
}

TEST(PicturesAtSize, ThumbnailsAndThePreviewFollowTheWindowsSizeAndDpi) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    const std::string library = kLibrary;
    WritePicture(temp.Join(library + "\\ZT0\\ZT0.bmp"), 1024, 768, ThumbnailColour(0),
                 ImageFormat::Bmp);
    // A large JPEG, which a decoder that scales while decoding never holds at full size.
    WritePicture(temp.Join(library + "\\ZT1\\ZT1.bmp"), 1024, 768, ThumbnailColour(1),
                 ImageFormat::Jpeg);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    ASSERT_FALSE(form->Preview().picture());
    Click(form->ImageElement(0));
    ExpectShownAtSize(*form, "at start");
    const SIZE startSlot = form->ImageElement(0).ClientSize();

    // While the frame is dragged the pictures stretch; they are made again when it is let go.
    HWND window = form->hwnd();
    RECT outer{};
    GetWindowRect(window, &outer);
    SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
    ResizeWindow(window, (outer.right - outer.left) * 4 / 5, (outer.bottom - outer.top) * 4 / 5);
    ASSERT_NE(form->ImageElement(0).ClientSize().cx, startSlot.cx) << "the window is smaller";
    EXPECT_EQ(form->ImageElement(0).picture()->width(), startSlot.cx) << "still the one made";
    EXPECT_TRUE(Near(CentreColour(form->ImageElement(1)), ThumbnailColour(1)));
    SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
    ExpectShownAtSize(*form, "after a resize");

    const SIZE resizedSlot = form->ImageElement(0).ClientSize();
    SendDpiChange(window, GetDpiForWindow(window) * 5 / 4);
    ASSERT_GT(form->ImageElement(0).ClientSize().cx, resizedSlot.cx);
    ExpectShownAtSize(*form, "after a change of DPI");
}

// A reduction averages what it drops: the checkerboard melts into its mean, and the gradients
// under it stay where they were. A nearest-pixel reduction (Wine's HALFTONE and WIC scaler are
// such) would show its squares at full strength.
TEST(PicturesAtSize, AReducedThumbnailAveragesThePixelsItDrops) {
    TempFolder temp;
    MakePictureLibrary(temp, 2);
    WritePatternBmp(temp, std::string(kLibrary) + "\\ZT0\\ZT0.bmp", 1024, 768);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const GridElement& slot = form->ImageElement(0);
    const SIZE box = slot.ClientSize();
    ASSERT_TRUE(HeldAtItsSize(slot));
    ASSERT_LT(box.cx * 3 / 2, 1024) << "each slot pixel covers more than one";
    int compared = 0;
    for (int y = box.cy / 8; y < box.cy * 7 / 8; y += box.cy / 7) {
        for (int x = box.cx / 8; x < box.cx * 7 / 8; x += box.cx / 9) {
            SCOPED_TRACE(testing::Message() << "at " << x << ", " << y);
            const COLORREF shown = ColourAt(slot, x, y);
            EXPECT_NEAR(GetGValue(shown), 125, 45) << "the squares' mean, not 20 or 230";
            EXPECT_NEAR(GetBValue(shown), (x + 0.5) * 255 / box.cx, 4);
            EXPECT_NEAR(GetRValue(shown), (y + 0.5) * 255 / box.cy, 4);
            ++compared;
        }
    }
    EXPECT_GT(compared, 20);
}

TEST(PicturesAtSize, TheLoaderMakesAPictureForABoxAndStillRefusesWhatCannotBeShown) {
    TempFolder temp;
    PictureLoader loader;
    const auto path = [&](const char* name) { return Utf8ToWide(temp.Join(name)); };
    WritePicture(temp.Join("photo.jpg"), 640, 480, RGB(250, 250, 250), ImageFormat::Jpeg);
    WritePicture(temp.Join("small.bmp"), 20, 10, RGB(0, 0, 250), ImageFormat::Bmp);
    WritePicture(temp.Join("odd.bmp"), 1021, 767, RGB(200, 40, 90), ImageFormat::Bmp);
    WritePicture(temp.Join("too-wide.bmp"), 8193, 3, RGB(10, 20, 30), ImageFormat::Bmp);
    WritePicture(temp.Join("cut.jpg"), 300, 200, RGB(0, 0, 255), ImageFormat::Jpeg);
    temp.WriteFile("cut.jpg", temp.ReadFile("cut.jpg")->substr(0, 40));
    temp.WriteFile("not-a-bitmap.bmp", "BM this is not a bitmap at all");

    const SIZE box{150, 100};
    struct Case {
        const char* what;
        PictureRef made;
        bool alpha;
        COLORREF everywhere;  // a picture of one colour, reduced: edges and corners included
    };
    const Case made[] = {
        {"a JPEG reduced", loader.FromFile(path("photo.jpg"), box), false, RGB(250, 250, 250)},
        {"a BMP reduced by no whole ratio", loader.FromFile(path("odd.bmp"), box), false,
         RGB(200, 40, 90)},
        {"a BMP enlarged", loader.FromFile(path("small.bmp"), box), false, CLR_INVALID},
        {"an icon file", loader.FromFile(Utf8ToWide(HostPath(SKYSWAP_RES_DIR "/next.ico")), box),
         true, CLR_INVALID},
        {"the random picture", loader.FromResource(GetModuleHandleW(nullptr), IDR_RANDOM_JPEG, box),
         false, CLR_INVALID},
    };
    for (const Case& picture : made) {
        SCOPED_TRACE(picture.what);
        ASSERT_TRUE(picture.made);
        EXPECT_EQ(picture.made->width(), box.cx);
        EXPECT_EQ(picture.made->height(), box.cy);
        EXPECT_EQ(picture.made->hasAlpha(), picture.alpha) << "transparent parts still blend";
        if (picture.everywhere != CLR_INVALID) {
            const PaintedPixels painted(box.cx, box.cy, [&](HDC dc) {
                const RECT all{0, 0, box.cx, box.cy};
                picture.made->Draw(dc, all);
            });
            for (const POINT at : {POINT{0, 0}, POINT{box.cx - 1, 0}, POINT{0, box.cy - 1},
                                   POINT{box.cx - 1, box.cy - 1}, POINT{box.cx / 2, box.cy / 2}}) {
                EXPECT_TRUE(Near(painted.At(at.x, at.y), picture.everywhere, 3))
                    << "at " << at.x << ", " << at.y << ": every row and column summed in full";
            }
        }
    }
    for (const char* refused : {"too-wide.bmp", "cut.jpg", "not-a-bitmap.bmp", "missing.bmp"}) {
        EXPECT_FALSE(loader.FromFile(path(refused), box)) << refused;
    }
}

}  // namespace
}  // namespace skyswap::test
