// Choosing a set by thumbnail slot or at random.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "app_state.h"

namespace skyswap {

// Chooses set n (any number: set 900 is a set like the others).
void ChooseSet(AppState& state, int32_t n);

// Chooses the set shown in thumbnail slot 0..9 of the current page. A slot past the last set
// chooses a number without a folder; installing it reports the missing folder.
void ChooseSlot(AppState& state, int slot);

// Marks the choice as random; the set is drawn when it is installed.
void ChooseRandom(AppState& state);

// Draws the pending random choice, freshly seeded from the clock, with DrawRandomSet among the set
// folders that discovery found; `installed` is the set the game holds now, if any. Returns false,
// changing nothing, when the library holds no set. Does nothing (and returns true) unless a random
// choice is pending.
bool ResolveRandom(AppState& state, std::optional<int32_t> installed = std::nullopt);

// One of `sets`, uniformly among those other than `installed`, so that a random press changes the
// sky; with a single set, that set. `sets` must not be empty.
int32_t DrawRandomSet(const std::vector<int32_t>& sets, std::optional<int32_t> installed,
                      std::mt19937& generator);

}  // namespace skyswap
