// A folder that refuses writing for lack of rights (a game under Program Files) against a file
// that another program holds: the first fails at once with the folder named as protected, the
// second is waited for.
#include <gtest/gtest.h>

#include "messages.h"
#include "selection.h"
#include "support/faulty_file_system.h"
#include "support/protected_file_system.h"
#include "support/sky_library.h"
#include "transfers.h"

#ifdef _WIN32
#include <windows.h>

#include "text_win.h"
#endif

namespace skyswap {
namespace {

using test::kGame;
using test::TagsIn;
using Tags = std::vector<std::string>;

const Tags kAllTags = {"old", "ZT0", "ZT1", "mine"};
const std::string kMyDefault = std::string(test::kLibrary) + "\\ZTDef";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct ProtectedGame {
    explicit ProtectedGame(const std::string& protectedFolder = kGame, bool withMyDefault = true) {
        test::MakeLibrary(temp, 2);
        test::WriteSkyFiles(temp, kGame, "old");
        if (withMyDefault) {
            test::WriteSkyFiles(temp, kMyDefault, "mine");
        }
        state = test::StateFor(temp);
        ChooseSlot(state, 1);
        fs = std::make_unique<test::ProtectedFolderFileSystem>(*real, temp.Join(protectedFolder));
    }
    Tags GameTags() const { return TagsIn(temp, kGame, kAllTags); }

    test::TempFolder temp;
    AppState state;
    std::unique_ptr<FileSystem> real = test::MakePlatformFileSystem();
    std::unique_ptr<test::ProtectedFolderFileSystem> fs;
};

TEST(Rights, AProtectedGameFolderFailsAtOnceNamedAsProtectedWithNothingChanged) {
    const std::string offer =
        ". SkySwap needs administrator rights to change its sky files. Restart SkySwap as "
        "administrator?";
    for (const char* transfer : {"LOAD TO EAW", "LOAD MY DEFAULT", "LOAD EAW DEFAULT"}) {
        SCOPED_TRACE(transfer);
        ProtectedGame game;
        const std::string name = transfer;
        const TransferReport report = name == "LOAD TO EAW" ? InstallSelected(game.state, *game.fs)
                                      : name == "LOAD MY DEFAULT"
                                          ? LoadMyDefault(game.state, *game.fs)
                                          : LoadGameDefault(game.state, *game.fs);
        EXPECT_FALSE(report.ok());
        EXPECT_EQ(report.protectedFolder, game.state.gameFolder);
        EXPECT_EQ(game.fs->pausedMs(), 0) << "a lack of rights is not waited for";
        EXPECT_EQ(game.GameTags(), Tags(10, "old"));
        EXPECT_EQ(game.temp.List(kGame).size(), 12u) << "nothing is left behind";
        EXPECT_EQ(ElevationOffer(report),
                  "Windows protects the game folder " + game.state.gameFolder + offer);
        // Already with administrator rights, there is nothing to offer: the reason alone.
        const std::string message = TransferMessage(report);
        EXPECT_TRUE(Contains(
            message, "Nothing was changed. Windows protects the game folder " + game.state.gameFolder))
            << message;
        EXPECT_FALSE(Contains(message, "Close the program")) << message;
    }
}

TEST(Rights, AProtectedLibraryFolderRefusesThePersonalDefault) {
    {  // ZTDef exists: the new files cannot be written into it.
        ProtectedGame game(kMyDefault);
        const TransferReport report = SaveMyDefault(game.state, *game.fs);
        EXPECT_EQ(report.status, TransferStatus::StagingFailed);
        EXPECT_EQ(report.protectedFolder, game.state.myDefaultFolder);
        EXPECT_EQ(TagsIn(game.temp, kMyDefault, kAllTags), Tags(10, "mine"));
        EXPECT_EQ(ElevationOffer(report),
                  "Windows protects the folder " + game.state.libraryFolder +
                      ". SkySwap needs administrator rights to save your personal default (ZTDef) "
                      "there. Restart SkySwap as administrator?");
    }
    {  // ZTDef cannot be made in the library folder.
        ProtectedGame game(test::kLibrary, false);
        const TransferReport report = SaveMyDefault(game.state, *game.fs);
        EXPECT_EQ(report.status, TransferStatus::TargetMissing);
        EXPECT_EQ(report.protectedFolder, game.state.myDefaultFolder);
        EXPECT_TRUE(Contains(ElevationOffer(report),
                             "Windows protects the folder " + game.state.libraryFolder + "."));
        EXPECT_FALSE(game.temp.Exists(kMyDefault));
    }
}

TEST(Rights, OnlyAFileHeldByAnotherProgramIsRetried) {
    {  // Access denied for lack of rights: no pause at all, however many files fail.
        ProtectedGame game;
        test::FaultyFileSystem fs(*game.real);
        fs.Fail(test::FsOperation::MoveStagedOver, ".ter", FsError::AccessDenied);
        const TransferReport report = InstallSelected(game.state, fs);
        EXPECT_EQ(report.status, TransferStatus::SomeFilesFailed);
        EXPECT_EQ(fs.pausedMs(), 0);
        EXPECT_EQ(report.protectedFolder, game.state.gameFolder);
        EXPECT_EQ(game.GameTags(), Tags(10, "old"));
    }
    {  // Held files are waited for; a mix of both is not the folder's protection.
        ProtectedGame game;
        test::FaultyFileSystem fs(*game.real);
        fs.Fail(test::FsOperation::MoveStagedOver, "\\cloud1.ter", FsError::InUse);
        fs.Fail(test::FsOperation::MoveStagedOver, "\\cloud2.ter", FsError::AccessDenied);
        const TransferReport report = InstallSelected(game.state, fs);
        EXPECT_GT(fs.pausedMs(), 0);
        EXPECT_TRUE(report.protectedFolder.empty());
        const std::string message = TransferMessage(report);
        EXPECT_TRUE(Contains(message, "cloud1.ter is in use by another program")) << message;
        EXPECT_TRUE(Contains(message, "cloud2.ter cannot be changed: access is denied"));
        EXPECT_TRUE(Contains(message, "Close the program that holds them")) << message;
    }
    {  // A set file that cannot be read is the set's fault, not the game folder's protection.
        ProtectedGame game;
        test::FaultyFileSystem fs(*game.real);
        fs.Fail(test::FsOperation::CopyToStaged, "ZT1\\bncloud0.ter", FsError::AccessDenied);
        const TransferReport report = InstallSelected(game.state, fs);
        EXPECT_EQ(report.status, TransferStatus::StagingFailed);
        EXPECT_TRUE(report.protectedFolder.empty());
        EXPECT_TRUE(Contains(TransferMessage(report), "could not be written"));
    }
}

TEST(Rights, ZtdefThatCannotBeMadeGivesTheSystemsReason) {
    ProtectedGame game;
    test::FaultyFileSystem fs(*game.real);
    fs.Fail(test::FsOperation::IsFolder, "\\ZTDef", FsError::NotFound);
    fs.Fail(test::FsOperation::CreateFolder, "\\ZTDef", FsError::Other);
    const TransferReport report = SaveMyDefault(game.state, fs);
    EXPECT_EQ(report.status, TransferStatus::TargetMissing);
    EXPECT_TRUE(report.protectedFolder.empty());
    EXPECT_EQ(TransferMessage(report),
              "Nothing was changed: the folder ZTDef for your personal default could not be "
              "made: planted fault");
}

#ifdef _WIN32
// A file held open without FILE_SHARE_DELETE can be neither deleted nor replaced; the
// read-only bit cleared for the attempt must come back.
TEST(Rights, TheReadOnlyBitComesBackAfterAFailedReplaceOrDelete) {
    test::TempFolder temp;
    auto fs = test::MakePlatformFileSystem();
    temp.WriteFile("held.ter", "old");
    temp.SetReadOnly("held.ter", true);
    const std::wstring path = Utf8ToWide(temp.Join("held.ter"));
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    const FsStatus removed = fs->RemoveFile(temp.Join("held.ter"));
    EXPECT_EQ(removed.error, FsError::InUse);
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY)
        << "the bit is back after the failed delete";

    temp.WriteFile("new.skyswap-tmp", "new");
    const FsStatus replaced =
        fs->MoveStagedOver(temp.Join("new.skyswap-tmp"), temp.Join("held.ter"));
    EXPECT_FALSE(replaced.ok());
    EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY)
        << "the bit is back after the failed replace";
    CloseHandle(held);
    EXPECT_EQ(temp.ReadFile("held.ter"), std::optional<std::string>("old"));
}
#endif

}  // namespace
}  // namespace skyswap
