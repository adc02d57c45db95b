#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

// Declared by the Windows SDK's wincodec.h but not by MinGW's.
#ifndef __IWICBitmapSourceTransform_INTERFACE_DEFINED__
MIDL_INTERFACE("3B16811B-6A43-4EC9-B713-3D5A0C13B940")
IWICBitmapSourceTransform : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CopyPixels(
        const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
        WICBitmapTransformOptions transform, UINT stride, UINT bufferSize, BYTE* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT * width, UINT * height) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID * format) = 0;
    virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                           BOOL * supported) = 0;
};
__CRT_UUID_DECL(IWICBitmapSourceTransform, 0x3b16811b, 0x6a43, 0x4ec9, 0xb7, 0x13, 0x3d, 0x5a, 0x0c,
                0x13, 0xb9, 0x40)
#endif

namespace skyswap {

using Microsoft::WRL::ComPtr;

namespace {

// HALFTONE averages the pixels a reduction drops, so thumbnails stay sharp instead of turning
// grainy as they do with the default mode. Fitting a picture to its box and painting a picture
// into a box of another size both stretch through here, so both look alike.
bool StretchHalftone(HDC dc, int left, int top, int width, int height, HDC source, int sourceWidth,
                     int sourceHeight) {
    const int previousMode = SetStretchBltMode(dc, HALFTONE);
    POINT previousOrigin{};
    SetBrushOrgEx(dc, 0, 0, &previousOrigin);
    const BOOL drawn =
        StretchBlt(dc, left, top, width, height, source, 0, 0, sourceWidth, sourceHeight, SRCCOPY);
    SetBrushOrgEx(dc, previousOrigin.x, previousOrigin.y, nullptr);
    SetStretchBltMode(dc, previousMode);
    return drawn != FALSE;
}

// A 32-bit top-down DIB section, all zero (transparent black).
UniqueBitmap CreatePictureBitmap(UINT width, UINT height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as WIC writes rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    return bitmap && *bits != nullptr ? std::move(bitmap) : UniqueBitmap();
}

// The picture enlarged once to `box`, exactly as Picture::Draw would stretch it on every paint: HALFTONE for opaque pictures, the alpha blend for the others (over transparent
// black, which leaves the premultiplied pixels as the blend makes them).
UniqueBitmap FitToBox(HBITMAP picture, UINT width, UINT height, bool hasAlpha, SIZE box) {
    void* bits = nullptr;
    UniqueBitmap fitted =
        CreatePictureBitmap(static_cast<UINT>(box.cx), static_cast<UINT>(box.cy), &bits);
    UniqueMemoryDc source(CreateCompatibleDC(nullptr));
    UniqueMemoryDc target(CreateCompatibleDC(nullptr));
    if (!fitted || !source || !target) {
        return {};
    }
    SelectionScope sourceSelected(source.get(), picture);
    SelectionScope targetSelected(target.get(), fitted.get());
    bool drawn = false;
    if (hasAlpha) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        drawn = GdiAlphaBlend(target.get(), 0, 0, box.cx, box.cy, source.get(), 0, 0,
                              static_cast<int>(width), static_cast<int>(height), blend) != FALSE;
    } else {
        drawn = StretchHalftone(target.get(), 0, 0, box.cx, box.cy, source.get(),
                                static_cast<int>(width), static_cast<int>(height));
    }
    GdiFlush();
    return drawn ? std::move(fitted) : UniqueBitmap();
}

// The scratch memory of a reduction is kept from picture to picture (memory the system hands
// over afresh is slow to touch: a page turn reduces ten pictures), up to this much: that of a
// large picture goes back at once.
constexpr size_t kKeptScratchBytes = 1 << 20;

template <typename T>
void LetGoWhenLarge(std::vector<T>& scratch) {
    if (scratch.capacity() * sizeof(T) > kKeptScratchBytes) {
        std::vector<T>().swap(scratch);
    }
}

// Reduces each of `rows` rows of `from` pixels (four channels) to `to` pixels, each the mean of
// the stretch of the row it covers, a pixel covered in part weighed by the part. The result is
// written transposed (row r's pixel x at out[(x * rows + r) * 4]), so a second pass over it
// reduces the columns.
template <typename Channel>
void AverageRowsTransposed(const Channel* in, size_t rows, size_t from, size_t to, float* out) {
    const double scale = static_cast<double>(from) / static_cast<double>(to);
    std::vector<float> weights;
    for (size_t x = 0; x < to; ++x) {
        const double start = static_cast<double>(x) * scale;
        const double end = static_cast<double>(x + 1) * scale;
        const auto first = static_cast<size_t>(start);
        const size_t last = std::min(from, static_cast<size_t>(std::ceil(end)));
        weights.clear();
        for (size_t s = first; s < last; ++s) {
            const double covered = std::min(end, static_cast<double>(s + 1)) -
                                   std::max(start, static_cast<double>(s));
            weights.push_back(static_cast<float>(covered / scale));
        }
        for (size_t r = 0; r < rows; ++r) {
            float sum[4] = {};
            const Channel* pixel = in + (r * from + first) * 4;
            for (const float weight : weights) {
                for (int c = 0; c < 4; ++c) {
                    sum[c] += weight * static_cast<float>(pixel[c]);
                }
                pixel += 4;
            }
            std::copy(sum, sum + 4, out + (x * rows + r) * 4);
        }
    }
}

// A reduction of 32-bit pixels (premultiplied, so transparent edges stay clean) to `box`, no
// larger in either direction: what every pixel dropped averaged in, as HALFTONE does, so fine
// detail does not turn grainy. Nearest-neighbour scalers (Wine's WIC scaler is one) would.
UniqueBitmap AverageDown(const std::vector<BYTE>& pixels, UINT width, UINT height, SIZE box) {
    const auto boxWidth = static_cast<size_t>(box.cx);
    const auto boxHeight = static_cast<size_t>(box.cy);
    thread_local std::vector<float> columns;
    thread_local std::vector<float> reduced;
    columns.resize(boxWidth * height * 4);
    AverageRowsTransposed(pixels.data(), height, width, boxWidth, columns.data());
    reduced.resize(boxWidth * boxHeight * 4);
    AverageRowsTransposed(columns.data(), boxWidth, height, boxHeight, reduced.data());
    LetGoWhenLarge(columns);
    void* bits = nullptr;
    UniqueBitmap bitmap =
        CreatePictureBitmap(static_cast<UINT>(box.cx), static_cast<UINT>(box.cy), &bits);
    if (bitmap) {
        auto* target = static_cast<BYTE*>(bits);
        for (const float channel : reduced) {
            *target++ = static_cast<BYTE>(std::min(255.0f, channel + 0.5f));
        }
    }
    LetGoWhenLarge(reduced);
    return bitmap;
}

}  // namespace

