#include "game_transfers.h"

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
    GameTransferOutcome Run(LibraryAction transfer, FileSystem* through = nullptr) {
        return KeepAndTransferIntoGame(transfer, state, through ? *through : *fs, knowledge, kDescription);
    }

    TempFolder temp;
    AppState state;
    std::unique_ptr<FileSystem> fs = test::MakePlatformFileSystem();
    SkyKnowledge knowledge;
};

TEST(KeepSky, EachTransferThatReplacesTheGameSkyKeepsItAsANewSetFirst) {
    for (LibraryAction transfer : {LibraryAction::InstallSet, LibraryAction::LoadMyDefault,
                                  LibraryAction::LoadGameDefault}) {
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
        EXPECT_EQ(game.state.setCount, 4);
        EXPECT_EQ(game.state.setNumbers, (std::vector<int32_t>{0, 1, 2, 3}));
        EXPECT_EQ(game.temp.List(kLibrary), (Tags{"ZT0", "ZT1", "ZT2", "ZT3", "ZTDef"}))
            << "no folder under a temporary name remains";
        EXPECT_EQ(KeptMessage(outcome.keep.set),
                  "The sky files in the game folder were in no set of your library. SkySwap kept "
                  "them as set ZT3 before replacing them.");

        // The sky is in the library now: the next transfer keeps nothing more.
        const GameTransferOutcome again = game.Run(LibraryAction::LoadGameDefault);
        EXPECT_EQ(again.keep.status, KeepStatus::NothingToKeep);
        EXPECT_EQ(game.state.setCount, 4);
    }
}

TEST(KeepSky, NothingIsKeptWhenTheGameHoldsASetTheDefaultOrItsOwnSky) {
    Game game(2);
    test::WriteSkyFiles(game.temp, kGame, "ZT1");
    ChooseSlot(game.state, 0);
    // The knowledge says "in no set", but the game folder changed since: it is checked again.
    EXPECT_EQ(game.Run(LibraryAction::InstallSet).keep.status, KeepStatus::NothingToKeep);
    EXPECT_EQ(game.knowledge.installed, InstalledSky::OfSet(0));
    EXPECT_EQ(game.Run(LibraryAction::LoadGameDefault).keep.status, KeepStatus::NothingToKeep);
    EXPECT_EQ(game.knowledge.installed, InstalledSky::GameOwn());
    EXPECT_EQ(game.state.setCount, 2);
    EXPECT_EQ(game.temp.List(kLibrary), (Tags{"ZT0", "ZT1"}));
}

TEST(KeepSky, ATransferThatWouldRefuseKeepsNothing) {
    Game game(2);
    // No choice yet, and no ZTDef.
    EXPECT_EQ(game.Run(LibraryAction::InstallSet).transfer.status,
              TransferStatus::NothingChosen);
    EXPECT_EQ(game.Run(LibraryAction::LoadMyDefault).transfer.status, TransferStatus::SourceMissing);
    ChooseSlot(game.state, 7);  // a slot without a set
    EXPECT_EQ(game.Run(LibraryAction::InstallSet).transfer.status,
              TransferStatus::SourceMissing);
    EXPECT_EQ(game.state.setCount, 2);
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "friend"));
}

TEST(KeepSky, TheLowestFreeNumberFromSetCountUp) {
    Game game(3);
    game.temp.WriteFile(std::string(kLibrary) + "\\ZT3", "a file, not a set");
    game.temp.MakeFolder(std::string(kLibrary) + "\\ZT4.skyswap-tmp");  // left by a crash
    game.temp.WriteFile(std::string(kLibrary) + "\\ZT4.skyswap-tmp\\cloud1.ter", "half");
    ChooseSlot(game.state, 0);
    const GameTransferOutcome outcome = game.Run(LibraryAction::InstallSet);
    ASSERT_EQ(outcome.keep.status, KeepStatus::Kept);
    EXPECT_EQ(outcome.keep.set, 4);
    EXPECT_EQ(game.TagsOf(game.Set(4)), Tags(10, "friend"));
    EXPECT_FALSE(game.temp.Exists(std::string(kLibrary) + "\\ZT4.skyswap-tmp"));
    EXPECT_EQ(game.state.setCount, 5);
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "ZT0"));
}

