// The texts the program shows.
#pragma once

#include <string>

#include "transfers.h"

namespace skyswap {

extern const char* const kProgramTitle;         // "SkySwap"
extern const char* const kInstallationMessage;  // the start-up failure, two lines

// What the user reads after a transfer that did not do everything it was asked to: which files
// could not be replaced or removed and why, in plain words. Empty when the transfer succeeded.
std::string TransferMessage(const TransferReport& report);

}  // namespace skyswap
