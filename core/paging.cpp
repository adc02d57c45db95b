#include "paging.h"

#include "description.h"

namespace skyswap {

void ThumbNails(AppState& state, ImageElements& images) {
    state.PageLast = state.PageFirst + (kSlotCount - 1);
    const bool lastPage = state.PageLast >= state.SetCount - 1;
    if (lastPage) {
        state.PageLast = state.SetCount - 1;
    }
    // Each arrow shows where it leads somewhere: back after the first page, next before the
    // last. A first page that is also the last still offers "next", which then stays put.
    images.SetVisible(kBackArrow, state.PageFirst > 0);
    images.SetVisible(kNextArrow, state.PageFirst == 0 || !lastPage);
    // One set without a usable picture shows the placeholder instead of stopping the program.
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const int32_t set = state.PageFirst + slot;
        if (set > state.PageLast || !images.LoadPicture(slot, ThumbnailPath(state, set))) {
            images.ShowPlaceholder(slot);
        }
    }
}

void Prox_Scrn(AppState& state, ImageElements& images) {
    if (state.ArrowClicked == kBackArrow) {
        if (state.PageFirst >= kSlotCount) {
            state.PageFirst -= kSlotCount;
        }
        ThumbNails(state, images);
    } else if (state.ArrowClicked == kNextArrow) {
        if (state.PageLast < state.SetCount - 1) {
            state.PageFirst += kSlotCount;
        }
        ThumbNails(state, images);
    }
}

void DescribeSlot(const AppState& state, FileSystem& fs, ImageElements& images, int element) {
    images.SetToolTip(kRandomElement, "RANDOM");
    images.SetToolTip(kBackArrow, "BACK");
    images.SetToolTip(kNextArrow, "NEXT");
    if (element < 0 || element >= kSlotCount) {
        return;
    }
    const int32_t set = state.PageFirst + element;
    images.SetToolTip(element, set >= state.SetCount
                                   ? std::string()
                                   : ReadDescription(fs, DescriptionPath(state, set)));
}

}  // namespace skyswap
