#include "pictures.h"

#include <algorithm>
#include <cstdint>

namespace skyswap {

using Microsoft::WRL::ComPtr;

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
    // HALFTONE averages the pixels a reduction drops, so thumbnails stay sharp instead of
    // turning grainy as they do with the default mode.
    const int previousMode = SetStretchBltMode(dc, HALFTONE);
    POINT previousOrigin{};
    SetBrushOrgEx(dc, 0, 0, &previousOrigin);
    StretchBlt(dc, box.left, box.top, boxWidth, boxHeight, source.get(), 0, 0, width_, height_,
               SRCCOPY);
    SetBrushOrgEx(dc, previousOrigin.x, previousOrigin.y, nullptr);
    SetStretchBltMode(dc, previousMode);
}

PictureLoader::PictureLoader() {
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(factory_.GetAddressOf()));
    CoGetClassObject(CLSID_WICBmpDecoder, CLSCTX_INPROC_SERVER, nullptr,
                     IID_PPV_ARGS(bmpDecoders_.GetAddressOf()));
    CoGetClassObject(CLSID_WICJpegDecoder, CLSCTX_INPROC_SERVER, nullptr,
                     IID_PPV_ARGS(jpegDecoders_.GetAddressOf()));
}

PictureRef PictureLoader::FromFile(const std::wstring& path) const {
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
        return Decode(decoder.Get());
    }
    decoder.Reset();
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(factory_->CreateDecoderFromStream(
            stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf()))) {
        return nullptr;
    }
    return Decode(decoder.Get());
}

PictureRef PictureLoader::FromResource(HINSTANCE instance, int id) const {
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
    return Decode(decoder.Get());
}

PictureRef PictureLoader::IconFromResource(HINSTANCE instance, int id, int size) {
    UniqueIcon icon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    if (!icon) {
        return nullptr;
    }
    return std::make_shared<const Picture>(std::move(icon), size, size);
}

PictureRef PictureLoader::Decode(IWICBitmapDecoder* decoder) const {
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

    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory_->CreateFormatConverter(converter.GetAddressOf())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
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

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as WIC writes rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) {
        return nullptr;
    }
    const UINT stride = width * 4;
    const UINT size = stride * height;
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
    return std::make_shared<const Picture>(std::move(bitmap), static_cast<int>(width),
                                           static_cast<int>(height), hasAlpha);
}

}  // namespace skyswap
