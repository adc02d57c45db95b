// The rectangle outlines and the separating line of the main window: plain children drawn in the
// window-text colour.
#pragma once

#include <windows.h>

namespace skyswap {

// An outline, one pixel wide at 96 DPI and as much wider as the DPI is, whose inside belongs to
// the windows under it, so the arrow it frames shows through and takes the clicks.
extern const wchar_t kRectangleClass[];
// A filled bar: the line, as thick as its window.
extern const wchar_t kLineClass[];

bool RegisterShapeClasses(HINSTANCE instance);

// The outline's width in pixels at `dpi`: 1 at 96 DPI, 2 at 192.
int OutlineWidth(UINT dpi);

}  // namespace skyswap
