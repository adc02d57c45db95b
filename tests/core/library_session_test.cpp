#include "library_session.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/fake_add_services.h"
#include "support/faulty_file_system.h"
#include "support/protected_file_system.h"
#include "support/sky_library.h"

namespace skyswap {
namespace {

using test::FsOperation;
using test::kGame;
using test::kLibrary;
using test::TagsIn;

const std::vector<std::string> kTags = {"ZT0", "ZT1", "ZT2", "HAND"};

// What Windows would answer: the account's rights and where the folder lies.
struct Answers {
    bool elevated = false;
    bool share = false;
    // The window's program, on S: (a subst drive of C:\\Games) or X: (one Windows says nothing
    // of); empty for the command line, which never restarts.
    const char* program = "";
};

DriveMapping PlayersDrive(char drive) {
    switch (drive) {
        case 'S':
            return {DriveMapping::Kind::Substituted, "C:\\Games"};
        case 'X':
            return {DriveMapping::Kind::Unknown, {}};
        default:
            return {DriveMapping::Kind::Volume, {}};
    }
}

SessionSystem Faked(const Answers& answers, int& sharesAsked) {
    SessionSystem system;
    system.isElevated = [answers] { return answers.elevated; };
    system.onNetworkShare = [answers, &sharesAsked](const std::string&) {
        ++sharesAsked;
        return answers.share;
    };
    system.today = [] { return CalendarDate{2026, 12, 7}; };
    system.program = answers.program;
    system.driveMapping = PlayersDrive;
    return system;
}

TEST(LibrarySession, TheOneRuleForTheRestartAsAdministrator) {
    const struct {
        bool refused, elevated, share;
        RightsAdvice advice;
    } cases[] = {
        {false, false, false, RightsAdvice::None},
        {false, true, true, RightsAdvice::None},
        {true, false, false, RightsAdvice::RestartAsAdministrator},
        {true, true, false, RightsAdvice::None},
        {true, false, true, RightsAdvice::NetworkShare},
        {true, true, true, RightsAdvice::NetworkShare},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AdviceForRefusal(c.refused, c.elevated, c.share), c.advice)
            << c.refused << c.elevated << c.share;
    }
}

TEST(LibrarySession, EachActionGivesOneOutcomeWithItsAdvice) {
    enum class Game { Open, Protected };
    const struct {
        const char* what;
        LibraryRequest request;
        Game game;
        Answers answers;
        bool handMadeSky;  // the game holds a sky in no set
        bool succeeded;
        RightsAdvice advice;
        LibraryRequest restart;                 // carried when the advice is the restart
        std::vector<Severity> notes;            // their kinds, in order
        std::vector<std::string> gameHolds;     // the ten files' tags after it
        std::vector<std::string> defaultHolds;  // ZTDef's
    } cases[] = {
        {"install a set",
         {LibraryAction::InstallSet, 1, {}},
         Game::Open,
         {},
         false,
         true,
         RightsAdvice::None,
         {},
         {},
         std::vector<std::string>(10, "ZT1"),
         std::vector<std::string>(10, "")},
        {"load my default without one",
         {LibraryAction::LoadMyDefault, 0, {}},
         Game::Open,
         {},
         false,
         false,
         RightsAdvice::None,
         {},
         {Severity::Warning},
         std::vector<std::string>(10, ""),
         std::vector<std::string>(10, "")},
        {"save my default",
         {LibraryAction::SaveMyDefault, 2, {}},
         Game::Open,
         {},
         false,
         true,
         RightsAdvice::None,
         {},
         {},
         std::vector<std::string>(10, ""),
         std::vector<std::string>(10, "ZT2")},
        {"load the game's default over a hand-made sky",
         {LibraryAction::LoadGameDefault, 0, {}},
         Game::Open,
         {},
         true,
         true,
         RightsAdvice::None,
         {},
         {Severity::Information},
         std::vector<std::string>(10, ""),
         std::vector<std::string>(10, "")},
        {"a protected game folder",
         {LibraryAction::InstallSet, 1, {}},
         Game::Protected,
         {},
         false,
         false,
         RightsAdvice::RestartAsAdministrator,
         {LibraryAction::InstallSet, 1, {}},
         {Severity::Warning},
         std::vector<std::string>(10, ""),
         std::vector<std::string>(10, "")},
        {"a protected game folder, already elevated, the hand-made sky kept first",
         {LibraryAction::LoadGameDefault, 0, {}},
         Game::Protected,
         {true, false},
         true,
         false,
         RightsAdvice::None,
         {},
         {Severity::Information, Severity::Warning},
         std::vector<std::string>(10, "HAND"),
         std::vector<std::string>(10, "")},
        {"a protected game folder, the window's program on a subst drive",
         {LibraryAction::InstallSet, 2, {}},
         Game::Protected,
         {false, false, "S:\\EAW\\Skies\\skyswap.exe"},
         false,
         false,
         RightsAdvice::RestartAsAdministrator,
         {LibraryAction::InstallSet, 2, {}},
         {Severity::Warning},
         std::vector<std::string>(10, ""),
         std::vector<std::string>(10, "")},
        {"a protected game folder, the window's program on a drive no administrator sees",
         {LibraryAction::InstallSet, 1, {}},
         Game::Protected,
         {false, false, "X:\\skyswap.exe"},
         false,
         false,
         RightsAdvice::OutOfAdministratorsReach,
         {},
         {Severity::Warning},
         std::vector<std::string>(10, ""),
         std::vector<std::string>(10, "")},
        {"a protected game folder on a share",
         {LibraryAction::InstallRandom, 0, {}},
         Game::Protected,
         {false, true},
         false,
         false,
         RightsAdvice::NetworkShare,
         {},
         {Severity::Warning},
         std::vector<std::string>(10, ""),
         std::vector<std::string>(10, "")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        test::MakeLibrary(temp, 3);
        temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
        if (c.handMadeSky) {
            test::WriteSkyFiles(temp, kGame, "HAND");
        }
        auto real = test::MakePlatformFileSystem();
        test::CurrentFolderScope scope(temp.Join(kLibrary));
        // The library lies inside the game folder: protecting the game protects the library.
        test::ProtectedFolderFileSystem guarded{*real, temp.Join(kGame)};
        FileSystem& fs = c.game == Game::Protected ? static_cast<FileSystem&>(guarded) : *real;
        int sharesAsked = 0;
        LibrarySession session(fs, Faked(c.answers, sharesAsked));
        ASSERT_TRUE(session.Open(true));

        const SessionOutcome outcome = session.Run(c.request);
        EXPECT_EQ(outcome.succeeded, c.succeeded) << outcome.text;
        EXPECT_EQ(outcome.exitCode, c.succeeded ? 0 : 1);
        EXPECT_EQ(outcome.advice, c.advice) << outcome.text;
        EXPECT_EQ(sharesAsked, c.game == Game::Protected ? 1 : 0) << "asked once, when refused";
        EXPECT_EQ(outcome.restartQuestion.empty(),
                  c.advice != RightsAdvice::RestartAsAdministrator);
        if (c.advice == RightsAdvice::RestartAsAdministrator) {
            EXPECT_EQ(outcome.restartRequest, c.restart);
            if (*c.answers.program != '\0') {
                EXPECT_EQ(outcome.restart.program, "C:\\Games\\EAW\\Skies\\skyswap.exe");
                EXPECT_EQ(outcome.restart.folder, session.State().libraryFolder);
                EXPECT_NE(outcome.restart.parameters.find("/resume install 2"), std::string::npos)
                    << outcome.restart.parameters;
            }
        } else {
            EXPECT_EQ(outcome.restartRequest, LibraryRequest{}) << "nothing to carry on with";
        }
        if (c.advice == RightsAdvice::OutOfAdministratorsReach) {
            // The refusal, and why no restart is offered, in one message.
            ASSERT_EQ(outcome.notes.size(), 1u);
            EXPECT_NE(outcome.notes[0].text.find("Windows protects the game folder"),
                      std::string::npos);
            EXPECT_NE(outcome.notes[0].text.find(
                          "SkySwap cannot restart itself as administrator from here: "
                          "X:\\skyswap.exe is on X:, a drive made with subst or mapped for your "
                          "account only"),
                      std::string::npos)
                << outcome.notes[0].text;
        }
        std::vector<Severity> kinds;
        for (const SessionNote& note : outcome.notes) {
            kinds.push_back(note.severity);
        }
        EXPECT_EQ(kinds, c.notes) << outcome.text;
        EXPECT_EQ(outcome.done.empty(), !c.succeeded);
        EXPECT_EQ(TagsIn(temp, kGame, kTags), c.gameHolds);
        EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZTDef", kTags), c.defaultHolds);
    }
}

TEST(LibrarySession, StatusAndARandomInstallChangeTheSkyTheSessionKnows) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 3);
    temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    LibrarySession session(*fs, {});
    ASSERT_TRUE(session.Open(false));

