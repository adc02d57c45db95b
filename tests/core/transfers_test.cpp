#include "transfers.h"

#include <gtest/gtest.h>

#include "discovery.h"
#include "messages.h"
#include "selection.h"
#include "support/sky_library.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>

#include "text_win.h"
#endif

namespace skyswap {
namespace {

using test::kGame;
using test::kLibrary;
using test::TagsIn;
using test::TempFolder;
using Tags = std::vector<std::string>;

const Tags kAllTags = {"old", "ZT0", "ZT1", "ZT2", "ZT3", "mine"};

Tags Repeat(const std::string& tag) {
    return Tags(10, tag);
}

// A game folder with the ten "old" files and a file of its own, and a library of `sets` sets.
struct Game {
    explicit Game(int sets) {
        test::MakeLibrary(temp, sets);
        test::WriteSkyFiles(temp, kGame, "old");
        temp.WriteFile(std::string(kGame) + "\\eaw.exe", "the game");
        state = test::StateFor(temp);
    }
    Tags GameTags() const { return TagsIn(temp, kGame, kAllTags); }
    // Nothing but the ten files, the game's own and no staged copy.
    std::vector<std::string> GameFiles() const { return temp.List(kGame); }

    TempFolder temp;
    AppState state;
    std::unique_ptr<FileSystem> fs = test::MakePlatformFileSystem();
};

std::vector<FileOutcome> Outcomes(const TransferReport& report) {
    std::vector<FileOutcome> outcomes;
    for (const FileReport& file : report.files) {
        outcomes.push_back(file.outcome);
    }
    return outcomes;
}

TEST(Transfers, InstallReplacesTheTenFilesAndNothingElse) {
    Game game(3);
    ChooseSlot(game.state, 2);
    const std::vector<std::string> before = game.GameFiles();

    const TransferReport report = InstallSelected(game.state, *game.fs);
    EXPECT_EQ(report.status, TransferStatus::Done);
    EXPECT_EQ(Outcomes(report), std::vector<FileOutcome>(10, FileOutcome::Replaced));
    EXPECT_EQ(game.GameTags(), Repeat("ZT2"));
    EXPECT_EQ(game.GameFiles(), before) << "no staged copy or other file may remain";
    EXPECT_EQ(game.temp.ReadFile("Game\\eaw.exe"), "the game");
    EXPECT_EQ(TagsIn(game.temp, std::string(kLibrary) + "\\ZT2", kAllTags), Repeat("ZT2"))
        << "the set itself is untouched";
    EXPECT_EQ(TransferMessage(report), "");

    // A second press without a new choice installs the same set again.
    EXPECT_EQ(InstallSelected(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_EQ(game.GameTags(), Repeat("ZT2"));
}

TEST(Transfers, ASetLackingFilesLeavesThemAbsent) {
    Game game(1);
    const std::string set = std::string(kLibrary) + "\\ZT1";
    test::WriteSkyFiles(game.temp, set, "ZT1", {"bnhorizn.ter", "cloud1.ter"});
    game.state = test::StateFor(game.temp);
    ChooseSlot(game.state, 1);

    const TransferReport report = InstallSelected(game.state, *game.fs);
    EXPECT_EQ(report.status, TransferStatus::Done);
    Tags expected(10, "");
    expected[0] = expected[8] = "ZT1";
    EXPECT_EQ(game.GameTags(), expected);
    EXPECT_EQ(report.files[0].outcome, FileOutcome::Replaced);
    EXPECT_EQ(report.files[1].outcome, FileOutcome::Removed);

    // Once more: the absent files are now left alone, and that is no failure.
    const TransferReport again = InstallSelected(game.state, *game.fs);
    EXPECT_EQ(again.status, TransferStatus::Done);
    EXPECT_EQ(again.files[1].outcome, FileOutcome::LeftAlone);
}

TEST(Transfers, PersonalDefaultIsSavedCreatedAndLoaded) {
    Game game(3);
    const std::string myDefault = std::string(kLibrary) + "\\ZTDef";

    // Never saved: loading changes nothing and says so.
    TransferReport report = LoadMyDefault(game.state, *game.fs);
    EXPECT_EQ(report.status, TransferStatus::SourceMissing);
    EXPECT_EQ(game.GameTags(), Repeat("old"));
    EXPECT_NE(TransferMessage(report).find("no personal default"), std::string::npos);

    // Saving creates ZTDef; it saves the chosen set, not what the game has.
    ChooseSlot(game.state, 1);
    EXPECT_EQ(SaveMyDefault(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_EQ(TagsIn(game.temp, myDefault, kAllTags), Repeat("ZT1"));

    // A personal default lacking bncloud0.ter leaves the game without it.
    ASSERT_TRUE(game.fs->RemoveFile(game.temp.Join(myDefault + "\\bncloud0.ter")).ok());
    EXPECT_EQ(LoadMyDefault(game.state, *game.fs).status, TransferStatus::Done);
    Tags expected = Repeat("ZT1");
    expected[2] = "";
    EXPECT_EQ(game.GameTags(), expected);
}

TEST(Transfers, GameDefaultRemovesTheTenFilesOnly) {
    Game game(1);
    EXPECT_EQ(LoadGameDefault(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_EQ(game.GameFiles(), (std::vector<std::string>{"Skies", "eaw.exe", "eaw.ini"}));

    // Nothing left to remove is no error.
    const TransferReport report = LoadGameDefault(game.state, *game.fs);
    EXPECT_EQ(report.status, TransferStatus::Done);
    EXPECT_EQ(Outcomes(report), std::vector<FileOutcome>(10, FileOutcome::LeftAlone));
}

TEST(Transfers, NothingChangesWithoutAnExistingSource) {
    Game game(2);
    // Nothing chosen yet.
    EXPECT_EQ(InstallSelected(game.state, *game.fs).status, TransferStatus::NothingChosen);
    EXPECT_EQ(SaveMyDefault(game.state, *game.fs).status, TransferStatus::NothingChosen);
    EXPECT_EQ(TransferMessage(InstallSelected(game.state, *game.fs)), "Choose a sky set first.");

    // Random pending with nothing chosen before: saving has no set to save.
    ChooseRandom(game.state);
    EXPECT_EQ(SaveMyDefault(game.state, *game.fs).status, TransferStatus::NothingChosen);

    // A slot past the last set.
    ChooseSlot(game.state, 5);
    TransferReport report = InstallSelected(game.state, *game.fs);
    EXPECT_EQ(report.status, TransferStatus::SourceMissing);
    EXPECT_EQ(TransferMessage(report), "Nothing was changed: the set folder ZT5 does not exist.");
    EXPECT_EQ(SaveMyDefault(game.state, *game.fs).status, TransferStatus::SourceMissing);
    EXPECT_FALSE(game.temp.Exists(std::string(kLibrary) + "\\ZTDef"));

    // A random draw over an empty library.
    Game empty(0);
    ChooseRandom(empty.state);
    report = InstallSelected(empty.state, *empty.fs);
    EXPECT_EQ(report.status, TransferStatus::LibraryEmpty);
    EXPECT_FALSE(TransferMessage(report).empty());
    EXPECT_EQ(empty.GameTags(), Repeat("old"));

    EXPECT_EQ(game.GameTags(), Repeat("old"));
    EXPECT_EQ(CopySkyFiles(*game.fs, "", game.state.gameFolder).status, TransferStatus::SourceMissing)
        << "an empty source must never mean the root of the drive";
}

TEST(Transfers, TargetFolderThatDoesNotExistIsLeftAlone) {
    Game game(1);
    const TransferReport report =
        CopySkyFiles(*game.fs, SetFolder(game.state, 0), game.temp.Join("Gone"));
    EXPECT_EQ(report.status, TransferStatus::TargetMissing);
    EXPECT_FALSE(game.temp.Exists("Gone"));
    EXPECT_EQ(ClearSkyFiles(*game.fs, game.temp.Join("Gone")).status,
              TransferStatus::TargetMissing);
}

TEST(Transfers, ReadOnlyFilesNeitherBlockNorSpread) {
    Game game(2);
    // A set copied off a CD is read-only; so is a file the game folder already holds.
    const std::string set = std::string(kLibrary) + "\\ZT1";
    for (const std::string& name : test::SkyFileNames()) {
        game.temp.SetReadOnly(set + "\\" + name, true);
    }
    game.temp.SetReadOnly("Game\\bnhorizn.ter", true);

    ChooseSlot(game.state, 1);
    EXPECT_EQ(InstallSelected(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_EQ(game.GameTags(), Repeat("ZT1"));
#ifdef _WIN32
    for (const std::string& name : test::SkyFileNames()) {
        const DWORD attributes =
            GetFileAttributesW(Utf8ToWide(game.temp.Join("Game\\" + name)).c_str());
        EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u) << name;
    }
#endif
    // So the next transfer replaces them as well.
    ChooseSlot(game.state, 0);
    EXPECT_EQ(InstallSelected(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_EQ(game.GameTags(), Repeat("ZT0"));
    game.temp.SetReadOnly("Game\\cloud2.ter", true);
    EXPECT_EQ(LoadGameDefault(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_EQ(game.GameTags(), Repeat(""));
}

TEST(Transfers, LeftOverStagedCopiesAreRemovedByTheNextTransfer) {
    Game game(1);
    const std::string leftover = std::string("Game\\cloud1.ter") + kStagedSuffix;
    game.temp.WriteFile(leftover, "half a file");
    game.temp.SetReadOnly(leftover, true);
    ChooseSlot(game.state, 0);
    EXPECT_EQ(InstallSelected(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_FALSE(game.temp.Exists(leftover));

    game.temp.WriteFile(leftover, "half a file");
    EXPECT_EQ(LoadGameDefault(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_FALSE(game.temp.Exists(leftover));

    // A crash left the staged copy of a file that the next set lacks: no copy of the new set
    // overwrites it, yet it must go too.
    const std::string orphan = std::string("Game\\bncltra0.ter") + kStagedSuffix;
    test::WriteSkyFiles(game.temp, std::string(kLibrary) + "\\ZT1", "ZT1", {"bnhorizn.ter"});
    game.state = test::StateFor(game.temp);
    game.temp.WriteFile(orphan, "half a file");
    ChooseSlot(game.state, 1);
    EXPECT_EQ(InstallSelected(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_FALSE(game.temp.Exists(orphan));
    EXPECT_FALSE(game.temp.Exists("Game\\bncltra0.ter"));
}

TEST(Transfers, WorkInFoldersWithNonAsciiNames) {
    TempFolder temp;
    const std::string game = "J\xC3\xBCrgen\\\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0";
    const std::string library = game + "\\\xE7\xA9\xBA";
    temp.MakeFolder(game);
    temp.WriteFile(game + "\\eaw.ini", "");
    test::WriteSkyFiles(temp, library + "\\ZT0", "ZT0");
    auto fs = test::MakePlatformFileSystem();
    AppState state;
    {
        test::CurrentFolderScope scope(temp.Join(library));
        ASSERT_EQ(DiscoverLibrary(state, *fs), DiscoveryResult::Ok);
    }
    ChooseSlot(state, 0);
    EXPECT_EQ(InstallSelected(state, *fs).status, TransferStatus::Done);
    EXPECT_EQ(TagsIn(temp, game, {"ZT0"}), Repeat("ZT0"));
    EXPECT_EQ(SaveMyDefault(state, *fs).status, TransferStatus::Done);
    EXPECT_EQ(TagsIn(temp, library + "\\ZTDef", {"ZT0"}), Repeat("ZT0"));
}

#ifdef _WIN32
TEST(Transfers, SetFoldersAndFilesAreFoundInAnyLetterCase) {
    Game game(0);
    const std::string set = std::string(kLibrary) + "\\zt0";
    test::WriteSkyFiles(game.temp, set, "ZT0");
    ASSERT_TRUE(MoveFileW(Utf8ToWide(game.temp.Join(set + "\\cloud1.ter")).c_str(),
                          Utf8ToWide(game.temp.Join(set + "\\CLOUD1.TER")).c_str()));
    game.state = test::StateFor(game.temp);
    ASSERT_EQ(game.state.setCount, 1);
    ChooseSlot(game.state, 0);
    EXPECT_EQ(InstallSelected(game.state, *game.fs).status, TransferStatus::Done);
    EXPECT_EQ(game.GameTags(), Repeat("ZT0"));
}

TEST(Transfers, AFileHeldOpenByAnotherProgramIsReportedAndTheRestReplaced) {
    Game game(1);
    const std::wstring held = Utf8ToWide(game.temp.Join("Game\\cloud2.ter"));
    HANDLE handle = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);

    ChooseSlot(game.state, 0);
    const TransferReport report = InstallSelected(game.state, *game.fs);
    CloseHandle(handle);

    EXPECT_EQ(report.status, TransferStatus::SomeFilesFailed);
    EXPECT_EQ(report.files[9].outcome, FileOutcome::Failed);
    EXPECT_EQ(report.files[9].status.error, FsError::InUse);
    Tags expected = Repeat("ZT0");
    expected[9] = "old";
    EXPECT_EQ(game.GameTags(), expected);
    EXPECT_NE(TransferMessage(report).find("cloud2.ter is in use by another program"),
              std::string::npos);
    EXPECT_EQ(game.GameFiles().size(), 13u) << "no staged copy may remain";
}
#endif

}  // namespace
}  // namespace skyswap
