// Pages of ten thumbnails, the back and next arrows, and the descriptions shown as tooltips.
#pragma once

#include "app_state.h"
#include "file_system.h"
#include "image_elements.h"

namespace skyswap {

// Fills the ten slots for pageFirst, sets pageLast and the arrows. A slot past the last set, or
// whose thumbnail is missing or unreadable, shows the placeholder.
void ShowPage(AppState& state, ImageElements& images);

enum class PageDirection { Back, Next };

// The page before or after this one, redrawn; at either end the page stays and is redrawn.
void TurnPage(AppState& state, ImageElements& images, PageDirection direction);

// The direction an arrow element (kBackArrow or kNextArrow) turns the page.
constexpr PageDirection DirectionOf(int arrow) {
    return arrow == kBackArrow ? PageDirection::Back : PageDirection::Next;
}

// Sets the tooltips for the element under the mouse, reading the set's description afresh.
void DescribeSlot(const AppState& state, FileSystem& fs, ImageElements& images, int element);

}  // namespace skyswap