    // The window's LOAD TO EAW after the random image: the draw is made by the session.
    session.State().randomPending = true;
    const LibraryRequest pressed = session.RequestForChoice(LibraryAction::InstallSet);
    EXPECT_EQ(pressed.action, LibraryAction::InstallRandom);
    const SessionOutcome installed = session.Run(pressed);
    ASSERT_TRUE(installed.succeeded) << installed.text;
    ASSERT_TRUE(session.State().selectedSet);
    const std::string drawn = "ZT" + std::to_string(*session.State().selectedSet);
    EXPECT_EQ(TagsIn(temp, kGame, kTags), std::vector<std::string>(10, drawn));
    ASSERT_TRUE(session.Knowledge().installed);
    EXPECT_EQ(session.Knowledge().installed->set, *session.State().selectedSet);

    const SessionOutcome status = session.Run({LibraryAction::Status, 0, {}});
    EXPECT_TRUE(status.succeeded);
    EXPECT_NE(status.text.find("In the game: " + drawn), std::string::npos) << status.text;

    // SAVE AS MY DEFAULT after choosing the random image again saves the set chosen before it
    // and leaves the random choice for LOAD TO EAW.
    session.State().randomPending = true;
    const SessionOutcome saved =
        session.Run(session.RequestForChoice(LibraryAction::SaveMyDefault));
    EXPECT_TRUE(saved.succeeded) << saved.text;
    EXPECT_TRUE(session.State().randomPending);
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZTDef", kTags),
              std::vector<std::string>(10, drawn));
}

