#include "keep_sky.h"

#include <gtest/gtest.h>

#include "discovery.h"
#include "messages.h"
#include "selection.h"
#include "support/faulty_file_system.h"
#include "support/sky_library.h"
#include "support/test_support.h"

namespace skyswap {
namespace {

using test::kGame;
using test::kLibrary;
using test::TagsIn;
using test::TempFolder;
using Tags = std::vector<std::string>;

const Tags kTags = {"friend", "ZT0", "ZT1", "ZT2", "ZT3", "mine"};
const std::string kDescription = "Kept from the game folder on 2026-12-07";

// A library of `sets` sets and a game holding a friend's sky that is in none of them.
struct Game {
    explicit Game(int sets) {
        test::MakeLibrary(temp, sets);
        test::WriteSkyFiles(temp, kGame, "friend");
        state = test::StateFor(temp);
        knowledge.Learn(RecognizeInstalled(*fs, SnapshotOf(state)));
    }
    std::string Set(int n) const { return std::string(kLibrary) + "\\ZT" + std::to_string(n); }
    Tags TagsOf(const std::string& folder) const { return TagsIn(temp, folder, kTags); }
    GameTransferOutcome Run(GameTransfer transfer, FileSystem* through = nullptr) {
        return RunGameTransfer(transfer, state, through ? *through : *fs, knowledge, kDescription);
    }

    TempFolder temp;
    AppState state;
    std::unique_ptr<FileSystem> fs = test::MakePlatformFileSystem();
    SkyKnowledge knowledge;
};

TEST(KeepSky, EachTransferThatReplacesTheGameSkyKeepsItAsANewSetFirst) {
    for (GameTransfer transfer : {GameTransfer::InstallSelected, GameTransfer::LoadMyDefault,
                                  GameTransfer::LoadGameDefault}) {
        Game game(3);
        test::WriteSkyFiles(game.temp, std::string(kLibrary) + "\\ZTDef", "mine");
        ChooseSlot(game.state, 1);
        const GameTransferOutcome outcome = game.Run(transfer);
        ASSERT_EQ(outcome.keep.status, KeepStatus::Kept);
        EXPECT_EQ(outcome.keep.set, 3);
        EXPECT_EQ(outcome.transfer.status, TransferStatus::Done);
        EXPECT_EQ(game.TagsOf(game.Set(3)), Tags(10, "friend"));
        EXPECT_EQ(game.temp.ReadFile(game.Set(3) + "\\ZT3.txt"), kDescription);
        EXPECT_FALSE(game.temp.Exists(game.Set(3) + "\\ZT3.bmp")) << "the placeholder shows";
        EXPECT_EQ(game.state.SetCount, 4);
        EXPECT_EQ(game.state.SetNumbers, (std::vector<int32_t>{0, 1, 2, 3}));
        EXPECT_EQ(game.temp.List(kLibrary), (Tags{"ZT0", "ZT1", "ZT2", "ZT3", "ZTDef"}))
            << "no folder under a temporary name remains";
        EXPECT_EQ(KeptMessage(outcome.keep.set),
                  "The sky files in the game folder were in no set of your library. SkySwap kept "
                  "them as set ZT3 before replacing them.");

        // The sky is in the library now: the next transfer keeps nothing more.
        const GameTransferOutcome again = game.Run(GameTransfer::LoadGameDefault);
        EXPECT_EQ(again.keep.status, KeepStatus::NothingToKeep);
        EXPECT_EQ(game.state.SetCount, 4);
    }
}

TEST(KeepSky, NothingIsKeptWhenTheGameHoldsASetTheDefaultOrItsOwnSky) {
    Game game(2);
    test::WriteSkyFiles(game.temp, kGame, "ZT1");
    ChooseSlot(game.state, 0);
    // The knowledge says "in no set", but the game folder changed since: it is checked again.
    EXPECT_EQ(game.Run(GameTransfer::InstallSelected).keep.status, KeepStatus::NothingToKeep);
    EXPECT_EQ(game.knowledge.installed, InstalledSky::OfSet(0));
    EXPECT_EQ(game.Run(GameTransfer::LoadGameDefault).keep.status, KeepStatus::NothingToKeep);
    EXPECT_EQ(game.knowledge.installed, InstalledSky::GameOwn());
    EXPECT_EQ(game.state.SetCount, 2);
    EXPECT_EQ(game.temp.List(kLibrary), (Tags{"ZT0", "ZT1"}));
}

TEST(KeepSky, ATransferThatWouldRefuseKeepsNothing) {
    Game game(2);
    // No choice yet, and no ZTDef.
    EXPECT_EQ(game.Run(GameTransfer::InstallSelected).transfer.status,
              TransferStatus::NothingChosen);
    EXPECT_EQ(game.Run(GameTransfer::LoadMyDefault).transfer.status, TransferStatus::SourceMissing);
    ChooseSlot(game.state, 7);  // a slot without a set
    EXPECT_EQ(game.Run(GameTransfer::InstallSelected).transfer.status,
              TransferStatus::SourceMissing);
    EXPECT_EQ(game.state.SetCount, 2);
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "friend"));
}

