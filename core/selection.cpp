#include "selection.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace skyswap {

void ChooseSet(AppState& state, int32_t n) {
    state.selectedSet = n;
    state.selectedFolder = SetFolder(state, n);
    state.randomPending = false;
}

void ChooseSlot(AppState& state, int slot) {
    ChooseSet(state, state.pageFirst + slot);
}

void ChooseRandom(AppState& state) {
    state.randomPending = true;
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
    if (!state.randomPending) {
        return true;
    }
    if (state.setNumbers.empty()) {
        return false;
    }
    // A fresh seed per draw, as a player pressing the button twice expects two independent draws.
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::seed_seq seed{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32),
                       std::random_device{}()};
    std::mt19937 generator(seed);
    ChooseSet(state, DrawRandomSet(state.setNumbers, installed, generator));
    return true;
}

}  // namespace skyswap
