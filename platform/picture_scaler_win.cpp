#include "picture_scaler_win.h"

#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace skyswap {

namespace {

using Microsoft::WRL::ComPtr;

// A picture with a side longer than this is taken for a broken one: no download's preview is
// that large, and decoding it would hold gigabytes.
constexpr UINT kLargestPictureSide = 16384;
// WICBitmapInterpolationModeHighQualityCubic (Windows 10), which mingw-w64's headers lack.
constexpr auto kHighQualityCubic = static_cast<WICBitmapInterpolationMode>(4);

// COM for one call, on whatever thread it runs: a thread that is already in an apartment (the
// window's) keeps it, another joins the multithreaded one for the call's duration.
class ComForCall {
  public:
    ComForCall() {
        const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        joined_ = SUCCEEDED(result);
        usable_ = joined_ || result == RPC_E_CHANGED_MODE;
    }
    ~ComForCall() {
        if (joined_) {
            CoUninitialize();
        }
    }
    ComForCall(const ComForCall&) = delete;
    ComForCall& operator=(const ComForCall&) = delete;

    bool usable() const { return usable_; }

  private:
    bool joined_ = false;
    bool usable_ = false;
};

// Windows' own decoder of a format. WIC's CreateDecoderFromStream would ask every codec
// installed, third parties' too, which then read a download in an elevated SkySwap.
const CLSID* BuiltInDecoder(PictureKind kind) {
    switch (kind) {
        case PictureKind::Bmp:
            return &CLSID_WICBmpDecoder;
        case PictureKind::Jpeg:
            return &CLSID_WICJpegDecoder;
        case PictureKind::Png:
            return &CLSID_WICPngDecoder;
        case PictureKind::Gif:
            return &CLSID_WICGifDecoder;
        case PictureKind::Tiff:
            return &CLSID_WICTiffDecoder;
        case PictureKind::Unknown:
            break;
    }
    return nullptr;
}

class WicPictureScaler final : public PictureScaler {
  public:
    bool ScaleToCover(const std::string& picture, int width, int height,
                      std::string& pixels) override {
        pixels.clear();
        if (picture.empty() || picture.size() > MAXDWORD || width <= 0 || height <= 0) {
            return false;
        }
        ComForCall com;
        if (!com.usable()) {
            return false;
        }
        std::vector<BYTE> premultiplied;
        if (!Scale(picture, static_cast<UINT>(width), static_cast<UINT>(height), premultiplied)) {
            return false;
        }
        // Transparent parts are shown over white, as a picture viewer shows them.
        pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
        for (std::size_t i = 0, o = 0; i < premultiplied.size(); i += 4, o += 3) {
            const BYTE uncovered = static_cast<BYTE>(255 - premultiplied[i + 3]);
            for (std::size_t c = 0; c < 3; ++c) {
                pixels[o + c] = static_cast<char>(std::min(255, premultiplied[i + c] + uncovered));
            }
        }
        return true;
    }

  private:
    // Decodes the first frame and scales it to cover width x height, its centre cut out, as
    // 32-bit premultiplied BGRA rows from the top.
    static bool Scale(const std::string& picture, UINT width, UINT height, std::vector<BYTE>& out) {
        ComPtr<IWICImagingFactory> factory;
        if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&factory)))) {
            return false;
        }
        // The stream reads this copy; it must outlive every object below.
        std::vector<BYTE> bytes(picture.begin(), picture.end());
        ComPtr<IWICStream> stream;
        ComPtr<IWICBitmapDecoder> decoder;
        ComPtr<IWICBitmapFrameDecode> frame;
        const CLSID* decoderClass = BuiltInDecoder(PictureKindOf(picture));
        if (decoderClass == nullptr || FAILED(factory->CreateStream(&stream)) ||
            FAILED(stream->InitializeFromMemory(bytes.data(), static_cast<DWORD>(bytes.size()))) ||
            FAILED(CoCreateInstance(*decoderClass, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&decoder))) ||
            FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)) ||
            FAILED(decoder->GetFrame(0, &frame))) {
            return false;
        }
        UINT sourceWidth = 0;
        UINT sourceHeight = 0;
        if (FAILED(frame->GetSize(&sourceWidth, &sourceHeight)) || sourceWidth == 0 ||
            sourceHeight == 0 || sourceWidth > kLargestPictureSide ||
            sourceHeight > kLargestPictureSide) {
            return false;
        }
        // The larger of the two ratios covers the box; the other side is then cut.
        const double ratio = std::max(static_cast<double>(width) / sourceWidth,
                                      static_cast<double>(height) / sourceHeight);
        const UINT scaledWidth =
            std::max(width, static_cast<UINT>(std::lround(sourceWidth * ratio)));
        const UINT scaledHeight =
            std::max(height, static_cast<UINT>(std::lround(sourceHeight * ratio)));

        ComPtr<IWICFormatConverter> converter;
        if (FAILED(factory->CreateFormatConverter(&converter)) ||
            FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                         WICBitmapDitherTypeNone, nullptr, 0.0,
                                         WICBitmapPaletteTypeCustom))) {
            return false;
        }
        ComPtr<IWICBitmapScaler> scaler;
        if (FAILED(factory->CreateBitmapScaler(&scaler))) {
            return false;
        }
        // High-quality cubic (Windows 10) where there is one, else Fant, which is made for
        // reducing.
        if (FAILED(scaler->Initialize(converter.Get(), scaledWidth, scaledHeight,
                                      kHighQualityCubic)) &&
            FAILED(scaler->Initialize(converter.Get(), scaledWidth, scaledHeight,
                                      WICBitmapInterpolationModeFant))) {
            return false;
        }
        const WICRect centre = {static_cast<INT>((scaledWidth - width) / 2),
                                static_cast<INT>((scaledHeight - height) / 2),
                                static_cast<INT>(width), static_cast<INT>(height)};
        const UINT stride = width * 4;
        out.assign(static_cast<std::size_t>(stride) * height, 0);
        return SUCCEEDED(
            scaler->CopyPixels(&centre, stride, static_cast<UINT>(out.size()), out.data()));
    }
};

}  // namespace

std::unique_ptr<PictureScaler> MakeWicPictureScaler() {
    return std::make_unique<WicPictureScaler>();
}

}  // namespace skyswap
