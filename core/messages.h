// The texts the program shows.
#pragma once

#include <string>
#include <vector>

#include "game_transfers.h"
#include "library_actions.h"
#include "recognition.h"
#include "transfers.h"

namespace skyswap {

extern const char* const kProgramTitle;         // "SkySwap"
extern const char* const kInstallationMessage;  // the start-up failure, two lines

// What the user reads after a transfer that did not do everything it was asked to: which files
// could not be replaced or removed and why, in plain words. Empty when the transfer succeeded.
std::string TransferMessage(const TransferReport& report);

// After a transfer went through: into the game (`set` is the set LOAD TO EAW installed) or,
// for SaveMyDefault, into ZTDef (`set` is the set saved).
std::string DoneMessage(LibraryAction action, int32_t set);

// After SAVE AS MY DEFAULT of set `set` went through.
std::string SavedDefaultMessage(int32_t set);

// After a sky in no set was kept as set `set` before a transfer replaced it.
std::string KeptMessage(int32_t set);
// After a sky in no set (the game's, or ZTDef's) was kept as a new set.
std::string KeptMessage(const KeepOutcome& keep);
// Keeping failed, so the transfer did not run: which file or folder and why.
std::string KeepFailedMessage(const KeepOutcome& keep);

// What the game holds in words ("ZT12: Overcast, light rain", "EAW's own sky", ...).
// `description` is the set's, for a set.
std::string InstalledSkyName(const InstalledSky& installed, const std::string& description);

// The window's title for what the game holds ("SkySwap - ZT12: Overcast, light rain"); just
// "SkySwap" while that is not known yet.
std::string InstalledTitle(const std::optional<InstalledSky>& installed,
                           const std::string& description);

// The question asked when a transfer failed because its target folder is protected
// (report.protectedFolder is set): why, in plain words, and whether to restart SkySwap with
// administrator rights. Ends in a question for a Yes / No box.
std::string ElevationOffer(const TransferReport& report);

// Why a restart as administrator is not offered although it would help: `unseen` is on a drive
// (subst, or mapped for this account) that an administrator's SkySwap would not see, and
// Windows could not say where it really is.
std::string ElevationOutOfReach(const std::string& unseen);

// Said instead of ElevationOffer, and instead of TransferMessage, when the folder that refused
// lies on a network share, where administrator rights cannot help.
std::string NetworkShareRefusal(const TransferReport& report);

// Asked by a window with administrator rights before it adds downloads another program handed it.
std::string AddHandedDownloadsQuestion(const std::vector<std::string>& paths);

// Asked by a window restarted as administrator before it carries on with `request`; `mirror`,
// when not empty, is where the game's shadow copies that a transfer removes lie.
std::string ResumeQuestion(const LibraryRequest& request, const std::string& mirror);

// What the user reads when the shadow copies of the sky files in the VirtualStore could not all
// be removed after a transfer. Empty when they were.
std::string ShadowCleanupMessage(const TransferReport& report);

}  // namespace skyswap
