#include "app_state.h"

namespace skyswap {

std::string SetFolder(const AppState& state, int32_t n) {
    return state.libraryFolder + "\\ZT" + std::to_string(n);
}

std::string ThumbnailPath(const AppState& state, int32_t n) {
    return SetFolder(state, n) + "\\ZT" + std::to_string(n) + ".bmp";
}

std::string DescriptionPath(const AppState& state, int32_t n) {
    return SetFolder(state, n) + "\\ZT" + std::to_string(n) + ".txt";
}

}  // namespace skyswap
