// Pictures shown by the image areas: BMP, JPEG and ICO files decoded by the Windows Imaging
// Component, the random picture embedded as a JPEG, and icons from the resources.
#pragma once

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "win_handles.h"

namespace skyswap {

// A picture with a side longer than this is refused as unreadable.
constexpr UINT kLargestPictureSide = 8192;
// Larger pictures are reduced to this on loading: they are only ever shown in boxes of a few
// hundred pixels, and ten full-size photographs would otherwise hold gigabytes.
constexpr UINT kLargestStoredSide = 1024;

// An immutable picture. Image areas share it, so a copy into another area is a reference that
// later loads into the first area cannot change.
class Picture {
  public:
    // A 32-bit top-down DIB section with premultiplied alpha.
    Picture(UniqueBitmap bitmap, int width, int height, bool hasAlpha);
    // An icon, drawn with its mask.
    Picture(UniqueIcon icon, int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    bool hasAlpha() const { return hasAlpha_; }
    bool isIcon() const { return icon_ != nullptr; }

    // Stretches the picture to fill `box` exactly, without keeping its proportions; transparent
    // parts leave what is already in the device context.
    void Draw(HDC dc, const RECT& box) const;

  private:
    UniqueBitmap bitmap_;
    UniqueIcon icon_;
    int width_;
    int height_;
    bool hasAlpha_;
};

using PictureRef = std::shared_ptr<const Picture>;

class PictureLoader {
  public:
    // Needs COM initialised on this thread; without it every load fails.
    PictureLoader();

    // Nothing when the file is missing, cannot be decoded, or is larger than
    // kLargestPictureSide in either direction.
    PictureRef FromFile(const std::wstring& path) const;
    // A picture embedded as RCDATA.
    PictureRef FromResource(HINSTANCE instance, int id) const;
    // An icon resource, using its image nearest to size x size.
    static PictureRef IconFromResource(HINSTANCE instance, int id, int size);

  private:
    PictureRef Decode(IWICBitmapDecoder* decoder) const;

    Microsoft::WRL::ComPtr<IWICImagingFactory> factory_;
    // The decoders of the two formats the library uses, made once: looking a decoder up for
    // every file costs more than decoding a thumbnail.
    Microsoft::WRL::ComPtr<IClassFactory> bmpDecoders_;
    Microsoft::WRL::ComPtr<IClassFactory> jpegDecoders_;
};

}  // namespace skyswap