TEST(KeepSky, AStagingFolderHoldingSomethingElseIsPassedOver) {
    Game game(2);
    game.temp.MakeFolder(std::string(kLibrary) + "\\ZT2.skyswap-tmp");
    game.temp.WriteFile(std::string(kLibrary) + "\\ZT2.skyswap-tmp\\notes.doc", "mine");
    ChooseSlot(game.state, 0);
    const GameTransferOutcome outcome = game.Run(LibraryAction::InstallSet);
    ASSERT_EQ(outcome.keep.status, KeepStatus::Kept);
    EXPECT_EQ(outcome.keep.set, 3);
    EXPECT_EQ(game.TagsOf(game.Set(3)), Tags(10, "friend"));
    EXPECT_TRUE(game.temp.Exists(std::string(kLibrary) + "\\ZT2.skyswap-tmp\\notes.doc"));
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
        {test::FsOperation::RenameFolder, "ZT2", FsError::InUse,
         "ZT2.skyswap-tmp could not be renamed to ZT2"},
        {test::FsOperation::RenameFolder, "ZT2", FsError::AccessDenied, "a virus scanner"},
    };
    for (const Fault& fault : faults) {
        Game game(2);
        test::WriteSkyFiles(game.temp, std::string(kLibrary) + "\\ZTDef", "mine");
        test::FaultyFileSystem faulty(*game.fs);
        faulty.Fail(fault.operation, fault.pathEnd, fault.error);
        ChooseRandom(game.state);
        const GameTransferOutcome outcome = game.Run(LibraryAction::InstallSet, &faulty);
        ASSERT_EQ(outcome.keep.status, KeepStatus::Failed) << fault.pathEnd;
        EXPECT_EQ(game.TagsOf(kGame), Tags(10, "friend")) << "the game folder is unchanged";
        EXPECT_EQ(game.temp.List(kLibrary), (Tags{"ZT0", "ZT1", "ZTDef"})) << fault.pathEnd;
        EXPECT_EQ(game.state.setCount, 2);
        const std::string message = KeepFailedMessage(outcome.keep);
        EXPECT_EQ(message.rfind("Nothing was changed.", 0), 0u) << message;
        EXPECT_NE(message.find(fault.says), std::string::npos) << message;
        EXPECT_NE(message.find("ZT2"), std::string::npos) << message;
        // Only a refused new folder is Windows' protection, which administrator rights lift.
        EXPECT_EQ(outcome.keep.LibraryRefused(), fault.operation == test::FsOperation::CreateFolder)
            << fault.pathEnd;
    }
}

TEST(KeepSky, TheNewFolderIsNamedOnceAScannerLetsGoOfIt) {
    for (const FsError error : {FsError::AccessDenied, FsError::InUse}) {
        Game game(2);
        test::FaultyFileSystem faulty(*game.fs);
        faulty.Fail(test::FsOperation::RenameFolder, "ZT2", error, 3);
        ChooseSlot(game.state, 0);
        const GameTransferOutcome outcome = game.Run(LibraryAction::InstallSet, &faulty);
        ASSERT_EQ(outcome.keep.status, KeepStatus::Kept);
        EXPECT_EQ(game.TagsOf(game.Set(2)), Tags(10, "friend"));
        EXPECT_EQ(game.TagsOf(kGame), Tags(10, "ZT0"));
        EXPECT_GT(faulty.pausedMs(), 0);
        EXPECT_LE(faulty.pausedMs(), 1000) << "within the held-file budget";
    }
}

TEST(KeepSky, TheNumberSearchReachesTheHighestSetNumber) {
    TempFolder temp;
    test::MakeLibrary(temp, 0);
    test::WriteSkyFiles(temp, std::string(kLibrary) + "\\ZT99998", "ZT99998");
    test::WriteSkyFiles(temp, kGame, "friend");
    AppState state = test::StateFor(temp);
    auto fs = test::MakePlatformFileSystem();
    ASSERT_EQ(state.setCount, 99999);
    EXPECT_EQ(FreeSetNumber(state, *fs), 99999);
    SkyKnowledge knowledge;
    ChooseSet(state, 99998);
    const GameTransferOutcome outcome =
        KeepAndTransferIntoGame(LibraryAction::InstallSet, state, *fs, knowledge, kDescription);
    ASSERT_EQ(outcome.keep.status, KeepStatus::Kept) << KeepFailedMessage(outcome.keep);
    EXPECT_EQ(outcome.keep.set, 99999);
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT99999", {"friend"}), Tags(10, "friend"));

    // Now every number is taken: nothing changes, and the message says so.
    test::WriteSkyFiles(temp, kGame, "another");
    ChooseSet(state, 99999);
    const GameTransferOutcome full =
        KeepAndTransferIntoGame(LibraryAction::InstallSet, state, *fs, knowledge, kDescription);
    ASSERT_EQ(full.keep.status, KeepStatus::Failed);
    EXPECT_NE(KeepFailedMessage(full.keep).find("every set number"), std::string::npos);
    EXPECT_EQ(TagsIn(temp, kGame, {"another"}), Tags(10, "another"));
}