TEST(LibrarySession, AddingKnowsAScannerFromAProtectedLibrary) {
    const struct {
        const char* what;
        FsOperation operation;
        const char* pathEnd;
        int refusals;  // of `operation` with access denied; -1 every time
        Answers answers;
        bool added;
        RightsAdvice advice;
    } cases[] = {
        {"the rename refused twice, then done",
         FsOperation::RenameFolder,
         "\\ZT2",
         2,
         {},
         true,
         RightsAdvice::None},
        {"the staging folder refused",
         FsOperation::CreateFolder,
         "ZT2.skyswap-tmp",
         -1,
         {},
         false,
         RightsAdvice::RestartAsAdministrator},
        {"the staging folder refused, elevated",
         FsOperation::CreateFolder,
         "ZT2.skyswap-tmp",
         -1,
         {true, false},
         false,
         RightsAdvice::None},
        {"the staging folder refused on a share",
         FsOperation::CreateFolder,
         "ZT2.skyswap-tmp",
         -1,
         {false, true},
         false,
         RightsAdvice::NetworkShare},
        {"the staging folder refused, the window's program on a drive no administrator sees",
         FsOperation::CreateFolder,
         "ZT2.skyswap-tmp",
         -1,
         {false, false, "X:\\skyswap.exe"},
         false,
         RightsAdvice::OutOfAdministratorsReach},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempFolder temp;
        test::MakeLibrary(temp, 2);
        temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
        test::WriteSkyFiles(temp, "Stormy Evening", "STORMY");
        auto real = test::MakePlatformFileSystem();
        test::CurrentFolderScope scope(temp.Join(kLibrary));
        test::FaultyFileSystem fs{*real};
        fs.Fail(c.operation, c.pathEnd, FsError::AccessDenied, c.refusals);
        test::FakeArchiveOpener archives;
        test::FakePictureScaler pictures;
        int sharesAsked = 0;
        LibrarySession session(fs, Faked(c.answers, sharesAsked));
        ASSERT_TRUE(session.Open(true));

        const std::string download = temp.Join("Stormy Evening");
        const SessionOutcome outcome = session.AddDownloads({download}, {fs, archives, pictures});
        EXPECT_EQ(outcome.added.size(), c.added ? 1u : 0u) << outcome.errors;
        EXPECT_EQ(outcome.exitCode, c.added ? 0 : 1);
        EXPECT_EQ(outcome.advice, c.advice) << outcome.errors;
        EXPECT_EQ(temp.Exists(std::string(kLibrary) + "\\ZT2"), c.added);
        EXPECT_FALSE(temp.Exists(std::string(kLibrary) + "\\ZT2.skyswap-tmp"));
        EXPECT_EQ(session.State().setCount, c.added ? 3 : 2);
        if (c.advice == RightsAdvice::RestartAsAdministrator) {
            EXPECT_EQ(outcome.restartRequest,
                      (LibraryRequest{LibraryAction::AddDownloads, 0, {download}}));
            EXPECT_FALSE(outcome.restartQuestion.empty());
        } else {
            EXPECT_EQ(outcome.restartQuestion, "");
            EXPECT_EQ(outcome.restartRequest, LibraryRequest{});
        }
        if (c.added) {
            EXPECT_EQ(outcome.errors, "");
            EXPECT_GT(fs.pausedMs(), 0) << "the rename was retried";
        }
        if (c.advice == RightsAdvice::OutOfAdministratorsReach) {
            ASSERT_EQ(outcome.notes.size(), 1u) << "the refusal says why no restart is offered";
            EXPECT_EQ(outcome.notes[0].severity, Severity::Warning);
        }
        if (c.added || c.advice == RightsAdvice::NetworkShare) {
            // No word of administrator rights where they cannot help.
            EXPECT_EQ(outcome.errors.find("administrator"), std::string::npos) << outcome.errors;
        }
        if (c.advice == RightsAdvice::NetworkShare) {
            EXPECT_NE(outcome.errors.find("on the network share"), std::string::npos)
                << outcome.errors;
        }
    }
}

}  // namespace
}  // namespace skyswap
