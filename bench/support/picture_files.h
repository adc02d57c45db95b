// Picture files for the page benchmarks: thumbnails as library authors save them (24-bit BMP)
// and the JPEG placeholder.
#pragma once

#include <cstdint>
#include <string>

namespace skyswap::bench {

// A sky-like picture with some noise in it, as a 24-bit bottom-up BMP file.
std::string SkyBmpBytes(int width, int height, uint32_t seed);

// Writes the same kind of picture as a JPEG file, through the Windows Imaging Component. Needs
// COM on this thread.
bool WriteSkyJpeg(const std::string& path, int width, int height, uint32_t seed);

}  // namespace skyswap::bench
