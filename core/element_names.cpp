#include "element_names.h"

#include <algorithm>

#include "description.h"
#include "image_elements.h"
#include "paths.h"

namespace skyswap {

std::string ElementName(const AppState& state, FileSystem& fs, int element, bool installed) {
    switch (element) {
        case kRandomElement:
            return "RANDOM";
        case kBackArrow:
            return "BACK";
        case kNextArrow:
            return "NEXT";
        default:
            break;
    }
    if (element < 0 || element >= kSlotCount) {
        return {};
    }
    const int32_t set = state.pageFirst + element;
    const bool exists = std::binary_search(state.setNumbers.begin(), state.setNumbers.end(), set);
    if (!exists) {
        return "empty slot";
    }
    std::string name = ReadDescription(fs, DescriptionPath(state, set));
    if (name.empty()) {
        name = SetFolderName(set);
    }
    return installed ? name + ", installed in the game" : name;
}

}  // namespace skyswap
