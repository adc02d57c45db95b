// The picture side of adding a sky: decoding a downloaded picture and scaling it to the
// thumbnail's size. Windows does this through WIC; the tests give a fake.
#pragma once

#include <string>

namespace skyswap {

// The thumbnail every set shows: 200 x 129 pixels.
constexpr int kThumbnailWidth = 200;
constexpr int kThumbnailHeight = 129;

class PictureScaler {
  public:
    virtual ~PictureScaler() = default;
    // Decodes `picture` (a BMP, JPEG, PNG, GIF or TIFF file's bytes), scales it to cover a
    // width x height box keeping its proportions, and crops the box's centre. `pixels` gets
    // width * height * 3 bytes: rows from the top, each pixel blue, green, red. False for bytes
    // that are not a picture it can decode.
    virtual bool ScaleToCover(const std::string& picture, int width, int height,
                              std::string& pixels) = 0;
};

// The picture formats SkySwap decodes, told by their first bytes, never by a file's name: a
// decoder is chosen from these alone, so no other codec installed on the system ever reads a
// download.
enum class PictureKind { Unknown, Bmp, Jpeg, Png, Gif, Tiff };
PictureKind PictureKindOf(const std::string& bytes);

// A 24-bit BMP file of width x height pixels given as ScaleToCover gives them.
std::string BmpFile24(int width, int height, const std::string& pixels);

}  // namespace skyswap
