// One library session: what every front of SkySwap works on (the window, skyswap.exe's command
// line, skyswap.com and the window of a restart as administrator) and every action they offer.
// The fronts only say what was asked and show the outcome; the rules of the library are here:
// what is kept before a transfer, when the game's shadow copies go, which texts say what, and
// when a restart as administrator is offered.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "add_sets.h"
#include "app_state.h"
#include "archive_writer.h"
#include "discovery.h"
#include "file_system.h"
#include "game_transfers.h"
#include "library_actions.h"
#include "recognition.h"
#include "restart_arguments.h"
#include "virtual_store.h"

namespace skyswap {

struct CalendarDate {
    int year = 2000;
    int month = 1;
    int day = 1;
};

// What a session asks of the system beyond the file system. The fronts give Windows' answers;
// tests give faked ones. Any left empty answers as a plain local folder would: not elevated,
// not on a share, no known folders (so no VirtualStore), shadow copies deleted by the file
// system, and the date 2000-01-01.
struct SessionSystem {
    std::function<bool()> isElevated;
    std::function<bool(const std::string& folder)> onNetworkShare;
    // The known folders that decide where Windows keeps the game's shadow copies.
    std::function<KnownFolders()> knownFolders;
    // Deletes one shadow copy below the VirtualStore folder `root` (the Windows adapter refuses
    // one reached through a link).
    std::function<FsStatus(const std::string& root, const std::string& path)> removeShadowCopy;
    std::function<CalendarDate()> today;
    // A front that restarts as administrator names its program; the restart spells it, the
    // library and every path it carries as an elevated program sees them, by what each drive
    // letter stands for. Empty: this front never restarts (the command line).
    std::string program;
    DriveMappingQuery driveMapping;
    // Removing a set: whether the drive of `folder` has a Recycle Bin (empty: it has), and the
    // removal of a set's folder, to the Recycle Bin or for good (empty: the Recycle Bin cannot
    // be reached, and a removal for good deletes through the file system).
    std::function<bool(const std::string& folder)> hasRecycleBin;
    std::function<FsStatus(const std::string& folder, bool toRecycleBin)> removeSetFolder;
    // Exporting a set makes its ZIP file with this; none: exporting is refused.
    std::shared_ptr<ArchiveWriter> archiveWriter;
};

// What the window asks before it removes a set, or why it may not.
struct RemovalQuestion {
    int32_t set = -1;
    std::string setName;       // "ZT3"
    std::string description;   // the set's, possibly empty
    bool toRecycleBin = true;  // false: the library's drive has no Recycle Bin
    // Not empty: the removal is refused (no such set, or its sky is in the game), in words.
    std::string refusal;
    // For a Yes / No box: "Move ZT3 (Stormy Evening) to the Recycle Bin?", or, without a Recycle
    // Bin, that it will be deleted for good.
    std::string question;

    bool allowed() const { return refusal.empty(); }
};

// What a refusal for lack of rights calls for.
enum class RightsAdvice {
    None,                      // nothing to advise: not refused for rights, or elevated already
    RestartAsAdministrator,    // Windows refused this account; an elevated SkySwap may write
    NetworkShare,              // the share's owner decides: rights on this computer cannot help
    OutOfAdministratorsReach,  // a restart would help, but would not see a drive it needs
};

// What "/status" reports: what is in the game, as the window's title says it, and which of the
// ten sky files the game folder holds.
std::string GameStatus(const AppState& state, FileSystem& fs);

// The one rule for offering the restart as administrator.
RightsAdvice AdviceForRefusal(bool refusedForRights, bool elevated, bool onNetworkShare);

enum class Severity { Information, Warning };

// One message for the user; the window shows each in a box of its own.
struct SessionNote {
    std::string text;
    Severity severity = Severity::Information;
};

struct SessionOutcome {
    LibraryRequest request;  // what was asked
    bool succeeded = false;  // everything asked for went through
    bool setsMade = false;   // skies were kept or added as new sets: the page may show them
    // What to tell, in order: skies kept first, then a failure (or nothing on success).
    std::vector<SessionNote> notes;
    // The success in words ("Sky set ZT2 is now in the game."): the command line says it; the
    // window only after a restart, whose user did not see the button pressed.
    std::string done;
    // Where a restart as administrator would help: the question for a Yes / No box, asked by the
    // window instead of the last note, and what the restart then carries on with.
    RightsAdvice advice = RightsAdvice::None;
    std::string restartQuestion;
    LibraryRequest restartRequest;
    RestartPlan restart;  // how to start it, each path as the elevated program sees it
    // Adding: the sets made, in order.
    std::vector<AddedSet> added;
    // The sky in the game may be one of the sets added: what it is must be looked at again.
    bool recognizeAgain = false;
    // The transfer's report, when one ran.
    std::optional<TransferReport> transfer;

