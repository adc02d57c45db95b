#include "selection.h"

#include <chrono>
#include <random>

namespace skyswap {

void ChooseSlot(AppState& state, int slot) {
    state.SelectedIndex = state.PageFirst + slot;
    state.SelectedPath = SetFolder(state, *state.SelectedIndex);
}

void ChooseRandom(AppState& state) {
    state.SelectedIndex = kRandomIndex;
}

bool ResolveRandom(AppState& state) {
    if (state.SelectedIndex != kRandomIndex) {
        return true;
    }
    if (state.SetNumbers.empty()) {
        return false;
    }
    // A fresh seed per draw, as a player pressing the button twice expects two independent draws.
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::seed_seq seed{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32),
                       std::random_device{}()};
    std::mt19937 generator(seed);
    std::uniform_int_distribution<std::size_t> pick(0, state.SetNumbers.size() - 1);
    const int32_t n = state.SetNumbers[pick(generator)];
    state.SelectedIndex = n;
    state.SelectedPath = SetFolder(state, n);
    return true;
}

}  // namespace skyswap