TEST(KeepSky, ARandomChoiceInAnEmptyLibraryKeepsNothing) {
    Game game(0);
    ChooseRandom(game.state);
    const GameTransferOutcome outcome = game.Run(LibraryAction::InstallSet);
    EXPECT_EQ(outcome.transfer.status, TransferStatus::LibraryEmpty);
    EXPECT_EQ(outcome.keep.status, KeepStatus::NothingToKeep);
    EXPECT_EQ(game.temp.List(kLibrary), Tags{}) << "no ZT0 was made";
    EXPECT_EQ(game.state.setCount, 0);
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "friend"));
}

// The game holds a set; another program holds one of its files open without sharing. That file
// cannot be read, replaced or removed, so it cannot be lost: the set is still recognised by the
// others and the file's size, the nine others are installed and the held one is named.
TEST(KeepSky, AHeldGameFileIsNamedAndTheOthersAreInstalled) {
    for (const LibraryAction transfer :
         {LibraryAction::InstallSet, LibraryAction::LoadGameDefault}) {
        Game game(3);
        test::WriteSkyFiles(game.temp, kGame, "ZT2");
        game.knowledge = {};
        game.knowledge.installed = InstalledSky::OfSet(2);
        test::FaultyFileSystem faulty(*game.fs);
        const std::string held = "Game\\cloud2.ter";
        for (const test::FsOperation operation :
             {test::FsOperation::ReadAt, test::FsOperation::CopyToStaged,
              test::FsOperation::MoveStagedOver, test::FsOperation::RemoveFile}) {
            faulty.Fail(operation, held, FsError::InUse);
        }
        ChooseSlot(game.state, 1);
        const GameTransferOutcome outcome = game.Run(transfer, &faulty);
        EXPECT_EQ(outcome.keep.status, KeepStatus::NothingToKeep)
            << KeepFailedMessage(outcome.keep);
        ASSERT_EQ(outcome.transfer.status, TransferStatus::SomeFilesFailed);
        Tags expected(10, transfer == LibraryAction::InstallSet ? "ZT1" : "");
        expected.back() = "ZT2";
        EXPECT_EQ(game.TagsOf(kGame), expected);
        const std::string message = TransferMessage(outcome.transfer);
        EXPECT_NE(message.find("cloud2.ter is in use by another program"), std::string::npos)
            << message;
        EXPECT_EQ(message.find("in no set"), std::string::npos) << message;
        EXPECT_EQ(game.state.setCount, 3) << "nothing kept";
    }
    // The same sky recognised from nothing: the held file is judged by its size.
    Game game(3);
    test::WriteSkyFiles(game.temp, kGame, "ZT2");
    test::FaultyFileSystem faulty(*game.fs);
    faulty.Fail(test::FsOperation::ReadAt, "Game\\cloud2.ter", FsError::InUse);
    EXPECT_EQ(RecognizeInstalled(faulty, SnapshotOf(game.state)).installed, InstalledSky::OfSet(2));
}

// A sky in no set whose file is held: keeping really is impossible, and the message says which
// file and why.
TEST(KeepSky, AHeldFileOfASkyInNoSetIsNamed) {
    Game game(2);
    test::FaultyFileSystem faulty(*game.fs);
    faulty.Fail(test::FsOperation::ReadAt, "Game\\cloud2.ter", FsError::InUse);
    faulty.Fail(test::FsOperation::CopyToStaged, "Game\\cloud2.ter", FsError::InUse);
    ChooseSlot(game.state, 0);
    const GameTransferOutcome outcome = game.Run(LibraryAction::InstallSet, &faulty);
    ASSERT_EQ(outcome.keep.status, KeepStatus::Failed);
    EXPECT_NE(KeepFailedMessage(outcome.keep).find("cloud2.ter is in use by another program"),
              std::string::npos);
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "friend"));
}

