#include <gtest/gtest.h>

#include <string>

#include "picture_scaler.h"

namespace skyswap {
namespace {

TEST(PictureKind, TheFirstBytesTellTheFormatAndNothingElseDoes) {
    using namespace std::string_literals;
    const struct {
        std::string bytes;
        PictureKind kind;
    } cases[] = {
        {"BM\x36\x00\x00\x00"s, PictureKind::Bmp},
        {"\xFF\xD8\xFF\xE0\x00\x10JFIF"s, PictureKind::Jpeg},
        {"\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s, PictureKind::Png},
        {"GIF87a"s, PictureKind::Gif},
        {"GIF89a\x01\x00"s, PictureKind::Gif},
        {"II*\0\x08\0\0\0"s, PictureKind::Tiff},
        {"MM\0*\0\0\0\x08"s, PictureKind::Tiff},
        // What only another codec would read, and what is no picture at all.
        {"RIFF\x24\0\0\0WEBPVP8 "s, PictureKind::Unknown},
        {"\0\0\x01\0\x01\0"s, PictureKind::Unknown},  // an icon
        {"\x89PNG\r\n"s, PictureKind::Unknown},         // cut short
        {"\xFF\xD8"s, PictureKind::Unknown},
        {"GIF90a"s, PictureKind::Unknown},
        {"B"s, PictureKind::Unknown},
        {""s, PictureKind::Unknown},
        {"readme: a sky over the channel"s, PictureKind::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PictureKindOf(c.bytes), c.kind) << c.bytes.size() << " bytes: " << c.bytes;
    }
}

}  // namespace
}  // namespace skyswap
