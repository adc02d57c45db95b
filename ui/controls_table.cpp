#include "controls_table.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace skyswap {

namespace {

// "MS Sans Serif" is missing on some systems, "Arial" on Wine; the nearest sans-serif faces
// stand in for them, those with the same widths first.
constexpr FontChoice kNoFont{{nullptr, nullptr, nullptr, nullptr, nullptr}, 0.0, false, false};
constexpr FontChoice kWindowFont{
    {L"MS Sans Serif", L"Microsoft Sans Serif", L"Arial", L"Liberation Sans", L"DejaVu Sans"},
    8.25,
    false,
    false};
constexpr FontChoice kFrameCaptionFont{
    {L"MS Sans Serif", L"Microsoft Sans Serif", L"Arial", L"Liberation Sans", L"DejaVu Sans"},
    8.25,
    true,
    false};
constexpr FontChoice kExitFont{
    {L"Arial", L"Liberation Sans", L"Microsoft Sans Serif", L"Tahoma", L"DejaVu Sans"},
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

int ToPixels(double twips, double ratio, double twipsPerPixel) {
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<int>(std::nearbyint(twips * ratio / twipsPerPixel));
}

PixelRect PlaceControl(int row, const LayoutScale& scale) {
    const ControlEntry& design = kControls[row];
    PixelRect origin{0, 0, 0, 0};
    if (design.container != kFormContainer) {
        origin = PlaceControl(design.container, scale);
    }
    const auto x = [&](double twips) {
        return ToPixels(twips, scale.ratioX, scale.twipsPerPixelX);
    };
    const auto y = [&](double twips) {
        return ToPixels(twips, scale.ratioY, scale.twipsPerPixelY);
    };
    if (design.kind == ControlKind::Line) {
        const int left = std::min(design.from.x, design.to.x);
        const int top = std::min(design.from.y, design.to.y);
        return {origin.left + x(left), origin.top + y(top),
                std::max(x(std::abs(design.to.x - design.from.x)), kLineThicknessPixels),
                std::max(y(std::abs(design.to.y - design.from.y)), kLineThicknessPixels)};
    }
    return {origin.left + x(design.rect.left), origin.top + y(design.rect.top),
            x(design.rect.width), y(design.rect.height)};
}

SIZE ClientSize(const LayoutScale& scale) {
    return {ToPixels(kClientWidthTwips, scale.ratioX, scale.twipsPerPixelX),
            ToPixels(kClientHeightTwips, scale.ratioY, scale.twipsPerPixelY)};
}

int FontPixelHeight(double points, const LayoutScale& scale) {
    const double ratio = (scale.ratioX + scale.ratioY) / 2.0;
    return std::max(1, ToPixels(points * kTwipsPerPoint, ratio, scale.twipsPerPixelY));
}

}  // namespace skyswap
