#include "selection.h"

#include <algorithm>
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

int32_t DrawRandomSet(const std::vector<int32_t>& sets, std::optional<int32_t> installed,
                      std::mt19937& generator) {
    const bool avoid =
        installed && sets.size() >= 2 && std::binary_search(sets.begin(), sets.end(), *installed);
    std::uniform_int_distribution<std::size_t> pick(0, sets.size() - (avoid ? 2 : 1));
    std::size_t index = pick(generator);
    // The installed set's place is skipped: the draw is over the others, each equally likely.
    if (avoid && sets[index] >= *installed) {
        ++index;
    }
    return sets[index];
}

bool ResolveRandom(AppState& state, std::optional<int32_t> installed) {
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
    const int32_t n = DrawRandomSet(state.SetNumbers, installed, generator);
    state.SelectedIndex = n;
    state.SelectedPath = SetFolder(state, n);
    return true;
}

}  // namespace skyswap
