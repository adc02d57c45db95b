#include "game_start.h"

#include <gtest/gtest.h>

#include <optional>

#include "messages.h"
#include "support/faulty_file_system.h"
#include "support/sky_library.h"

namespace skyswap {
namespace {

using test::kGame;
using test::kLibrary;
using test::TagsIn;

// The start of the game, faked: what was started, where.
struct FakeStart {
    std::vector<std::pair<std::string, std::string>> started;
    FsStatus answer;
    StartProgram Starter() {
        return [this](const std::string& program, const std::string& folder) {
            started.emplace_back(program, folder);
            return answer;
        };
    }
};

struct PlayLibrary {
    PlayLibrary() {
        test::MakeLibrary(temp, 3);
        temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
        game = temp.Join(kGame);
        scope.emplace(temp.Join(kLibrary));
    }
    // The run as the program does it: the action, then "/play".
    CommandOutcome Run(const std::vector<std::string>& arguments, FileSystem* through = nullptr) {
        const CommandLine command = ParseCommandLine(arguments);
        EXPECT_TRUE(command.ok()) << command.error;
        LibrarySession session(through != nullptr ? *through : *fs, {});
        CommandOutcome outcome = command.action == LibraryAction::AddDownloads
                                     ? CommandOutcome{}
                                     : RunCommand(command, session);
        return PlayAfter(command, session, outcome, start.Starter());
    }
    std::vector<std::string> Game() { return TagsIn(temp, kGame, {"ZT0", "ZT1", "ZT2"}); }

    test::TempFolder temp;
    std::unique_ptr<FileSystem> fs = test::MakePlatformFileSystem();
    std::optional<test::CurrentFolderScope> scope;
    std::string game;
    FakeStart start;
};

TEST(PlayParsing, PlayGoesWithAnyActionOrNoneAndGameNeedsIt) {
    const CommandLine alone = ParseCommandLine({"/PLAY"});
    EXPECT_TRUE(alone.ok()) << alone.error;
    EXPECT_TRUE(alone.play);
    EXPECT_FALSE(alone.OpensTheWindow()) << "/play alone opens no window";
    const CommandLine random = ParseCommandLine({"/random", "-play", "/game", "C:\\EAW\\go.exe"});
    EXPECT_TRUE(random.ok()) << random.error;
    EXPECT_EQ(random.action, LibraryAction::InstallRandom);
    EXPECT_EQ(random.game, "C:\\EAW\\go.exe");
    EXPECT_FALSE(ParseCommandLine({"/random"}).play);

    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"/game", "go.exe"},
                                               {"/play", "/game"},
                                               {"/play", "/game", ""},
                                               {"/play", "/game", "a.exe", "/game", "b.exe"},
                                               {"/play", "/resume", "random"}}) {
        const CommandLine refused = ParseCommandLine(wrong);
        EXPECT_FALSE(refused.ok()) << wrong.back();
        EXPECT_FALSE(refused.play && refused.error.empty());
    }
    EXPECT_NE(CommandLineHelp().find("/play"), std::string::npos);
    EXPECT_NE(CommandLineHelp().find("/game PROGRAM"), std::string::npos);
}

TEST(Play, WithoutAGameProgramNothingStartsAndTheRunEndsWithTwo) {
    PlayLibrary library;
    const CommandOutcome outcome = library.Run({"/install", "1", "/play"});
    EXPECT_EQ(outcome.exitCode, kExitBadCommandLine);
    EXPECT_EQ(outcome.text,
              "Sky set ZT1 is now in the game.\nThe game was not started: there is "
              "no eaw.exe in the game folder " +
                  library.game + ".");
    EXPECT_TRUE(library.start.started.empty());
    EXPECT_EQ(library.Game(), std::vector<std::string>(10, "ZT1")) << "the action itself ran";

    EXPECT_EQ(library.Run({"/play", "/game", library.temp.Join("missing.exe")}).exitCode,
              kExitBadCommandLine);
    EXPECT_TRUE(library.start.started.empty());
}