// A game file that cannot be read at all (not held, but refused): recognition could not judge
// the sky, so the message does not claim it is in no set.
TEST(KeepSky, AnUnreadableGameFileIsNamedWithoutClaimingTheSkyIsInNoSet) {
    Game game(2);
    test::WriteSkyFiles(game.temp, kGame, "ZT1");
    test::FaultyFileSystem faulty(*game.fs);
    faulty.Fail(test::FsOperation::ReadAt, "Game\\cloud2.ter", FsError::AccessDenied);
    faulty.Fail(test::FsOperation::CopyToStaged, "Game\\cloud2.ter", FsError::AccessDenied);
    game.knowledge = {};
    ChooseSlot(game.state, 0);
    const GameTransferOutcome outcome = game.Run(LibraryAction::InstallSet, &faulty);
    ASSERT_EQ(outcome.keep.status, KeepStatus::Failed);
    EXPECT_FALSE(outcome.keep.LibraryRefused());
    EXPECT_EQ(KeepFailedMessage(outcome.keep),
              "Nothing was changed. SkySwap could not read cloud2.ter in the game folder (access "
              "is denied), so it cannot tell whether that sky is in your library, nor keep it as "
              "set ZT2 before replacing it.");
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "ZT1"));
}

TEST(KeepSky, LeftOversOfKeepingAreRemovedAndNothingElse) {
    struct Entry {
        std::string name;
        bool folder;
        std::vector<std::string> files;  // inside a folder
        bool stays;
    };
    const std::vector<Entry> entries = {
        {"ZT3.skyswap-tmp", true, {"cloud1.ter", "bnhorizn.ter", "ZT3.txt"}, false},
        {"ZT4.skyswap-tmp", true, {}, false},
        {"ZT5.skyswap-tmp", true, {"cloud1.ter", "notes.doc"}, true},  // something of a person's
        {"ZT05.skyswap-tmp", true, {"cloud1.ter"}, true},              // not a set's name
        {"Mine.skyswap-tmp", true, {"cloud1.ter"}, true},
        {"ZT6.skyswap-tmp", false, {}, true},  // a file
        {"ZT7.skyswap-tmpx", true, {"cloud1.ter"}, true},
        {"ZT8", true, {"cloud1.ter"}, true},
    };
    TempFolder temp;
    test::MakeLibrary(temp, 2);
    for (const Entry& entry : entries) {
        const std::string path = std::string(kLibrary) + "\\" + entry.name;
        if (!entry.folder) {
            temp.WriteFile(path, "a file");
            continue;
        }
        temp.MakeFolder(path);
        for (const std::string& file : entry.files) {
            temp.WriteFile(path + "\\" + file, "x");
        }
    }
    auto fs = test::MakePlatformFileSystem();
    const AppState state = test::StateFor(temp);
    EXPECT_EQ(RemoveUnfinishedSets(state, *fs), 2);
    for (const Entry& entry : entries) {
        EXPECT_EQ(temp.Exists(std::string(kLibrary) + "\\" + entry.name), entry.stays)
            << entry.name;
    }
    EXPECT_TRUE(temp.Exists(std::string(kLibrary) + "\\ZT5.skyswap-tmp\\notes.doc"));
    EXPECT_TRUE(temp.Exists(std::string(kLibrary) + "\\ZT1\\cloud1.ter"));
}

TEST(KeepSky, TheRandomDrawAvoidsTheSetInTheGame) {
    Game game(2);
    test::WriteSkyFiles(game.temp, kGame, "ZT0");
    game.knowledge.Learn(RecognizeInstalled(*game.fs, SnapshotOf(game.state)));
    for (int press = 0; press < 20; ++press) {
        ChooseRandom(game.state);
        ASSERT_EQ(game.Run(LibraryAction::InstallSet).transfer.status, TransferStatus::Done);
        const int drawn = *game.state.selectedSet;
        EXPECT_EQ(game.TagsOf(kGame), Tags(10, "ZT" + std::to_string(drawn)));
        EXPECT_EQ(game.knowledge.installed, InstalledSky::OfSet(drawn));
        EXPECT_EQ(drawn, press % 2 == 0 ? 1 : 0) << "two sets: each press changes the sky";
    }
}