Picture::Picture(UniqueBitmap bitmap, int width, int height, bool hasAlpha)
    : bitmap_(std::move(bitmap)), width_(width), height_(height), hasAlpha_(hasAlpha) {}

Picture::Picture(UniqueIcon icon, int width, int height)
    : icon_(std::move(icon)), width_(width), height_(height), hasAlpha_(true) {}

void Picture::Draw(HDC dc, const RECT& box) const {
    const int boxWidth = box.right - box.left;
    const int boxHeight = box.bottom - box.top;
    if (boxWidth <= 0 || boxHeight <= 0) {
        return;
    }
    if (icon_) {
        DrawIconEx(dc, box.left, box.top, icon_.get(), boxWidth, boxHeight, 0, nullptr, DI_NORMAL);
        return;
    }
    UniqueMemoryDc source(CreateCompatibleDC(dc));
    if (!source) {
        return;
    }
    SelectionScope selected(source.get(), bitmap_.get());
    if (hasAlpha_) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        GdiAlphaBlend(dc, box.left, box.top, boxWidth, boxHeight, source.get(), 0, 0, width_,
                      height_, blend);
        return;
    }
    if (boxWidth == width_ && boxHeight == height_) {
        BitBlt(dc, box.left, box.top, boxWidth, boxHeight, source.get(), 0, 0, SRCCOPY);
        return;
    }
    StretchHalftone(dc, box.left, box.top, boxWidth, boxHeight, source.get(), width_, height_);
}

PictureLoader::PictureLoader() {
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(factory_.GetAddressOf()));
    CoGetClassObject(CLSID_WICBmpDecoder, CLSCTX_INPROC_SERVER, nullptr,
                     IID_PPV_ARGS(bmpDecoders_.GetAddressOf()));
    CoGetClassObject(CLSID_WICJpegDecoder, CLSCTX_INPROC_SERVER, nullptr,
                     IID_PPV_ARGS(jpegDecoders_.GetAddressOf()));
}

