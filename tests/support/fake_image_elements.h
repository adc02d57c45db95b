// A recording stand-in for the window's thirteen image elements.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "image_elements.h"

namespace skyswap::test {

class FakeImageElements final : public ImageElements {
  public:
    // What an element shows: a picture's path, kPlaceholder, or "" for nothing yet.
    static constexpr const char* kPlaceholder = "placeholder";

    struct Element {
        std::string picture;
        std::optional<bool> visible;  // none until the program sets it
        std::optional<std::string> toolTip;
    };

    // Paths that LoadPicture refuses, as for a missing or broken file.
    std::set<std::string> failingPaths;
    bool placeholderLoads = true;

    std::string placeholderPath;
    std::array<Element, kImageElementCount> elements;
    std::vector<std::string> calls;

    bool LoadPlaceholder(const std::string& path) override {
        calls.push_back("LoadPlaceholder " + path);
        if (!placeholderLoads) {
            return false;
        }
        placeholderPath = path;
        return true;
    }

    void ShowPlaceholder(int element) override {
        calls.push_back("ShowPlaceholder " + std::to_string(element));
        elements.at(element).picture = kPlaceholder;
    }

    bool LoadPicture(int element, const std::string& path) override {
        calls.push_back("LoadPicture " + std::to_string(element) + " " + path);
        Element& target = elements.at(element);
        if (failingPaths.count(path) != 0) {
            return false;
        }
        target.picture = path;
        return true;
    }

    void SetVisible(int element, bool visible) override {
        calls.push_back("SetVisible " + std::to_string(element) + (visible ? " 1" : " 0"));
        elements.at(element).visible = visible;
    }

    void SetToolTip(int element, const std::string& text) override {
        calls.push_back("SetToolTip " + std::to_string(element) + " " + text);
        elements.at(element).toolTip = text;
    }
};

}  // namespace skyswap::test
