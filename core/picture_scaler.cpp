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

PictureKind PictureKindOf(const std::string& bytes) {
    const auto startsWith = [&](const char* signature, std::size_t length) {
        return bytes.size() >= length && bytes.compare(0, length, signature, length) == 0;
    };
    if (startsWith("BM", 2)) {
        return PictureKind::Bmp;
    }
    if (startsWith("\xFF\xD8\xFF", 3)) {
        return PictureKind::Jpeg;
    }
    if (startsWith("\x89PNG\r\n\x1A\n", 8)) {
        return PictureKind::Png;
    }
    if (startsWith("GIF87a", 6) || startsWith("GIF89a", 6)) {
        return PictureKind::Gif;
    }
    if (startsWith("II*\0", 4) || startsWith("MM\0*", 4)) {
        return PictureKind::Tiff;
    }
    return PictureKind::Unknown;
}

}  // namespace skyswap