PictureRef PictureLoader::FromFile(const std::wstring& path, SIZE box) const {
    if (!factory_) {
        return nullptr;
    }
    ComPtr<IWICStream> stream;
    if (FAILED(factory_->CreateStream(stream.GetAddressOf())) ||
        FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_READ))) {
        return nullptr;
    }
    unsigned char signature[2] = {};
    ULONG got = 0;
    stream->Read(signature, sizeof signature, &got);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    IClassFactory* known = nullptr;
    if (got == 2 && signature[0] == 'B' && signature[1] == 'M') {
        known = bmpDecoders_.Get();
    } else if (got == 2 && signature[0] == 0xFF && signature[1] == 0xD8) {
        known = jpegDecoders_.Get();
    }
    ComPtr<IWICBitmapDecoder> decoder;
    if (known != nullptr &&
        SUCCEEDED(known->CreateInstance(nullptr, IID_PPV_ARGS(decoder.GetAddressOf()))) &&
        SUCCEEDED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand))) {
        return Decode(decoder.Get(), box);
    }
    decoder.Reset();
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(factory_->CreateDecoderFromStream(
            stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf()))) {
        return nullptr;
    }
    return Decode(decoder.Get(), box);
}

PictureRef PictureLoader::FromResource(HINSTANCE instance, int id, SIZE box) const {
    if (!factory_) {
        return nullptr;
    }
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (found == nullptr) {
        return nullptr;
    }
    HGLOBAL loaded = LoadResource(instance, found);
    const DWORD size = SizeofResource(instance, found);
    auto* bytes = static_cast<BYTE*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (bytes == nullptr || size == 0) {
        return nullptr;
    }
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory_->CreateStream(stream.GetAddressOf())) ||
        FAILED(stream->InitializeFromMemory(bytes, size)) ||
        FAILED(factory_->CreateDecoderFromStream(
            stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf()))) {
        return nullptr;
    }
    return Decode(decoder.Get(), box);
}

PictureRef PictureLoader::IconFromResource(HINSTANCE instance, int id, int size) {
    UniqueIcon icon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    if (!icon) {
        return nullptr;
    }
    return std::make_shared<const Picture>(std::move(icon), size, size);
}

PictureRef PictureLoader::Decode(IWICBitmapDecoder* decoder, SIZE box) const {
    UINT frameCount = 0;
    if (FAILED(decoder->GetFrameCount(&frameCount)) || frameCount == 0) {
        return nullptr;
    }
    // An icon file holds one picture per size; the largest one stretches best.
    GUID container{};
    decoder->GetContainerFormat(&container);
    const UINT framesToCompare =
        container == GUID_ContainerFormatIco ? std::min(frameCount, 64u) : 1;
    ComPtr<IWICBitmapFrameDecode> frame;
    UINT width = 0;
    UINT height = 0;
    for (UINT index = 0; index < framesToCompare; ++index) {
        ComPtr<IWICBitmapFrameDecode> candidate;
        UINT candidateWidth = 0;
        UINT candidateHeight = 0;
        if (FAILED(decoder->GetFrame(index, candidate.GetAddressOf())) ||
            FAILED(candidate->GetSize(&candidateWidth, &candidateHeight))) {
            continue;
        }
        if (!frame || uint64_t{candidateWidth} * candidateHeight > uint64_t{width} * height) {
            frame = candidate;
            width = candidateWidth;
            height = candidateHeight;
        }
    }
    if (!frame || width == 0 || height == 0 || width > kLargestPictureSide ||
        height > kLargestPictureSide) {
        return nullptr;
    }
    const bool fitting = box.cx > 0 && box.cy > 0;

    ComPtr<IWICBitmapSource> decoded;
    if (fitting) {
        decoded = DecodeReduced(frame.Get(), width, height, box);
    }
    if (!decoded) {
        decoded = frame;
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory_->CreateFormatConverter(converter.GetAddressOf())) ||
        FAILED(converter->Initialize(decoded.Get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom))) {
        return nullptr;
    }
    ComPtr<IWICBitmapSource> source = converter;
    if (width > kLargestStoredSide || height > kLargestStoredSide) {
        ComPtr<IWICBitmapScaler> scaler;
        width = std::min(width, kLargestStoredSide);
        height = std::min(height, kLargestStoredSide);
        if (FAILED(factory_->CreateBitmapScaler(scaler.GetAddressOf())) ||
            FAILED(scaler->Initialize(converter.Get(), width, height,
                                      WICBitmapInterpolationModeFant))) {
            return nullptr;
        }
        source = scaler;
    }

    const UINT stride = width * 4;
    const UINT size = stride * height;
    const bool reducing = fitting && static_cast<UINT>(box.cx) <= width &&
                          static_cast<UINT>(box.cy) <= height &&
                          (static_cast<UINT>(box.cx) < width || static_cast<UINT>(box.cy) < height);
    void* bits = nullptr;
    UniqueBitmap bitmap;
    thread_local std::vector<BYTE> decodedPixels;  // scratch, as in AverageDown
    if (reducing) {
        decodedPixels.resize(size);
        bits = decodedPixels.data();
    } else {
        bitmap = CreatePictureBitmap(width, height, &bits);
        if (!bitmap) {
            return nullptr;
        }
    }
    if (FAILED(source->CopyPixels(nullptr, stride, size, static_cast<BYTE*>(bits)))) {
        return nullptr;
    }
    const auto* pixels = static_cast<const BYTE*>(bits);
    bool hasAlpha = false;
    for (UINT offset = 3; offset < size; offset += 4) {
        if (pixels[offset] != 255) {
            hasAlpha = true;
            break;
        }
    }
    if (reducing) {
        bitmap = AverageDown(decodedPixels, width, height, box);
        LetGoWhenLarge(decodedPixels);
        if (!bitmap) {
            return nullptr;
        }
        width = static_cast<UINT>(box.cx);
        height = static_cast<UINT>(box.cy);
    } else if (fitting &&
               (width != static_cast<UINT>(box.cx) || height != static_cast<UINT>(box.cy))) {
        // Enlarged (in one direction at least) by the stretch that painting used; the picture
        // at its own size goes as soon as its fitted copy exists.
        bitmap = FitToBox(bitmap.get(), width, height, hasAlpha, box);
        if (!bitmap) {
            return nullptr;
        }
        width = static_cast<UINT>(box.cx);
        height = static_cast<UINT>(box.cy);
    }
    return std::make_shared<const Picture>(std::move(bitmap), static_cast<int>(width),
                                           static_cast<int>(height), hasAlpha);
}

