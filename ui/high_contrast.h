// High-contrast themes: the buttons give up their own face colours for the theme's.
#pragma once

#include <windows.h>

namespace skyswap {

// Whether a high-contrast theme is on.
bool HighContrastOn();

// The face a button is drawn with: its own colour, or the theme's button face in high contrast.
COLORREF ButtonFaceFor(COLORREF designFace, bool highContrast, COLORREF themeFace);
COLORREF ButtonFace(COLORREF designFace);

}  // namespace skyswap
