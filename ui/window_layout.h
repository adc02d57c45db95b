// The main window as the layout scaling sees it: the controls' geometry in twips, kept as the
// scaling sets it and turned into pixels when the window applies it.
#pragma once

#include <windows.h>

#include "controls_table.h"
#include "layout_scaling.h"

namespace skyswap {

class WindowLayout final : public ScalableWindow {
  public:
    void Attach(HWND window, UINT dpi);
    void SetDpi(UINT dpi);

    const LayoutGeometry& Geometry() const { return geometry_; }
    PixelRect Place(int row) const {
        return PlaceControl(row, geometry_, twipsPerPixel_, twipsPerPixel_);
    }
    double TwipsPerPixel() const { return twipsPerPixel_; }

    int Count() override { return kControlCount; }
    bool Get(int index, std::string_view name, float& value) override;
    bool Set(int index, std::string_view name, float value) override;
    bool Move(int index, float left, float top, float width, float height) override;
    bool IsHeightExempt(int) override { return false; }  // the window has no combo box

    bool GetWindow(std::string_view name, float& value) override;
    bool MoveWindow(float left, float top, float width, float height) override;
    bool IsMinimized() override;
    void SetScaleModeTwips() override {}  // the geometry is kept in twips throughout

    // The fit to the screen sees the screen as Windows shows it to a program that knows nothing
    // of display scaling: 15 twips per pixel, and as many pixels as at 96 DPI. So the window
    // takes the same share of the screen at every scaling, while it is drawn at the real DPI.
    float TwipsPerPixelX() override { return static_cast<float>(kUnscaledTwipsPerPixel); }
    float TwipsPerPixelY() override { return static_cast<float>(kUnscaledTwipsPerPixel); }
    float ScreenWidthTwips() override;
    float ScreenHeightTwips() override;
    bool WorkArea(TwipsArea& area) override;

  private:
    static constexpr double kUnscaledTwipsPerPixel = 15.0;

    // The member a property name stands for on this control, or null when the control lacks it.
    float* Property(int index, std::string_view name);
    bool Monitor(MONITORINFO& info) const;

    HWND window_ = nullptr;
    double twipsPerPixel_ = 15.0;
    LayoutGeometry geometry_ = DesignGeometry();
};

}  // namespace skyswap
