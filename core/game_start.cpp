#include "game_start.h"

#include <algorithm>
#include <vector>

#include "ascii.h"
#include "messages.h"
#include "paths.h"

namespace skyswap {

namespace {

constexpr const char* kGameProgramName = "eaw.exe";

// The action's text, then `line`: in `errors` for "/add", whose `text` lists the sets added.
void Say(const CommandLine& command, CommandOutcome& outcome, const std::string& line) {
    std::string& said =
        command.action == LibraryAction::AddDownloads ? outcome.errors : outcome.text;
    said += (said.empty() ? "" : "\n") + line;
}

}  // namespace

std::optional<std::string> FindGameProgram(FileSystem& fs, const std::string& gameFolder) {
    std::vector<FolderEntry> entries;
    if (gameFolder.empty() || !fs.ListFolder(gameFolder, entries).ok()) {
        return std::nullopt;
    }
    const auto found = std::find_if(entries.begin(), entries.end(), [](const FolderEntry& entry) {
        return !entry.isFolder && SameAsciiText(entry.name, kGameProgramName);
    });
    if (found == entries.end()) {
        return std::nullopt;
    }
    return JoinPath(gameFolder, found->name);
}

CommandOutcome PlayAfter(const CommandLine& command, LibrarySession& session,
                         CommandOutcome outcome, const StartProgram& start) {
    if (!outcome.gameSkyWhole) {
        Say(command, outcome,
            "The game was not started: its sky is only partly changed. Install a set again "
            "first.");
        return outcome;
    }
    // "/play" alone, or after a run that another SkySwap's lock stopped: the library is opened
    // here only to find the game; nothing in it is changed.
    if (session.State().gameFolder.empty() && !session.Open(false)) {
        if (outcome.exitCode == kExitSuccess) {
            outcome.exitCode = kExitFailed;
            Say(command, outcome, kInstallationMessage);
        }
        return outcome;
    }
    const std::string& gameFolder = session.State().gameFolder;
    std::optional<std::string> program;
    std::string lookedFor;
    if (command.game) {
        lookedFor = "the program " + *command.game;
        if (session.Files().IsFile(*command.game)) {
            program = *command.game;
        }
    } else {
        lookedFor = std::string(kGameProgramName) + " in the game folder " + gameFolder;
        program = FindGameProgram(session.Files(), gameFolder);
    }
    if (!program) {
        outcome.exitCode = kExitBadCommandLine;
        Say(command, outcome, "The game was not started: there is no " + lookedFor + ".");
        return outcome;
    }
    const FsStatus started = start(*program, gameFolder);
    if (!started.ok()) {
        if (outcome.exitCode == kExitSuccess) {
            outcome.exitCode = kExitFailed;
        }
        Say(command, outcome, "SkySwap cannot start " + *program + ": " + started.message);
    }
    return outcome;
}

}  // namespace skyswap
