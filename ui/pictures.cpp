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

// The picture enlarged once to `box`, exactly as Picture::Draw would stretch it on every paint:
// HALFTONE for opaque pictures, the alpha blend for the others (over transparent black, which
// leaves the premultiplied pixels as the blend makes them).
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

// The scratch memory of a reduction is small (a band of rows and two accumulated rows) and kept
// from picture to picture: memory the system hands over afresh is slow to touch, and a page turn
// reduces ten pictures.
constexpr UINT kRowsPerBand = 16;

// Reduces a picture of 32-bit pixels (premultiplied, so transparent edges stay clean) to a box no
// larger in either direction as its rows arrive from the decoder, band by band, so the picture
// never exists at its full size. Each pixel of the result is the mean of the part of the picture
// it covers, a pixel covered in part weighed by the part, as HALFTONE does: fine detail does not
// turn grainy as it does with nearest-neighbour scalers (Wine's WIC scaler is one).
//
// Source pixel s spans [s * to, (s + 1) * to) and result pixel d spans [d * from, (d + 1) * from)
// on a common integer scale, so the weights are exact and add up to one for every result pixel.
class AreaAverager {
  public:
    AreaAverager(UINT fromWidth, UINT fromHeight, UINT toWidth, UINT toHeight, BYTE* target)
        : fromWidth_(fromWidth),
          fromHeight_(fromHeight),
          toWidth_(toWidth),
          toHeight_(toHeight),
          target_(target) {
        thread_local Scratch scratch;
        scratch_ = &scratch;
        scratch_->spans.clear();
        scratch_->weights.clear();
        for (UINT x = 0; x < toWidth_; ++x) {
            const uint64_t start = uint64_t{x} * fromWidth_;
            const uint64_t end = start + fromWidth_;
            Span span{static_cast<UINT>(start / toWidth_), 0, scratch_->weights.size()};
            for (uint64_t s = span.first; s * toWidth_ < end; ++s) {
                const uint64_t covered =
                    std::min(end, (s + 1) * toWidth_) - std::max(start, s * toWidth_);
                scratch_->weights.push_back(static_cast<float>(covered) /
                                            static_cast<float>(fromWidth_));
                ++span.count;
            }
            scratch_->spans.push_back(span);
        }
        scratch_->row.resize(size_t{toWidth_} * 4);
        scratch_->sum.assign(size_t{toWidth_} * 4, 0.0f);
    }

    // Adds the picture's next `count` rows, `stride` bytes apart.
    void AddRows(const BYTE* rows, UINT count, UINT stride) {
        for (UINT r = 0; r < count && nextRow_ < fromHeight_; ++r, ++nextRow_) {
            ReduceRow(rows + size_t{r} * stride);
            // This row spans [start, end); the result row being summed ends at rowEnd.
            uint64_t start = uint64_t{nextRow_} * toHeight_;
            const uint64_t end = start + toHeight_;
            while (start < end) {
                const uint64_t rowEnd = (uint64_t{doneRows_} + 1) * fromHeight_;
                const uint64_t stop = std::min(end, rowEnd);
                const float weight =
                    static_cast<float>(stop - start) / static_cast<float>(fromHeight_);
                for (size_t c = 0; c < scratch_->sum.size(); ++c) {
                    scratch_->sum[c] += weight * scratch_->row[c];
                }
                if (stop == rowEnd) {
                    FinishRow();
                }
                start = stop;
            }
        }
    }

  private:
    struct Span {
        UINT first;
        UINT count;
        size_t weightsAt;
    };
    struct Scratch {
        std::vector<Span> spans;
        std::vector<float> weights;
        std::vector<float> row;  // one picture row reduced to the result's width
        std::vector<float> sum;  // the result row being summed
    };

    void ReduceRow(const BYTE* pixels) {
        float* out = scratch_->row.data();
        for (const Span& span : scratch_->spans) {
            float sum[4] = {};
            const BYTE* pixel = pixels + size_t{span.first} * 4;
            const float* weight = scratch_->weights.data() + span.weightsAt;
            for (UINT s = 0; s < span.count; ++s, pixel += 4) {
                for (int c = 0; c < 4; ++c) {
                    sum[c] += weight[s] * static_cast<float>(pixel[c]);
                }
            }
            out = std::copy(sum, sum + 4, out);
        }
    }

    void FinishRow() {
        if (doneRows_ < toHeight_) {
            BYTE* target = target_ + size_t{doneRows_} * toWidth_ * 4;
            for (float& channel : scratch_->sum) {
                *target++ = static_cast<BYTE>(std::min(255.0f, channel + 0.5f));
                channel = 0.0f;
            }
        }
        ++doneRows_;
    }

    UINT fromWidth_;
    UINT fromHeight_;
    UINT toWidth_;
    UINT toHeight_;
    BYTE* target_;
    Scratch* scratch_ = nullptr;
    UINT nextRow_ = 0;
    UINT doneRows_ = 0;
};

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
    const bool reducing = fitting && static_cast<UINT>(box.cx) <= width &&
                          static_cast<UINT>(box.cy) <= height &&
                          (static_cast<UINT>(box.cx) < width || static_cast<UINT>(box.cy) < height);
    void* bits = nullptr;
    UniqueBitmap bitmap;
    bool hasAlpha = false;
    const auto noteAlpha = [&hasAlpha](const BYTE* pixels, size_t size) {
        for (size_t offset = 3; !hasAlpha && offset < size; offset += 4) {
            hasAlpha = pixels[offset] != 255;
        }
    };
    if (reducing) {
        bitmap = CreatePictureBitmap(static_cast<UINT>(box.cx), static_cast<UINT>(box.cy), &bits);
        if (!bitmap) {
            return nullptr;
        }
        AreaAverager averager(width, height, static_cast<UINT>(box.cx), static_cast<UINT>(box.cy),
                              static_cast<BYTE*>(bits));
        thread_local std::vector<BYTE> band;
        band.resize(size_t{stride} * kRowsPerBand);
        for (UINT top = 0; top < height; top += kRowsPerBand) {
            const UINT rows = std::min(kRowsPerBand, height - top);
            const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(width),
                               static_cast<INT>(rows)};
            if (FAILED(source->CopyPixels(&rect, stride, stride * rows, band.data()))) {
                return nullptr;
            }
            noteAlpha(band.data(), size_t{stride} * rows);
            averager.AddRows(band.data(), rows, stride);
        }
        width = static_cast<UINT>(box.cx);
        height = static_cast<UINT>(box.cy);
    } else {
        bitmap = CreatePictureBitmap(width, height, &bits);
        const UINT size = stride * height;
        if (!bitmap ||
            FAILED(source->CopyPixels(nullptr, stride, size, static_cast<BYTE*>(bits)))) {
            return nullptr;
        }
        noteAlpha(static_cast<const BYTE*>(bits), size);
        if (fitting &&
            (width != static_cast<UINT>(box.cx) || height != static_cast<UINT>(box.cy))) {
            // Enlarged (in one direction at least) by the stretch that painting used; the
            // picture at its own size goes as soon as its fitted copy exists.
            bitmap = FitToBox(bitmap.get(), width, height, hasAlpha, box);
            if (!bitmap) {
                return nullptr;
            }
            width = static_cast<UINT>(box.cx);
            height = static_cast<UINT>(box.cy);
        }
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
