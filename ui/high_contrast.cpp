#include "high_contrast.h"

namespace skyswap {

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

COLORREF ButtonFaceFor(COLORREF designFace, bool highContrast, COLORREF themeFace) {
    return highContrast ? themeFace : designFace;
}

COLORREF ButtonFace(COLORREF designFace) {
    return ButtonFaceFor(designFace, HighContrastOn(), GetSysColor(COLOR_BTNFACE));
}

}  // namespace skyswap