const std::string kDefaultDescription = "Kept from your default on 2026-12-07";

// ZTDef holding a sky in no set (the game holds it too): saving over it keeps it first.
TEST(KeepSky, SavingOverADefaultInNoSetKeepsItFirst) {
    Game game(2);
    const std::string zDef = std::string(kLibrary) + "\\ZTDef";
    test::WriteSkyFiles(game.temp, zDef, "friend");
    game.knowledge = {};
    game.knowledge.Learn(RecognizeInstalled(*game.fs, SnapshotOf(game.state)));
    ASSERT_EQ(game.knowledge.installed, InstalledSky::PersonalDefault());
    ChooseSlot(game.state, 1);
    GameTransferOutcome outcome =
        KeepAndSaveMyDefault(game.state, *game.fs, game.knowledge, kDefaultDescription);
    ASSERT_TRUE(outcome.transfer.ok());
    ASSERT_EQ(outcome.keep.status, KeepStatus::Kept);
    EXPECT_EQ(KeptMessage(outcome.keep),
              "Your default was in no set of your library; it is kept as set ZT2.");
    EXPECT_EQ(game.TagsOf(game.Set(2)), Tags(10, "friend"));
    EXPECT_EQ(game.temp.ReadFile(game.Set(2) + "\\ZT2.txt"), kDefaultDescription);
    EXPECT_EQ(game.TagsOf(zDef), Tags(10, "ZT1"));
    EXPECT_EQ(game.state.setNumbers, (std::vector<int32_t>{0, 1, 2}));
    // The game's sky is that set now, and the next transfer has nothing more to keep.
    EXPECT_EQ(game.knowledge.installed, InstalledSky::OfSet(2));
    EXPECT_EQ(game.knowledge.personalDefault, InstalledSky::OfSet(1));
    EXPECT_EQ(game.Run(LibraryAction::LoadMyDefault).keep.status, KeepStatus::NothingToKeep);
    EXPECT_EQ(game.TagsOf(kGame), Tags(10, "ZT1"));

    // A default that is a set, an empty one, or none: nothing is kept.
    for (const char* tag : {"ZT0", ""}) {
        if (*tag == '\0') {
            ClearSkyFiles(*game.fs, game.temp.Join(zDef));
        } else {
            test::WriteSkyFiles(game.temp, zDef, tag);
        }
        outcome = KeepAndSaveMyDefault(game.state, *game.fs, game.knowledge, kDefaultDescription);
        EXPECT_EQ(outcome.keep.status, KeepStatus::NothingToKeep) << tag;
        EXPECT_TRUE(outcome.transfer.ok()) << tag;
    }
    EXPECT_EQ(game.state.setCount, 3);
}

TEST(KeepSky, ADefaultThatCannotBeKeptIsNotSavedOver) {
    Game game(2);
    const std::string zDef = std::string(kLibrary) + "\\ZTDef";
    test::WriteSkyFiles(game.temp, zDef, "mine");
    test::FaultyFileSystem faulty(*game.fs);
    faulty.Fail(test::FsOperation::CopyToStaged, "bncloud2.ter.skyswap-tmp", FsError::DiskFull);
    ChooseSlot(game.state, 0);
    const GameTransferOutcome outcome =
        KeepAndSaveMyDefault(game.state, faulty, game.knowledge, kDefaultDescription);
    ASSERT_EQ(outcome.keep.status, KeepStatus::Failed);
    EXPECT_EQ(outcome.transfer.status, TransferStatus::NothingChosen);
    EXPECT_EQ(KeepFailedMessage(outcome.keep),
              "Nothing was changed. Your default (ZTDef) is in no set of your library, and "
              "SkySwap could not keep it as set ZT2 before saving over it: there is not enough "
              "room on the disk.");
    EXPECT_EQ(game.TagsOf(zDef), Tags(10, "mine"));
    EXPECT_EQ(game.temp.List(kLibrary), (Tags{"ZT0", "ZT1", "ZTDef"}));
}

TEST(KeepSky, DescriptionNamesTheDay) {
    EXPECT_EQ(KeptDescription(2026, 3, 9), "Kept from the game folder on 2026-03-09");
    EXPECT_EQ(KeptDefaultDescription(2026, 12, 7), kDefaultDescription);
}

}  // namespace
}  // namespace skyswap
