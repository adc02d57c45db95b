#include "installed_marker.h"

#include "dpi.h"
#include "high_contrast.h"
#include "win_handles.h"

namespace skyswap {

namespace {

void FrameBand(HDC dc, const RECT& box, int width, COLORREF colour) {
    UniqueBrush brush(CreateSolidBrush(colour));
    if (!brush) {
        return;
    }
    const RECT bands[] = {
        {box.left, box.top, box.right, box.top + width},
        {box.left, box.bottom - width, box.right, box.bottom},
        {box.left, box.top + width, box.left + width, box.bottom - width},
        {box.right - width, box.top + width, box.right, box.bottom - width},
    };
    for (const RECT& band : bands) {
        FillRect(dc, &band, brush.get());
    }
}

}  // namespace

int InstalledMarkerWidth(UINT dpi) {
    return MulDiv(3, static_cast<int>(dpi), kDefaultDpi);
}

int InstalledMarkerInnerWidth(UINT dpi) {
    return MulDiv(1, static_cast<int>(dpi), kDefaultDpi);
}

InstalledMarkerColours InstalledMarkerColoursFor(bool highContrast, COLORREF highlight,
                                                 COLORREF highlightText) {
    if (highContrast) {
        return {highlight, highlightText};
    }
    return {kInstalledMarkerColour, kInstalledMarkerInnerColour};
}

void DrawInstalledMarker(HDC dc, const RECT& box, UINT dpi) {
    const InstalledMarkerColours colours = InstalledMarkerColoursFor(
        HighContrastOn(), GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT));
    const int outer = InstalledMarkerWidth(dpi);
    FrameBand(dc, box, outer, colours.outer);
    const RECT inside{box.left + outer, box.top + outer, box.right - outer, box.bottom - outer};
    if (inside.right > inside.left && inside.bottom > inside.top) {
        FrameBand(dc, inside, InstalledMarkerInnerWidth(dpi), colours.inner);
    }
}

}  // namespace skyswap
