// The thirteen clickable image elements of the main window, as the paging logic sees them.
#pragma once

#include <string>

namespace skyswap {

// Element numbers: 0..9 thumbnail slots, then these three.
constexpr int kSlotCount = 10;
constexpr int kRandomElement = 10;
constexpr int kBackArrow = 11;
constexpr int kNextArrow = 12;
constexpr int kImageElementCount = 13;

class ImageElements {
  public:
    virtual ~ImageElements() = default;

    // Reads and decodes the placeholder picture for empty slots; false when it is unreadable.
    virtual bool LoadPlaceholder(const std::string& path) = 0;
    // Shows the placeholder loaded last in `element`.
    virtual void ShowPlaceholder(int element) = 0;
    // Loads a picture file into `element`; false, leaving the element as it was, when the file is
    // missing or cannot be decoded.
    virtual bool LoadPicture(int element, const std::string& path) = 0;
    virtual void SetVisible(int element, bool visible) = 0;
    virtual void SetToolTip(int element, const std::string& text) = 0;
};

}  // namespace skyswap
