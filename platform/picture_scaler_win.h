// The thumbnail maker on Windows: the Windows Imaging Component decodes the picture (BMP, JPEG,
// PNG, GIF, TIFF) and its high-quality scaler reduces or enlarges it.
#pragma once

#include <memory>

#include "picture_scaler.h"

namespace skyswap {

// Usable from any thread: each call joins COM for its own duration (multithreaded, or the
// apartment the thread is already in, such as the window's), so a worker thread needs no
// CoInitializeEx of its own.
std::unique_ptr<PictureScaler> MakeWicPictureScaler();

}  // namespace skyswap
