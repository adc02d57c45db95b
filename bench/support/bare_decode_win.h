// The plainest decode of a picture file through the Windows Imaging Component, shared by the
// baselines that SkySwap's picture loading and start-up are measured against.
#pragma once

#include <windows.h>
#include <wincodec.h>

namespace skyswap::bench {

// The file's first frame converted to `format` (a 32-bit format) in a top-down DIB section of
// its own size, or null. The caller deletes the bitmap.
HBITMAP BareDecode(IWICImagingFactory* factory, const wchar_t* path, const GUID& format,
                   UINT& width, UINT& height);

}  // namespace skyswap::bench
