// Pages of ten thumbnails, the back and next arrows, and the descriptions shown as tooltips.
#pragma once

#include "app_state.h"
#include "file_system.h"
#include "image_elements.h"

namespace skyswap {

// Fills the ten slots for PageFirst, sets PageLast and the arrows. A slot past the last set, or
// whose thumbnail is missing or unreadable, shows the placeholder.
void ThumbNails(AppState& state, ImageElements& images);

// Turns the page in the direction of ArrowClicked (kBackArrow or kNextArrow) and redraws it.
void Prox_Scrn(AppState& state, ImageElements& images);

// Sets the tooltips for the element under the mouse, reading the set's description afresh.
void DescribeSlot(const AppState& state, FileSystem& fs, ImageElements& images, int element);

}  // namespace skyswap