    // For the command line.
    int exitCode = 0;
    std::string text;    // its output (for adding: the sets added)
    std::string errors;  // for adding: the paths refused, for the standard error
};

class LibrarySession {
  public:
    LibrarySession(FileSystem& fs, SessionSystem system);
    LibrarySession(const LibrarySession&) = delete;
    LibrarySession& operator=(const LibrarySession&) = delete;

    // The VirtualStore of the user who started SkySwap, given to a restart that may run under
    // another account; empty: this process's user's own.
    void UseVirtualStore(std::string folder) { virtualStoreOverride_ = std::move(folder); }

    // Finds the library (the current folder) and its game; false when the installation is not
    // correct. `holdsLibrary`: this SkySwap holds the library's lock, so what an earlier run
    // left half-made is removed.
    bool Open(bool holdsLibrary);

    // Runs any action but AddDownloads on the library opened. For InstallSet and SaveMyDefault
    // the set is chosen first, unless it is the choice already.
    SessionOutcome Run(const LibraryRequest& request);
    // The request of a button pressed now (InstallSet for LOAD TO EAW, SaveMyDefault, ...): the
    // button's action with the choice made in the window (the random image, a set, or nothing
    // yet).
    LibraryRequest RequestForChoice(LibraryAction action) const;

    // Adding, which the window runs on a worker thread: AddDownloads there on a copy of State(),
    // then TakeAdded here with its outcome.
    SessionOutcome TakeAdded(const AddOutcome& outcome);
    // Both at once, for the command line.
    SessionOutcome AddDownloads(const std::vector<std::string>& paths, const AddServices& services);

    // Looking after set n: a new description (refused when empty once cleaned), an export as a
    // ZIP file, and its removal. Run calls Export and Remove for ExportSet and RemoveSet; the
    // command line never deletes for good.
    SessionOutcome Describe(int32_t set, const std::string& text);
    SessionOutcome Export(int32_t set, const std::string& zipPath);
    RemovalQuestion AskRemoval(int32_t set);
    // `forGood`: the user agreed that a set on a drive without a Recycle Bin is deleted for good.
    SessionOutcome Remove(int32_t set, bool forGood);

    // Whether Export can work: the session has a ZIP writer.
    bool CanExport() const { return system_.archiveWriter != nullptr; }
    // Whether this SkySwap runs with administrator rights.
    bool Elevated() const { return system_.isElevated(); }

    AppState& State() { return state_; }
    const AppState& State() const { return state_; }
    // What is known of the game folder and ZTDef.
    SkyKnowledge& Knowledge() { return knowledge_; }
    // The game folder as the game sees it, shadow copies included.
    GameView& GameFolderView() { return gameView_; }
    FileSystem& Files() { return fs_; }

  private:
    void Choose(const LibraryRequest& request);
    GameTransferOutcome Transfer(LibraryAction action);
    void Tell(const GameTransferOutcome& transfer, SessionOutcome& outcome);
    void Refused(SessionOutcome& outcome, const std::string& failure,
                 const TransferReport& refusal);
    void RemoveShadowCopiesAfterwards(SessionOutcome& outcome);
    LibraryRequest RestartRequestFor(const LibraryRequest& asked) const;
    // The outcome of a set action: `done` on success, else the refusal as a warning and exit 1.
    static SessionOutcome CareOutcome(const LibraryRequest& request, bool succeeded,
                                      const std::string& text);
    // The advice for a refusal by `protectedFolder` (empty: not refused for rights); for the
    // restart, its plan carrying outcome.restartRequest into outcome.restart, or, when that is
    // out of reach, the path an elevated program would not see in `unseen`.
    RightsAdvice Advise(const std::string& protectedFolder, SessionOutcome& outcome,
                        std::string& unseen);

    FileSystem& fs_;
    SessionSystem system_;
    AppState state_;
    SkyKnowledge knowledge_;
    GameView gameView_;
    std::string virtualStoreOverride_;
    std::string virtualStoreFolder_;  // the one in use, passed on to a restart
};

}  // namespace skyswap
