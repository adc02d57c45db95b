// The outline that marks the thumbnail slot showing the set the game holds.
#pragma once

#include <windows.h>

namespace skyswap {

// Amber, which no sky thumbnail is made of, with a thin dark line inside it so that it stands
// out on light pictures too.
constexpr COLORREF kInstalledMarkerColour = RGB(255, 176, 0);
constexpr COLORREF kInstalledMarkerInnerColour = RGB(24, 24, 24);

// The outline's widths in pixels at `dpi`: 3 and 1 at 96 DPI.
int InstalledMarkerWidth(UINT dpi);
int InstalledMarkerInnerWidth(UINT dpi);

struct InstalledMarkerColours {
    COLORREF outer;
    COLORREF inner;
};
// Amber and dark normally; in high contrast the theme's highlight colour, with its text colour
// as the thin line, as a high-contrast theme marks what is selected.
InstalledMarkerColours InstalledMarkerColoursFor(bool highContrast, COLORREF highlight,
                                                 COLORREF highlightText);

// Draws the outline along the inside edge of `box`, in the colours for the current theme.
void DrawInstalledMarker(HDC dc, const RECT& box, UINT dpi);

}  // namespace skyswap
