#include "picture_scaler.h"

#include <cstdint>

namespace skyswap {

namespace {

void PutLittleEndian(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

std::string BmpFile24(int width, int height, const std::string& pixels) {
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3U;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(height);
    std::string file = "BM";
    PutLittleEndian(file, 14 + 40 + imageBytes, 4);
    PutLittleEndian(file, 0, 4);
    PutLittleEndian(file, 14 + 40, 4);
    PutLittleEndian(file, 40, 4);  // BITMAPINFOHEADER
    PutLittleEndian(file, static_cast<std::uint32_t>(width), 4);
    PutLittleEndian(file, static_cast<std::uint32_t>(height), 4);  // positive: rows from below
    PutLittleEndian(file, 1, 2);
    PutLittleEndian(file, 24, 2);
    PutLittleEndian(file, 0, 4);  // BI_RGB
    PutLittleEndian(file, imageBytes, 4);
    PutLittleEndian(file, 3780, 4);  // 96 DPI in pixels per metre
    PutLittleEndian(file, 3780, 4);
    PutLittleEndian(file, 0, 4);
    PutLittleEndian(file, 0, 4);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int row = height - 1; row >= 0; --row) {
        file.append(pixels, static_cast<std::size_t>(row) * stride, stride);
        file.append(rowBytes - stride, '\0');
    }
    return file;
}

}  // namespace skyswap
