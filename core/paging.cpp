#include "paging.h"

#include "description.h"

namespace skyswap {

void ShowPage(AppState& state, ImageElements& images) {
    state.pageLast = state.pageFirst + (kSlotCount - 1);
    const bool lastPage = state.pageLast >= state.setCount - 1;
    if (lastPage) {
        state.pageLast = state.setCount - 1;
    }
    // Each arrow shows where it leads somewhere: back after the first page, next before the
    // last. A first page that is also the last still offers "next", which then stays put.
    images.SetVisible(kBackArrow, state.pageFirst > 0);
    images.SetVisible(kNextArrow, state.pageFirst == 0 || !lastPage);
    // One set without a usable picture shows the placeholder instead of stopping the program.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int32_t set = state.pageFirst + slot;
        if (set > state.pageLast || !images.LoadPicture(slot, ThumbnailPath(state, set))) {
            images.ShowPlaceholder(slot);
        }
    }
}

void TurnPage(AppState& state, ImageElements& images, PageDirection direction) {
    if (direction == PageDirection::Back && state.pageFirst >= kSlotCount) {
        state.pageFirst -= kSlotCount;
    } else if (direction == PageDirection::Next && state.pageLast < state.setCount - 1) {
        state.pageFirst += kSlotCount;
    }
    ShowPage(state, images);
}

void DescribeSlot(const AppState& state, FileSystem& fs, ImageElements& images, int element) {
    images.SetToolTip(kRandomElement, "RANDOM");
    images.SetToolTip(kBackArrow, "BACK");
    images.SetToolTip(kNextArrow, "NEXT");
    if (element < 0 || element >= kSlotCount) {
        return;
    }
    const int32_t set = state.pageFirst + element;
    images.SetToolTip(element, set >= state.setCount
                                   ? std::string()
                                   : ReadDescription(fs, DescriptionPath(state, set)));
}

}  // namespace skyswap