TEST(Play, TheGameStartsInItsFolderAfterASuccessOrAlone) {
    PlayLibrary library;
    // Any letter case, as the listing spells it.
    library.temp.WriteFile(std::string(kGame) + "\\EAW.EXE", "game");
    const std::pair<std::string, std::string> game{library.game + "\\EAW.EXE", library.game};

    CommandOutcome outcome = library.Run({"/install", "2", "/play"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    EXPECT_EQ(library.Game(), std::vector<std::string>(10, "ZT2"));
    ASSERT_EQ(library.start.started.size(), 1u);
    EXPECT_EQ(library.start.started[0], game);

    outcome = library.Run({"/play"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    ASSERT_EQ(library.start.started.size(), 2u);
    EXPECT_EQ(library.start.started[1], game);

    // "/game": the program named, still in the game folder.
    const std::string launcher = library.temp.Join("Launcher\\fly.exe");
    library.temp.MakeFolder("Launcher");
    library.temp.WriteFile("Launcher\\fly.exe", "launcher");
    outcome = library.Run({"/random", "/play", "/game", launcher});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    ASSERT_EQ(library.start.started.size(), 3u);
    EXPECT_EQ(library.start.started[2], std::make_pair(launcher, library.game));

    // A start that Windows refuses is said, with exit code 1.
    library.start.answer = {FsError::AccessDenied, "Access is denied."};
    outcome = library.Run({"/play"});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_NE(outcome.text.find("Access is denied."), std::string::npos) << outcome.text;
}

TEST(Play, ARefusalThatLeftTheSkyWholeStartsTheGameAndOneThatHalfChangedItDoesNot) {
    PlayLibrary library;
    library.temp.WriteFile(std::string(kGame) + "\\eaw.exe", "game");
    const struct {
        const char* what;
        std::vector<std::string> arguments;
        std::optional<test::FsOperation> fault;
        bool starts;
        std::vector<std::string> game;
    } cases[] = {
        {"no such set",
         {"/install", "40", "/play"},
         std::nullopt,
         true,
         std::vector<std::string>(10, "ZT0")},
        {"a new file could not be written",
         {"/install", "2", "/play"},
         test::FsOperation::CopyToStaged,
         true,
         std::vector<std::string>(10, "ZT0")},
        {"one file could not be replaced",
         {"/install", "2", "/play"},
         test::FsOperation::MoveStagedOver,
         false,
         {}},
    };
    ASSERT_EQ(library.Run({"/install", "0"}).exitCode, kExitSuccess);
    library.start.started.clear();
    for (const auto& run : cases) {
        test::FaultyFileSystem faults(*library.fs);
        if (run.fault) {
            faults.Fail(*run.fault, "cloud1.ter", FsError::AccessDenied);
        }
        const CommandOutcome outcome = library.Run(run.arguments, &faults);
        EXPECT_EQ(outcome.exitCode, kExitFailed) << run.what << ": " << outcome.text;
        EXPECT_EQ(library.start.started.size(), run.starts ? 1u : 0u) << run.what;
        if (!run.game.empty()) {
            EXPECT_EQ(library.Game(), run.game) << run.what;
        } else {
            EXPECT_FALSE(outcome.gameSkyWhole) << run.what;
            EXPECT_NE(library.Game(), std::vector<std::string>(10, "ZT0")) << "half changed";
        }
        library.start.started.clear();
    }
}

TEST(Play, OnlyATransferThatChangedSomeFilesAndFailedOthersBreaksTheSky) {
    const auto Report = [](TransferStatus status, std::vector<FileOutcome> outcomes) {
        TransferReport report;
        report.status = status;
        for (const FileOutcome outcome : outcomes) {
            report.files.push_back({"x.ter", outcome, {}});
        }
        return report;
    };
    EXPECT_TRUE(LeavesTheSkyWhole(Report(TransferStatus::Done, {FileOutcome::Replaced})));
    EXPECT_TRUE(LeavesTheSkyWhole(Report(TransferStatus::StagingFailed, {})));
    EXPECT_TRUE(LeavesTheSkyWhole(Report(TransferStatus::SourceMissing, {})));
    EXPECT_TRUE(LeavesTheSkyWhole(
        Report(TransferStatus::SomeFilesFailed, {FileOutcome::Failed, FileOutcome::LeftAlone})));
    EXPECT_FALSE(LeavesTheSkyWhole(
        Report(TransferStatus::SomeFilesFailed, {FileOutcome::Replaced, FileOutcome::Failed})));
    EXPECT_FALSE(LeavesTheSkyWhole(
        Report(TransferStatus::SomeFilesFailed, {FileOutcome::Removed, FileOutcome::Failed})));
}

}  // namespace
}  // namespace skyswap