TEST(KeepSky, TheLowestFreeNumberFromSetCountUp) {
    Game game(3);
    game.temp.WriteFile(std::string(kLibrary) + "\\ZT3", "a file, not a set");
    game.temp.MakeFolder(std::string(kLibrary) + "\\ZT4.skyswap-tmp");  // left by a crash
    game.temp.WriteFile(std::string(kLibrary) + "\\ZT4.skyswap-tmp\\cloud1.ter", "half");
    ChooseSlot(game.state, 0);
    const GameTransferOutcome outcome = game.Run(GameTransfer::InstallSelected);
    ASSERT_EQ(outcome.keep.status, KeepStatus::Kept);
    EXPECT_EQ(outcome.keep.set, 4);
    EXPECT_EQ(game.TagsOf(game.Set(4)), Tags(10, "friend"));
    EXPECT_FALSE(game.temp.Exists(std::string(kLibrary) + "\\ZT4.skyswap-tmp"));
    EXPECT_EQ(game.state.SetCount, 5);
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "ZT0"));
}

TEST(KeepSky, WhenKeepingFailsTheTransferDoesNotRunAndNothingIsLeft) {
    struct Fault {
        test::FsOperation operation;
        std::string pathEnd;
        FsError error;
        std::string says;
    };
    const std::vector<Fault> faults = {
        {test::FsOperation::CreateFolder, "ZT2.skyswap-tmp", FsError::AccessDenied,
         "access is denied"},
        {test::FsOperation::CopyToStaged, "bncloud2.ter.skyswap-tmp", FsError::DiskFull,
         "there is not enough room on the disk"},
        {test::FsOperation::WriteFlushed, "ZT2.txt", FsError::DiskFull, "not enough room"},
        {test::FsOperation::RenameFolder, "ZT2", FsError::InUse, "ZT2 is in use"},
    };
    for (const Fault& fault : faults) {
        Game game(2);
        test::WriteSkyFiles(game.temp, std::string(kLibrary) + "\\ZTDef", "mine");
        test::FaultyFileSystem faulty(*game.fs);
        faulty.Fail(fault.operation, fault.pathEnd, fault.error);
        ChooseRandom(game.state);
        const GameTransferOutcome outcome = game.Run(GameTransfer::InstallSelected, &faulty);
        ASSERT_EQ(outcome.keep.status, KeepStatus::Failed) << fault.pathEnd;
        EXPECT_EQ(game.TagsOf(kGame), Tags(10, "friend")) << "the game folder is unchanged";
        EXPECT_EQ(game.temp.List(kLibrary), (Tags{"ZT0", "ZT1", "ZTDef"})) << fault.pathEnd;
        EXPECT_EQ(game.state.SetCount, 2);
        const std::string message = KeepFailedMessage(outcome.keep);
        EXPECT_EQ(message.rfind("Nothing was changed.", 0), 0u) << message;
        EXPECT_NE(message.find(fault.says), std::string::npos) << message;
        EXPECT_NE(message.find("ZT2"), std::string::npos) << message;
    }
}

TEST(KeepSky, TheRandomDrawAvoidsTheSetInTheGame) {
    Game game(2);
    test::WriteSkyFiles(game.temp, kGame, "ZT0");
    game.knowledge.Learn(RecognizeInstalled(*game.fs, SnapshotOf(game.state)));
    for (int press = 0; press < 20; ++press) {
        ChooseRandom(game.state);
        ASSERT_EQ(game.Run(GameTransfer::InstallSelected).transfer.status, TransferStatus::Done);
        const int drawn = *game.state.SelectedIndex;
        EXPECT_EQ(game.TagsOf(kGame), Tags(10, "ZT" + std::to_string(drawn)));
        EXPECT_EQ(game.knowledge.installed, InstalledSky::OfSet(drawn));
        EXPECT_EQ(drawn, press % 2 == 0 ? 1 : 0) << "two sets: each press changes the sky";
    }
}

TEST(KeepSky, SavingTheDefaultKeepsItsMeaning) {
    Game game(2);
    test::WriteSkyFiles(game.temp, std::string(kLibrary) + "\\ZTDef", "friend");
    game.knowledge = {};
    game.knowledge.Learn(RecognizeInstalled(*game.fs, SnapshotOf(game.state)));
    ASSERT_EQ(game.knowledge.installed, InstalledSky::PersonalDefault());
    ChooseSlot(game.state, 1);
    ASSERT_TRUE(RunSaveMyDefault(game.state, *game.fs, game.knowledge).ok());
    EXPECT_EQ(game.TagsOf(std::string(kLibrary) + "\\ZTDef"), Tags(10, "ZT1"));
    // The friend's sky is now only in the game folder, and the next install keeps it.
    EXPECT_EQ(game.knowledge.installed, InstalledSky::NotInLibrary());
    const GameTransferOutcome outcome = game.Run(GameTransfer::LoadMyDefault);
    EXPECT_EQ(outcome.keep.status, KeepStatus::Kept);
    EXPECT_EQ(game.TagsOf(game.Set(2)), Tags(10, "friend"));
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "ZT1"));
    EXPECT_EQ(game.knowledge.installed, InstalledSky::OfSet(1));
}

TEST(KeepSky, DescriptionNamesTheDay) {
    EXPECT_EQ(KeptDescription(2026, 3, 9), "Kept from the game folder on 2026-03-09");
}

}  // namespace
}  // namespace skyswap
