// The page benchmarks decode these pictures; a writer that made them wrong would time the
// decoder's error path instead of a decode.
#include <gtest/gtest.h>
#include <objbase.h>

#include <tuple>

#include "picture_files.h"
#include "pictures.h"
#include "platform.h"
#include "test_support.h"
#include "text_win.h"

namespace skyswap::bench {
namespace {

TEST(BenchPictures, ThumbnailsAndThePlaceholderDecodeAtTheirSize) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        const test::TempFolder temp;
        temp.WriteFile("small.bmp", SkyBmpBytes(200, 129, 1));
        temp.WriteFile("odd.bmp", SkyBmpBytes(97, 61, 2));  // rows padded to four bytes
        ASSERT_TRUE(WriteSkyJpeg(temp.Join("nosky.jpg"), 200, 129, 3));

        const PictureLoader loader;
        for (const auto& [name, width, height] :
             {std::tuple{"small.bmp", 200, 129}, std::tuple{"odd.bmp", 97, 61},
              std::tuple{"nosky.jpg", 200, 129}}) {
            const PictureRef picture = loader.FromFile(Utf8ToWide(temp.Join(name)));
            ASSERT_NE(picture, nullptr) << name;
            EXPECT_EQ(picture->width(), width) << name;
            EXPECT_EQ(picture->height(), height) << name;
            EXPECT_FALSE(picture->hasAlpha()) << name << " is opaque, as thumbnails are";
        }
    }
    CoUninitialize();
}

}  // namespace
}  // namespace skyswap::bench
