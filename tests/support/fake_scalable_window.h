// A window for the layout-scaling tests: controls with named properties, the window's rectangle
// and the screen's metrics, all in twips. Like a real platform it may store whole pixels only.
#pragma once

#include <cmath>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "layout_scaling.h"

namespace skyswap::test {

class FakeScalableWindow final : public ScalableWindow {
  public:
    struct Control {
        std::map<std::string, float, std::less<>> properties;
        bool heightExempt = false;
    };

    std::vector<Control> controls;
    std::map<std::string, float, std::less<>> window{
        {"Left", 1200}, {"Top", 900}, {"Width", 9240}, {"Height", 6960}};
    float twipsPerPixelX = 15, twipsPerPixelY = 15;
    float screenWidthPx = 800, screenHeightPx = 600;
    bool minimized = false;
    // The work area in twips, when the platform reports one.
    std::optional<TwipsArea> workArea;
    bool scaleModeTwips = false;
    int windowMoves = 0;
    // When set, every stored geometry is rounded to whole pixels, as a real window does.
    bool wholePixels = false;
    // The resize notification that a change of the window's size raises, if any.
    std::function<void()> onResize;

    int Add(std::map<std::string, float, std::less<>> properties, bool heightExempt = false) {
        controls.push_back({std::move(properties), heightExempt});
        return static_cast<int>(controls.size()) - 1;
    }
    float Value(int index, const std::string& name) const {
        return controls.at(static_cast<std::size_t>(index)).properties.at(name);
    }

    int Count() override { return static_cast<int>(controls.size()); }
    bool Get(int index, std::string_view name, float& value) override {
        const auto& properties = controls.at(static_cast<std::size_t>(index)).properties;
        const auto found = properties.find(name);
        if (found == properties.end()) {
            return false;
        }
        value = found->second;
        return true;
    }
    bool Set(int index, std::string_view name, float value) override {
        auto& properties = controls.at(static_cast<std::size_t>(index)).properties;
        const auto found = properties.find(name);
        if (found == properties.end() || !std::isfinite(value) || std::fabs(value) > 2.0e9F) {
            return false;
        }
        found->second = name == "FontSize" ? value : Stored(value);
        return true;
    }
    bool Move(int index, float left, float top, float width, float height) override {
        auto& properties = controls.at(static_cast<std::size_t>(index)).properties;
        for (const char* name : {"Left", "Top", "Width", "Height"}) {
            if (properties.find(name) == properties.end()) {
                return false;
            }
        }
        properties["Left"] = Stored(left);
        properties["Top"] = Stored(top);
        properties["Width"] = Stored(width);
        properties["Height"] = Stored(height);
        return true;
    }
    bool IsHeightExempt(int index) override {
        return controls.at(static_cast<std::size_t>(index)).heightExempt;
    }
    bool GetWindow(std::string_view name, float& value) override {
        value = window.find(name)->second;
        return true;
    }
    bool MoveWindow(float left, float top, float width, float height) override {
        const bool resized = width != window["Width"] || height != window["Height"];
        window = {{"Left", left}, {"Top", top}, {"Width", width}, {"Height", height}};
        ++windowMoves;
        if (resized && onResize) {
            onResize();  // delivered at once, as Windows does
        }
        return true;
    }
    bool IsMinimized() override { return minimized; }
    void SetScaleModeTwips() override { scaleModeTwips = true; }
    float TwipsPerPixelX() override { return twipsPerPixelX; }
    float TwipsPerPixelY() override { return twipsPerPixelY; }
    float ScreenWidthTwips() override { return screenWidthPx * twipsPerPixelX; }
    float ScreenHeightTwips() override { return screenHeightPx * twipsPerPixelY; }
    bool WorkArea(TwipsArea& area) override {
        if (workArea) {
            area = *workArea;
        }
        return workArea.has_value();
    }

  private:
    float Stored(float twips) const {
        return wholePixels ? std::round(twips / 15.0F) * 15.0F : twips;
    }
};

}  // namespace skyswap::test
