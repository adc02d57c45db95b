// Choosing a set by thumbnail slot or at random.
#pragma once

#include "app_state.h"

namespace skyswap {

// Chooses the set shown in thumbnail slot 0..9 of the current page. A slot past the last set
// chooses a number without a folder; installing it reports the missing folder.
void ChooseSlot(AppState& state, int slot);

// Marks the choice as random; the set is drawn when it is installed.
void ChooseRandom(AppState& state);

// Draws the pending random choice, freshly seeded from the clock, uniformly among the set folders
// that discovery found. Returns false, changing nothing, when the library holds no set. Does
// nothing (and returns true) unless a random choice is pending.
bool ResolveRandom(AppState& state);

}  // namespace skyswap
