// The buttons are owner-drawn: with visual styles a push button ignores any face colour.
#pragma once

#include <windows.h>

namespace skyswap {

// Draws a push button from its WM_DRAWITEM: the face colour, a raised or pressed edge, the
// caption centred (wrapped when it is too wide) in the system's button-text colour, engraved grey
// when disabled, and a focus rectangle whenever it has the focus.
void DrawOwnerButton(const DRAWITEMSTRUCT& item, COLORREF face, HFONT font);

}  // namespace skyswap