// A decoder that can scale while it decodes (Windows' JPEG decoder reduces by 1/2, 1/4 or 1/8)
// gives the frame at the smallest such size that still covers `box`, so a large photograph never
// exists at its full size. Nothing, leaving the plain frame to be decoded, whenever the decoder
// does not offer it, offers no smaller size, or fails at any step (Wine's decoders may lack it).
ComPtr<IWICBitmapSource> PictureLoader::DecodeReduced(IWICBitmapFrameDecode* frame, UINT& width,
                                                      UINT& height, SIZE box) const {
    ComPtr<IWICBitmapSourceTransform> transform;
    BOOL rotates = FALSE;
    if (FAILED(frame->QueryInterface(IID_PPV_ARGS(transform.GetAddressOf()))) || !transform ||
        FAILED(transform->DoesSupportTransform(WICBitmapTransformRotate0, &rotates)) || !rotates) {
        return nullptr;
    }
    // The least size with the picture's own proportions that covers the box.
    const double scale =
        std::max(static_cast<double>(box.cx) / width, static_cast<double>(box.cy) / height);
    if (scale >= 1.0) {
        return nullptr;
    }
    UINT reducedWidth = std::min(width, static_cast<UINT>(std::ceil(width * scale)));
    UINT reducedHeight = std::min(height, static_cast<UINT>(std::ceil(height * scale)));
    if (FAILED(transform->GetClosestSize(&reducedWidth, &reducedHeight)) ||
        reducedWidth < static_cast<UINT>(box.cx) || reducedHeight < static_cast<UINT>(box.cy) ||
        reducedWidth >= width || reducedHeight >= height) {
        return nullptr;
    }
    WICPixelFormatGUID format{};
    ComPtr<IWICComponentInfo> component;
    ComPtr<IWICPixelFormatInfo> formatInfo;
    UINT bitsPerPixel = 0;
    if (FAILED(frame->GetPixelFormat(&format)) ||
        FAILED(transform->GetClosestPixelFormat(&format)) ||
        FAILED(factory_->CreateComponentInfo(format, component.GetAddressOf())) ||
        FAILED(component.As(&formatInfo)) || FAILED(formatInfo->GetBitsPerPixel(&bitsPerPixel)) ||
        bitsPerPixel == 0 || bitsPerPixel > 128) {
        return nullptr;
    }
    const UINT stride = (reducedWidth * bitsPerPixel + 31) / 32 * 4;
    std::vector<BYTE> pixels(size_t{stride} * reducedHeight);
    ComPtr<IWICBitmap> reduced;
    if (FAILED(transform->CopyPixels(nullptr, reducedWidth, reducedHeight, &format,
                                     WICBitmapTransformRotate0, stride,
                                     static_cast<UINT>(pixels.size()), pixels.data())) ||
        FAILED(factory_->CreateBitmapFromMemory(reducedWidth, reducedHeight, format, stride,
                                                static_cast<UINT>(pixels.size()), pixels.data(),
                                                reduced.GetAddressOf()))) {
        return nullptr;
    }
    width = reducedWidth;
    height = reducedHeight;
    return reduced;
}

}  // namespace skyswap
