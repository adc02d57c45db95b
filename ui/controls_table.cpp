#include "controls_table.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace skyswap {

namespace {

// "MS Sans Serif" is a bitmap face on Windows and on Wine, drawn only at a few fixed sizes, so
// its outline successor "Microsoft Sans Serif" comes first; where that is missing (Wine), the
// nearest outline sans-serif faces stand in, those with the same widths first. A face is used
// only when it is an outline face (see MainWindow::ChooseFontFaces).
constexpr FontChoice kNoFont{{}, 0.0, false, false};
constexpr FontChoice kWindowFont{{L"Microsoft Sans Serif", L"MS Sans Serif", L"Tahoma", L"Arial",
                                  L"Liberation Sans", L"DejaVu Sans"},
                                 8.25,
                                 false,
                                 false};
constexpr FontChoice kFrameCaptionFont{{L"Microsoft Sans Serif", L"MS Sans Serif", L"Tahoma",
                                        L"Arial", L"Liberation Sans", L"DejaVu Sans"},
                                       8.25,
                                       true,
                                       false};
constexpr FontChoice kExitFont{
    {L"Arial", L"Liberation Sans", L"Microsoft Sans Serif", L"Tahoma", L"DejaVu Sans", nullptr},
    20.25,
    true,
    true};

}  // namespace

const FontChoice& FontFor(FontRole role) {
    switch (role) {
        case FontRole::Window:
            return kWindowFont;
        case FontRole::FrameCaption:
            return kFrameCaptionFont;
        case FontRole::ExitCaption:
            return kExitFont;
        case FontRole::None:
            break;
    }
    return kNoFont;
}

LayoutGeometry DesignGeometry() {
    LayoutGeometry geometry{};
    for (int row = 0; row < kControlCount; ++row) {
        const ControlEntry& design = kControls[row];
        ControlGeometry& control = geometry[row];
        if (design.kind == ControlKind::Line) {
            control.x1 = static_cast<float>(design.from.x);
            control.y1 = static_cast<float>(design.from.y);
            control.x2 = static_cast<float>(design.to.x);
            control.y2 = static_cast<float>(design.to.y);
        } else {
            control.left = static_cast<float>(design.rect.left);
            control.top = static_cast<float>(design.rect.top);
            control.width = static_cast<float>(design.rect.width);
            control.height = static_cast<float>(design.rect.height);
        }
        control.fontPoints = static_cast<float>(FontFor(design.font).points);
    }
    return geometry;
}

int ToPixels(double twips, double twipsPerPixel) {
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<int>(std::nearbyint(twips / twipsPerPixel));
}

PixelRect PlaceControl(int row, const LayoutGeometry& geometry, double twipsPerPixelX,
                       double twipsPerPixelY) {
    const ControlEntry& design = kControls[row];
    const ControlGeometry& control = geometry[row];
    PixelRect origin{0, 0, 0, 0};
    if (design.container != kFormContainer) {
        origin = PlaceControl(design.container, geometry, twipsPerPixelX, twipsPerPixelY);
    }
    const auto x = [&](double twips) { return ToPixels(twips, twipsPerPixelX); };
    const auto y = [&](double twips) { return ToPixels(twips, twipsPerPixelY); };
    if (design.kind == ControlKind::Line) {
        // Two pixels at 96 DPI, as thick to the eye at every scaling.
        const int thickness = std::max(kLineThicknessPixels, y(kLineThicknessPixels * 15.0));
        return {origin.left + x(std::min(control.x1, control.x2)),
                origin.top + y(std::min(control.y1, control.y2)),
                std::max(x(std::fabs(control.x2 - control.x1)), thickness),
                std::max(y(std::fabs(control.y2 - control.y1)), thickness)};
    }
    return {origin.left + x(control.left), origin.top + y(control.top), x(control.width),
            y(control.height)};
}

SIZE DesignClientSize(double twipsPerPixelX, double twipsPerPixelY) {
    return {ToPixels(kClientWidthTwips, twipsPerPixelX),
            ToPixels(kClientHeightTwips, twipsPerPixelY)};
}

int NearestIconSize(int width, int height) {
    constexpr int kIconSizes[] = {16, 32, 64, 128};
    const int side = std::max(width, height);
    int nearest = kIconSizes[0];
    for (const int size : kIconSizes) {
        if (std::abs(size - side) <= std::abs(nearest - side)) {
            nearest = size;
        }
    }
    return nearest;
}

int FontPixelHeight(double points, double twipsPerPixelY) {
    return std::max(1, ToPixels(points * kTwipsPerPoint, twipsPerPixelY));
}

}  // namespace skyswap
