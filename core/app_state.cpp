#include "app_state.h"

#include "paths.h"

namespace skyswap {

std::string SetFolder(const AppState& state, int32_t n) {
    return JoinPath(state.libraryFolder, SetFolderName(n));
}

std::string ThumbnailPath(const AppState& state, int32_t n) {
    return JoinPath(SetFolder(state, n), SetFolderName(n) + ".bmp");
}

std::string DescriptionPath(const AppState& state, int32_t n) {
    return JoinPath(SetFolder(state, n), SetFolderName(n) + ".txt");
}

}  // namespace skyswap
