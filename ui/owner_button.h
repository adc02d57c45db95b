// The buttons are owner-drawn: with visual styles a push button ignores any face colour.
#pragma once

#include <windows.h>

namespace skyswap {

// Where the parts of a button go, in pixels at `dpi` (the design's at 96 DPI): the focused
// button's dark border, the caption's box and the focus rectangle, each inset from `item` by a
// width that scales with the DPI.
struct OwnerButtonGeometry {
    int border;      // the dark border around a focused button
    RECT caption;    // the caption's box, pressed or not
    RECT focus;      // the outer edge of the focus rectangle
    int focusWidth;  // its lines' width
};
OwnerButtonGeometry OwnerButtonLayout(const RECT& item, UINT dpi, bool pushed);

// Draws a push button from its WM_DRAWITEM at `dpi`: the face colour, a raised or pressed edge,
// the caption centred (wrapped when it is too wide) in the system's button-text colour, engraved
// grey when disabled, and a focus rectangle whenever it has the focus.
void DrawOwnerButton(const DRAWITEMSTRUCT& item, COLORREF face, HFONT font, UINT dpi);

}  // namespace skyswap
