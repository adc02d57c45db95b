// Pictures shown by the image areas: BMP, JPEG and ICO files decoded by the Windows Imaging
// Component, the random picture embedded as a JPEG, and icons from the resources.
#pragma once

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>

#include "win_handles.h"

namespace skyswap {

// A picture with a side longer than this is refused as unreadable.
constexpr UINT kLargestPictureSide = 8192;
// Larger pictures are reduced to this on loading, before they are fitted to their box: they are
// only ever shown in boxes of a few hundred pixels.
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
    // parts leave what is already in the device context. A picture made for the box's size is
    // copied pixel for pixel.
    void Draw(HDC dc, const RECT& box) const;

  private:
    UniqueBitmap bitmap_;
    UniqueIcon icon_;
    int width_;
    int height_;
    bool hasAlpha_;
};

using PictureRef = std::shared_ptr<const Picture>;

// Makes a picture again for a box of another size (in device pixels): the image areas remember
// where their picture came from through one of these. Nothing when it cannot.
using PictureMaker = std::function<PictureRef(SIZE box)>;

class PictureLoader {
  public:
    // Needs COM initialised on this thread; without it every load fails.
    PictureLoader();

    // Nothing when the file is missing, cannot be decoded, or is larger than
    // kLargestPictureSide in either direction. Given a box, the picture is made at exactly the
    // box's size, reduced (or enlarged) once as Picture::Draw stretches; without one it keeps its
    // own size, up to kLargestStoredSide.
    PictureRef FromFile(const std::wstring& path, SIZE box = {}) const;
    // A picture embedded as RCDATA.
    PictureRef FromResource(HINSTANCE instance, int id, SIZE box = {}) const;
    // An icon resource, using its image nearest to size x size.
    static PictureRef IconFromResource(HINSTANCE instance, int id, int size);

  private:
    PictureRef Decode(IWICBitmapDecoder* decoder, SIZE box) const;
    Microsoft::WRL::ComPtr<IWICBitmapSource> DecodeReduced(IWICBitmapFrameDecode* frame,
                                                           UINT& width, UINT& height,
                                                           SIZE box) const;

    Microsoft::WRL::ComPtr<IWICImagingFactory> factory_;
    // The decoders of the two formats the library uses, made once: looking a decoder up for
    // every file costs more than decoding a thumbnail.
    Microsoft::WRL::ComPtr<IClassFactory> bmpDecoders_;
    Microsoft::WRL::ComPtr<IClassFactory> jpegDecoders_;
};

}  // namespace skyswap
