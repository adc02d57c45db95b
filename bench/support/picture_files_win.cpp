#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "picture_files.h"
#include "text_win.h"

namespace skyswap::bench {
namespace {

using Microsoft::WRL::ComPtr;

// Rows of blue-to-white sky with cloud-like noise, bottom row first, each padded to 4 bytes.
std::vector<unsigned char> SkyRows(int width, int height, uint32_t seed, std::size_t& stride) {
    stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    std::vector<unsigned char> rows(stride * static_cast<std::size_t>(height));
    uint32_t noise = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &rows[static_cast<std::size_t>(height - 1 - y) * stride];
        const int sky = 255 * y / (height > 1 ? height - 1 : 1);
        for (int x = 0; x < width; ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int grain = static_cast<int>(noise & 31);
            row[x * 3 + 0] = static_cast<unsigned char>(std::min(255, 200 + grain));  // blue
            row[x * 3 + 1] = static_cast<unsigned char>(std::min(255, 90 + sky / 2 + grain));
            row[x * 3 + 2] = static_cast<unsigned char>(std::min(255, 40 + sky / 2 + grain));
        }
    }
    return rows;
}

void Put16(std::string& bytes, std::size_t at, uint16_t value) {
    std::memcpy(&bytes[at], &value, 2);
}
void Put32(std::string& bytes, std::size_t at, uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}

}  // namespace

std::string SkyBmpBytes(int width, int height, uint32_t seed) {
    std::size_t stride = 0;
    const std::vector<unsigned char> rows = SkyRows(width, height, seed, stride);
    constexpr std::size_t kHeaders = 14 + 40;
    std::string bytes(kHeaders, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    Put32(bytes, 2, static_cast<uint32_t>(kHeaders + rows.size()));
    Put32(bytes, 10, kHeaders);
    Put32(bytes, 14, 40);
    Put32(bytes, 18, static_cast<uint32_t>(width));
    Put32(bytes, 22, static_cast<uint32_t>(height));
    Put16(bytes, 26, 1);
    Put16(bytes, 28, 24);
    Put32(bytes, 34, static_cast<uint32_t>(rows.size()));
    Put32(bytes, 38, 2835);  // 72 dpi
    Put32(bytes, 42, 2835);
    bytes.append(reinterpret_cast<const char*>(rows.data()), rows.size());
    return bytes;
}

bool WriteSkyJpeg(const std::string& path, int width, int height, uint32_t seed) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(factory.GetAddressOf()))) ||
        FAILED(factory->CreateStream(stream.GetAddressOf())) ||
        FAILED(stream->InitializeFromFilename(Utf8ToWide(path).c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, encoder.GetAddressOf())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.GetAddressOf(), nullptr)) ||
        FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)))) {
        return false;
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR) {
        return false;
    }
    std::size_t stride = 0;
    std::vector<unsigned char> rows = SkyRows(width, height, seed, stride);
    // WIC writes top row first; the BMP rows are bottom first.
    std::vector<unsigned char> topDown(rows.size());
    for (int y = 0; y < height; ++y) {
        std::memcpy(&topDown[static_cast<std::size_t>(y) * stride],
                    &rows[static_cast<std::size_t>(height - 1 - y) * stride], stride);
    }
    return SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(stride),
                                        static_cast<UINT>(topDown.size()), topDown.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace skyswap::bench
