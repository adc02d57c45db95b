// The thirteen image elements as the keyboard sees them: a grid of three columns (slots 0 to 8),
// then a fourth row of back arrow, slot 9, random image and next arrow; and the page jumps.
#pragma once

#include <array>

#include "app_state.h"
#include "image_elements.h"

namespace skyswap {

enum class GridMove { Left, Right, Up, Down };

// Which elements are shown, by element number.
using ElementVisibility = std::array<bool, kImageElementCount>;

// The elements in reading order: row by row, left to right.
extern const std::array<int, kImageElementCount> kGridOrder;

// Where the focus goes from `element` for an arrow key. Left and Right follow the reading order
// across the rows; Up and Down stay in a column. A hidden element is skipped; where nothing is
// left in that direction the focus stays.
int NextGridElement(int element, GridMove move, const ElementVisibility& visible);

// The element that takes over from `element` when it is hidden: the nearest shown one before
// it in reading order, else after it; `element` itself when it is shown.
int ShownGridElement(int element, const ElementVisibility& visible);

// Home and End: the first and the last page of the library, redrawn.
void ShowFirstPage(AppState& state, ImageElements& images);
void ShowLastPage(AppState& state, ImageElements& images);

}  // namespace skyswap
