#include "image_keyboard.h"

#include <algorithm>

#include "paging.h"

namespace skyswap {

const std::array<int, kImageElementCount> kGridOrder{
    0, 1, 2, 3, 4, 5, 6, 7, 8, kBackArrow, 9, kRandomElement, kNextArrow};

namespace {

int OrderOf(int element) {
    const auto at = std::find(kGridOrder.begin(), kGridOrder.end(), element);
    return at == kGridOrder.end() ? 0 : static_cast<int>(at - kGridOrder.begin());
}

bool Shown(int element, const ElementVisibility& visible) {
    return element >= 0 && element < kImageElementCount && visible[element];
}

// The first shown element of `candidates`, or -1.
template <std::size_t N>
int FirstShown(const std::array<int, N>& candidates, const ElementVisibility& visible) {
    for (int candidate : candidates) {
        if (Shown(candidate, visible)) {
            return candidate;
        }
    }
    return -1;
}

// Down from the third row, to the wider fourth row: each slot goes to what lies under it,
// then to its neighbours there.
int Below(int element, const ElementVisibility& visible) {
    switch (element) {
        case 6:
            return FirstShown(std::array<int, 2>{9, kBackArrow}, visible);
        case 7:
            return FirstShown(std::array<int, 2>{kRandomElement, 9}, visible);
        case 8:
            return FirstShown(std::array<int, 2>{kNextArrow, kRandomElement}, visible);
        default:
            break;
    }
    return element < 6 ? element + 3 : -1;
}

int Above(int element) {
    switch (element) {
        case kBackArrow:
        case 9:
            return 6;
        case kRandomElement:
            return 7;
        case kNextArrow:
            return 8;
        default:
            break;
    }
    return element >= 3 && element < kSlotCount - 1 ? element - 3 : -1;
}

}  // namespace

int NextGridElement(int element, GridMove move, const ElementVisibility& visible) {
    int target = -1;
    switch (move) {
        case GridMove::Left:
        case GridMove::Right: {
            const int step = move == GridMove::Right ? 1 : -1;
            for (int order = OrderOf(element) + step; order >= 0 && order < kImageElementCount;
                 order += step) {
                if (Shown(kGridOrder[order], visible)) {
                    target = kGridOrder[order];
                    break;
                }
            }
            break;
        }
        case GridMove::Up:
            target = Above(element);
            break;
        case GridMove::Down:
            target = Below(element, visible);
            break;
    }
    return Shown(target, visible) ? target : element;
}

int ShownGridElement(int element, const ElementVisibility& visible) {
    if (Shown(element, visible)) {
        return element;
    }
    const int order = OrderOf(element);
    for (int distance = 1; distance < kImageElementCount; ++distance) {
        for (int candidate : {order - distance, order + distance}) {
            if (candidate >= 0 && candidate < kImageElementCount &&
                Shown(kGridOrder[candidate], visible)) {
                return kGridOrder[candidate];
            }
        }
    }
    return element;
}

void ShowFirstPage(AppState& state, ImageElements& images) {
    state.pageFirst = 0;
    ShowPage(state, images);
}

void ShowLastPage(AppState& state, ImageElements& images) {
    // Pages start at multiples of ten, as the next arrow steps.
    state.pageFirst = state.setCount > 0 ? (state.setCount - 1) / kSlotCount * kSlotCount : 0;
    ShowPage(state, images);
}

}  // namespace skyswap
