// The failures that Wine does not reproduce, planted through the file-system interface: a
// transfer must never lose a file or leave the target half-done, and must name every failure.
#include <gtest/gtest.h>

#include "messages.h"
#include "selection.h"
#include "support/faulty_file_system.h"
#include "support/sky_library.h"
#include "transfers.h"

namespace skyswap {
namespace {

using test::FaultyFileSystem;
using test::FsOperation;
using test::kGame;
using test::TagsIn;
using Tags = std::vector<std::string>;

const Tags kAllTags = {"old", "ZT0", "ZT1", "mine"};

Tags Repeat(const std::string& tag) {
    return Tags(10, tag);
}

struct Game {
    Game() {
        test::MakeLibrary(temp, 2);
        test::WriteSkyFiles(temp, kGame, "old");
        test::WriteSkyFiles(temp, std::string(test::kLibrary) + "\\ZTDef", "mine");
        state = test::StateFor(temp);
        ChooseSlot(state, 1);
    }
    Tags GameTags() const { return TagsIn(temp, kGame, kAllTags); }
    // The ten files, eaw.ini and the library folder.
    std::size_t GameFileCount() const { return temp.List(kGame).size(); }

    test::TempFolder temp;
    AppState state;
    std::unique_ptr<FileSystem> real = test::MakePlatformFileSystem();
    FaultyFileSystem fs{*real};
};

TEST(TransferFaults, InstallSelected) {
    {  // A read-only target whose bit cannot be cleared: named, the other nine replaced.
        Game game;
        game.fs.Fail(FsOperation::MoveStagedOver, "\\bnhorizn.ter", FsError::ReadOnly);
        const TransferReport report = InstallSelected(game.state, game.fs);
        EXPECT_EQ(report.status, TransferStatus::SomeFilesFailed);
        Tags expected = Repeat("ZT1");
        expected[0] = "old";
        EXPECT_EQ(game.GameTags(), expected);
        EXPECT_EQ(game.GameFileCount(), 12u) << "the failed file's staged copy is removed";
        EXPECT_NE(TransferMessage(report).find("bnhorizn.ter is read-only"), std::string::npos);
        EXPECT_EQ(game.fs.pausedMs(), 0) << "read-only is not worth waiting for";
    }
    {  // A sharing violation that clears after two tries: waited for, then replaced.
        Game game;
        game.fs.Fail(FsOperation::MoveStagedOver, "\\cloud2.ter", FsError::InUse, 2);
        EXPECT_EQ(InstallSelected(game.state, game.fs).status, TransferStatus::Done);
        EXPECT_EQ(game.GameTags(), Repeat("ZT1"));
        EXPECT_GT(game.fs.pausedMs(), 0);
    }
    {  // Files held for good: the waiting is bounded for the whole transfer, not per file.
        Game game;
        game.fs.Fail(FsOperation::MoveStagedOver, ".ter", FsError::InUse);
        const TransferReport report = InstallSelected(game.state, game.fs);
        EXPECT_EQ(report.status, TransferStatus::SomeFilesFailed);
        EXPECT_LE(game.fs.pausedMs(), 1000);
        EXPECT_EQ(game.GameTags(), Repeat("old"));
        EXPECT_EQ(game.GameFileCount(), 12u);
        const std::string message = TransferMessage(report);
        for (const std::string& name : test::SkyFileNames()) {
            EXPECT_NE(message.find(name + " is in use"), std::string::npos) << name;
        }
    }
    {  // The disk fills up at the fourth file: nothing changes and nothing is left behind.
        Game game;
        game.fs.Fail(FsOperation::CopyToStaged, "\\bncloud1.ter.skyswap-tmp", FsError::DiskFull);
        const TransferReport report = InstallSelected(game.state, game.fs);
        EXPECT_EQ(report.status, TransferStatus::StagingFailed);
        EXPECT_EQ(game.GameTags(), Repeat("old"));
        EXPECT_EQ(game.GameFileCount(), 12u);
        EXPECT_NE(TransferMessage(report).find("not enough room on the disk for bncloud1.ter"),
                  std::string::npos);
    }
    {  // An unreadable source file: the same.
        Game game;
        game.fs.Fail(FsOperation::CopyToStaged, "ZT1\\cloud1.ter", FsError::AccessDenied);
        EXPECT_EQ(InstallSelected(game.state, game.fs).status, TransferStatus::StagingFailed);
        EXPECT_EQ(game.GameTags(), Repeat("old"));
        EXPECT_EQ(game.GameFileCount(), 12u);
    }
    {  // A crash between two renames: the next transfer clears up and completes.
        Game game;
        game.fs.Crash(FsOperation::MoveStagedOver, "\\bncloud2.ter");
        EXPECT_THROW(InstallSelected(game.state, game.fs), test::SimulatedCrash);
        Tags expected = Repeat("old");
        expected[0] = expected[1] = expected[2] = expected[3] = "ZT1";
        EXPECT_EQ(game.GameTags(), expected) << "every file is either old or new, never partial";
        EXPECT_GT(game.GameFileCount(), 12u);
        EXPECT_EQ(InstallSelected(game.state, *game.real).status, TransferStatus::Done);
        EXPECT_EQ(game.GameTags(), Repeat("ZT1"));
        EXPECT_EQ(game.GameFileCount(), 12u);
    }
}

TEST(TransferFaults, SaveMyDefault) {
    const std::string myDefault = std::string(test::kLibrary) + "\\ZTDef";
    {  // Disk full: the saved default stays as it was.
        Game game;
        game.fs.Fail(FsOperation::CopyToStaged, "\\cloud2.ter.skyswap-tmp", FsError::DiskFull);
        EXPECT_EQ(SaveMyDefault(game.state, game.fs).status, TransferStatus::StagingFailed);
        EXPECT_EQ(TagsIn(game.temp, myDefault, kAllTags), Repeat("mine"));
        EXPECT_EQ(game.temp.List(myDefault).size(), 10u);
    }
    {  // ZTDef cannot be made.
        Game game;
        for (const std::string& name : test::SkyFileNames()) {
            ASSERT_TRUE(game.real->RemoveFile(game.temp.Join(myDefault + "\\" + name)).ok());
        }
        // The folder looks absent, and making it fails.
        game.fs.Fail(FsOperation::IsFolder, "\\ZTDef", FsError::NotFound);
        game.fs.Fail(FsOperation::CreateFolder, "\\ZTDef", FsError::AccessDenied);
        const TransferReport report = SaveMyDefault(game.state, game.fs);
        EXPECT_EQ(report.status, TransferStatus::TargetMissing);
        EXPECT_NE(TransferMessage(report).find("ZTDef"), std::string::npos);
        EXPECT_TRUE(game.temp.List(myDefault).empty());
    }
}

TEST(TransferFaults, LoadMyDefault) {
    Game game;
    game.fs.Fail(FsOperation::MoveStagedOver, "\\bnskyblu.ter", FsError::InUse);
    game.fs.Fail(FsOperation::MoveStagedOver, "\\bncltra2.ter", FsError::Other);
    const TransferReport report = LoadMyDefault(game.state, game.fs);
    EXPECT_EQ(report.status, TransferStatus::SomeFilesFailed);
    Tags expected = Repeat("mine");
    expected[1] = expected[7] = "old";
    EXPECT_EQ(game.GameTags(), expected);
    EXPECT_LE(game.fs.pausedMs(), 1000);
    const std::string message = TransferMessage(report);
    EXPECT_NE(message.find("bnskyblu.ter is in use by another program"), std::string::npos);
    EXPECT_NE(message.find("bncltra2.ter: planted fault"), std::string::npos);
    EXPECT_EQ(message.find("bnhorizn.ter"), std::string::npos) << "only failures are named";
}

TEST(TransferFaults, LoadGameDefault) {
    Game game;
    game.fs.Fail(FsOperation::RemoveFile, "Game\\cloud2.ter", FsError::InUse);
    const TransferReport report = LoadGameDefault(game.state, game.fs);
    EXPECT_EQ(report.status, TransferStatus::SomeFilesFailed);
    Tags expected = Repeat("");
    expected[9] = "old";
    EXPECT_EQ(game.GameTags(), expected);
    EXPECT_NE(TransferMessage(report).find("cloud2.ter is in use by another program"),
              std::string::npos);
}

}  // namespace
}  // namespace skyswap
