// The game's shadow copies in the VirtualStore: where the mirror of a game folder is, the game
// folder as the game sees it, and the removal of the shadow copies after an install.
#include <gtest/gtest.h>

#include "game_transfers.h"
#include "messages.h"
#include "selection.h"
#include "support/sky_library.h"
#include "transfers.h"
#include "virtual_store.h"

namespace skyswap {
namespace {

using test::kGame;

KnownFolders TypicalFolders() {
    KnownFolders known;
    known.programFiles = "C:\\Program Files";
    known.programFilesX86 = "C:\\Program Files (x86)";
    known.windows = "C:\\Windows";
    known.programData = "C:\\ProgramData";
    known.localAppData = "C:\\Users\\Pat\\AppData\\Local";
    return known;
}

TEST(VirtualStore, TheMirrorOfAGameFolderUnderAVirtualisedFolder) {
    const KnownFolders known = TypicalFolders();
    const std::string store = "C:\\Users\\Pat\\AppData\\Local\\VirtualStore";
    using Mirror = std::optional<std::string>;
    EXPECT_EQ(VirtualStoreMirror("C:\\Program Files (x86)\\EAW", known),
              Mirror(store + "\\Program Files (x86)\\EAW"));
    EXPECT_EQ(VirtualStoreMirror("C:\\Program Files\\Microprose\\EAW", known),
              Mirror(store + "\\Program Files\\Microprose\\EAW"));
    EXPECT_EQ(VirtualStoreMirror("C:\\Windows\\Games\\EAW", known),
              Mirror(store + "\\Windows\\Games\\EAW"));
    EXPECT_EQ(VirtualStoreMirror("C:\\ProgramData\\Microprose\\EAW", known),
              Mirror(store + "\\ProgramData\\Microprose\\EAW"));
    // Letter case, a trailing separator and the long-path prefix change nothing.
    EXPECT_EQ(VirtualStoreMirror("c:\\PROGRAM FILES (X86)\\EAW\\", known),
              Mirror(store + "\\PROGRAM FILES (X86)\\EAW"));
    EXPECT_EQ(VirtualStoreMirror("\\\\?\\C:\\Program Files (x86)\\EAW", known),
              Mirror(store + "\\Program Files (x86)\\EAW"));
    KnownFolders trailing = known;
    trailing.programFilesX86 = "c:\\program files (x86)\\";
    trailing.localAppData = "C:\\Users\\Pat\\AppData\\Local\\";
    EXPECT_EQ(VirtualStoreMirror("C:\\Program Files (x86)\\EAW", trailing),
              Mirror(store + "\\Program Files (x86)\\EAW"));
    // The virtualised folder itself.
    EXPECT_EQ(VirtualStoreMirror("C:\\Program Files", known), Mirror(store + "\\Program Files"));
    // The VirtualStore of the user who started SkySwap, given to a restart.
    KnownFolders restarted = known;
    restarted.virtualStore = "C:\\Users\\Pat\\AppData\\Local\\VirtualStore\\";
    restarted.localAppData = "C:\\Users\\Admin\\AppData\\Local";
    EXPECT_EQ(VirtualStoreMirror("C:\\Program Files (x86)\\EAW", restarted),
              Mirror(store + "\\Program Files (x86)\\EAW"));
}

TEST(VirtualStore, NoMirrorOutsideTheVirtualisedFolders) {
    const KnownFolders known = TypicalFolders();
    for (const char* game : {"C:\\Games\\EAW", "D:\\Program Files (x86)\\EAW",
                             "C:\\Program Files Extra\\EAW", "C:\\Program", "C:\\WindowsApps\\EAW",
                             "C:\\ProgramDataOld\\EAW", "\\\\server\\games\\Program Files\\EAW",
                             "\\\\?\\UNC\\server\\Program Files\\EAW", "EAW", ""}) {
        EXPECT_EQ(VirtualStoreMirror(game, known), std::nullopt) << game;
    }
    KnownFolders none;  // a system without these known folders
    EXPECT_EQ(VirtualStoreMirror("C:\\Program Files\\EAW", none), std::nullopt);
    KnownFolders noStore = known;
    noStore.localAppData.clear();
    EXPECT_EQ(VirtualStoreMirror("C:\\Program Files\\EAW", noStore), std::nullopt);
    KnownFolders driveRoot = known;  // a known folder that is a whole drive is never taken
    driveRoot.windows = "C:\\";
    EXPECT_EQ(VirtualStoreMirror("C:\\Games\\EAW", driveRoot), std::nullopt);
}

// A game folder with "old" sky files and a mirror holding shadow copies of some of them.
struct ShadowedGame {
    ShadowedGame() {
        test::MakeLibrary(temp, 1);
        test::WriteSkyFiles(temp, kGame, "old", {"bnhorizn.ter", "cloud1.ter", "cloud2.ter"});
        test::WriteSkyFiles(temp, kMirror, "shadow", {"bnhorizn.ter", "bncloud0.ter"});
        temp.WriteFile(std::string(kMirror) + "\\eaw.ini", "[shadow]");
        temp.WriteFile(std::string(kMirror) + "\\notes.txt", "the player's own");
        view.SetFolders(temp.Join(kGame), temp.Join(kMirror));
    }
    std::string Game(const std::string& name) const {
        return temp.Join(std::string(kGame) + "\\" + name);
    }

    static constexpr const char* kMirror = "Store\\Game";
    test::TempFolder temp;
    std::unique_ptr<FileSystem> real = test::MakePlatformFileSystem();
    GameView view{*real};
};

TEST(VirtualStore, TheGameViewReadsAShadowCopyWhereOneExists) {
    ShadowedGame game;
    std::string bytes;
    ASSERT_TRUE(game.view.ReadPrefix(game.Game("bnhorizn.ter"), 4096, bytes).ok());
    EXPECT_EQ(bytes, test::SkyFileBytes("shadow", "bnhorizn.ter")) << "the shadow copy wins";
    ASSERT_TRUE(game.view.ReadPrefix(game.Game("cloud1.ter"), 4096, bytes).ok());
    EXPECT_EQ(bytes, test::SkyFileBytes("old", "cloud1.ter")) << "no shadow copy: the real file";
    EXPECT_TRUE(game.view.IsFile(game.Game("bncloud0.ter"))) << "only the shadow copy exists";
    EXPECT_TRUE(game.view.CanOpenForReading(game.Game("bncloud0.ter")));
    EXPECT_FALSE(game.view.IsFile(game.Game("bncloud1.ter")));
    // Another name than the ten is never redirected.
    ASSERT_TRUE(game.view.ReadPrefix(game.Game("eaw.ini"), 4096, bytes).ok());
    EXPECT_EQ(bytes, "[EAW]\r\n");
    // The game folder spelled in another letter case is the same folder.
    std::string upper = game.Game("BNHORIZN.TER");
    ASSERT_TRUE(game.view.ReadPrefix(upper, 4096, bytes).ok());
    EXPECT_EQ(bytes, test::SkyFileBytes("shadow", "bnhorizn.ter"));
    // Copying out of the game folder copies what the game sees.
    ASSERT_TRUE(game.view.CopyToStaged(game.Game("bnhorizn.ter"), game.temp.Join("kept.ter")).ok());
    EXPECT_EQ(game.temp.ReadFile("kept.ter"), test::SkyFileBytes("shadow", "bnhorizn.ter"));
    // Without a mirror the view is the game folder itself.
    game.view.SetFolders(game.temp.Join(kGame), std::nullopt);
    ASSERT_TRUE(game.view.ReadPrefix(game.Game("bnhorizn.ter"), 4096, bytes).ok());
    EXPECT_EQ(bytes, test::SkyFileBytes("old", "bnhorizn.ter"));
    EXPECT_FALSE(game.view.IsFile(game.Game("bncloud0.ter")));
}

TEST(VirtualStore, ChangesThroughTheViewGoToTheRealGameFolder) {
    ShadowedGame game;
    AppState state = test::StateFor(game.temp);
    state.selectedFolder = SetFolder(state, 0);
    ASSERT_TRUE(CopySkyFiles(game.view, state.selectedFolder, state.gameFolder).ok());
    EXPECT_EQ(test::TagsIn(game.temp, kGame, {"ZT0"}), std::vector<std::string>(10, "ZT0"));
    EXPECT_EQ(game.temp.ReadFile(std::string(ShadowedGame::kMirror) + "\\bnhorizn.ter"),
              test::SkyFileBytes("shadow", "bnhorizn.ter"))
        << "the shadow copies are not touched by the transfer itself";
}

// The game sees the shadow copies; the transfer replaces the files in the game folder itself.
// Both skies, each in no set, are kept before anything is replaced.
TEST(VirtualStore, TheRealFilesBehindShadowCopiesAreKeptToo) {
    ShadowedGame game;
    AppState state = test::StateFor(game.temp);
    SkyKnowledge knowledge;
    ChooseSlot(state, 0);
    ASSERT_NE(game.view.BehindShadows(), nullptr);
    const GameTransferOutcome outcome =
        KeepAndTransferIntoGame(LibraryAction::InstallSet, state, game.view, knowledge, "Kept",
                        game.view.BehindShadows());
    ASSERT_EQ(outcome.keep.status, KeepStatus::Kept);
    ASSERT_EQ(outcome.keepBehindShadows.status, KeepStatus::Kept);
    EXPECT_EQ(outcome.Kept().size(), 2u);
    const std::vector<std::string> tags = {"old", "shadow"};
    const auto inSet = [&](int32_t n) {
        return test::TagsIn(game.temp, std::string(test::kLibrary) + "\\ZT" + std::to_string(n),
                            tags);
    };
    EXPECT_EQ(inSet(outcome.keep.set),
              (std::vector<std::string>{"shadow", "", "shadow", "", "", "", "", "", "old", "old"}))
        << "what the game showed";
    EXPECT_EQ(inSet(outcome.keepBehindShadows.set),
              (std::vector<std::string>{"old", "", "", "", "", "", "", "", "old", "old"}))
        << "what the game folder held";
    EXPECT_EQ(test::TagsIn(game.temp, kGame, {"ZT0"}), std::vector<std::string>(10, "ZT0"));

    // Real files that are a set, or the same sky as the one kept through the view: one set.
    ShadowedGame same;
    test::WriteSkyFiles(same.temp, kGame, "shadow", {"bnhorizn.ter", "bncloud0.ter"});
    same.temp.WriteFile(std::string(kGame) + "\\cloud1.ter", "");
    for (const char* name : {"cloud1.ter", "cloud2.ter"}) {
        same.real->RemoveFile(same.Game(name));
    }
    AppState sameState = test::StateFor(same.temp);
    SkyKnowledge sameKnowledge;
    ChooseSlot(sameState, 0);
    const GameTransferOutcome one =
        KeepAndTransferIntoGame(LibraryAction::LoadGameDefault, sameState, same.view, sameKnowledge, "Kept",
                        same.view.BehindShadows());
    EXPECT_EQ(one.keep.status, KeepStatus::Kept);
    EXPECT_EQ(one.keepBehindShadows.status, KeepStatus::NothingToKeep);

    // No shadow copy of a sky file: nothing behind them.
    ShadowedGame none;
    for (const char* name : {"bnhorizn.ter", "bncloud0.ter"}) {
        none.real->RemoveFile(none.temp.Join(std::string(ShadowedGame::kMirror) + "\\" + name));
    }
    EXPECT_EQ(none.view.BehindShadows(), nullptr);
}

TEST(VirtualStore, RemovingShadowCopiesTouchesOnlyTheTenNames) {
    {
        ShadowedGame game;
        game.temp.SetReadOnly(std::string(ShadowedGame::kMirror) + "\\bncloud0.ter", true);
        std::vector<std::string> keptFrom;
        const TransferReport report = RemoveShadowCopies(
            *game.real, game.temp.Join(ShadowedGame::kMirror), [&](const std::string& mirror) {
                keptFrom.push_back(mirror);
                // Called while the shadow copies are still there.
                EXPECT_TRUE(game.real->IsFile(mirror + "\\bnhorizn.ter"));
                return FsStatus::Ok();
            });
        EXPECT_TRUE(report.ok());
        EXPECT_EQ(keptFrom, std::vector<std::string>{game.temp.Join(ShadowedGame::kMirror)});
        EXPECT_EQ(game.temp.List(ShadowedGame::kMirror),
                  (std::vector<std::string>{"eaw.ini", "notes.txt"}));
        EXPECT_EQ(test::TagsIn(game.temp, kGame, {"old"})[0], "old") << "the game folder stays";
    }
    {  // Keeping the sky failed: every shadow copy stays.
        ShadowedGame game;
        const TransferReport report = RemoveShadowCopies(
            *game.real, game.temp.Join(ShadowedGame::kMirror), [](const std::string&) {
                return FsStatus{FsError::DiskFull, "no room"};
            });
        EXPECT_EQ(report.status, TransferStatus::StagingFailed);
        EXPECT_EQ(game.temp.List(ShadowedGame::kMirror).size(), 4u);
    }
    {  // No mirror folder, or one without any of the ten: nothing to keep, nothing done.
        ShadowedGame game;
        int keeps = 0;
        const auto keep = [&](const std::string&) {
            ++keeps;
            return FsStatus::Ok();
        };
        EXPECT_TRUE(RemoveShadowCopies(*game.real, game.temp.Join("Store\\Elsewhere"), keep).ok());
        game.temp.MakeFolder("Store\\Empty");
        game.temp.WriteFile("Store\\Empty\\eaw.ini", "x");
        EXPECT_TRUE(RemoveShadowCopies(*game.real, game.temp.Join("Store\\Empty"), keep).ok());
        EXPECT_EQ(keeps, 0);
        EXPECT_TRUE(game.temp.Exists("Store\\Empty\\eaw.ini"));
    }
}

TEST(VirtualStore, AShadowCopyReachedThroughALinkIsNotToBeDeleted) {
    const std::string root = "C:\\Users\\Pat\\AppData\\Local\\VirtualStore";
    const std::string path = root + "\\Program Files (x86)\\EAW\\cloud1.ter";
    const std::string finalRoot = "\\\\?\\" + root;
    const std::string finalPath = "\\\\?\\" + path;
    struct Case {
        const char* what;
        std::string root;
        std::string path;
        OpenedShadowCopy opened;
        bool reached;
    };
    const Case cases[] = {
        {"straight to the file", root, path, {false, finalPath, finalRoot}, true},
        {"letter case and a trailing separator",
         root + "\\",
         path,
         {false,
          "\\\\?\\c:\\users\\pat\\appdata\\local\\virtualstore\\program files "
          "(x86)\\eaw\\CLOUD1.TER",
          finalRoot},
         true},
        {"the VirtualStore folder itself moved elsewhere",
         root,
         path,
         {false, "\\\\?\\D:\\Store\\Program Files (x86)\\EAW\\cloud1.ter", "\\\\?\\D:\\Store"},
         true},
        {"a network profile",
         "\\\\server\\home\\VirtualStore",
         "\\\\server\\home\\VirtualStore\\EAW\\cloud1.ter",
         {false, "\\\\?\\UNC\\server\\home\\VirtualStore\\EAW\\cloud1.ter",
          "\\\\?\\UNC\\server\\home\\VirtualStore"},
         true},
        // "EAW" is a junction to C:\Windows\System32.
        {"a junction on the way",
         root,
         path,
         {false, "\\\\?\\C:\\Windows\\System32\\cloud1.ter", finalRoot},
         false},
        {"a junction that leads back inside the store",
         root,
         path,
         {false, finalRoot + "\\Other\\cloud1.ter", finalRoot},
         false},
        {"the file is a symbolic link", root, path, {true, finalPath, finalRoot}, false},
        {"no final path", root, path, {false, "", finalRoot}, false},
        {"no final path of the store", root, path, {false, finalPath, ""}, false},
        {"a path outside the store",
         root,
         "C:\\Windows\\cloud1.ter",
         {false, "\\\\?\\C:\\Windows\\cloud1.ter", finalRoot},
         false},
        {"the store itself", root, root, {false, finalRoot, finalRoot}, false},
        {"a name beside the store's",
         root,
         root + "Old\\cloud1.ter",
         {false, finalRoot + "Old\\cloud1.ter", finalRoot},
         false},
        {"dots in the path",
         root,
         root + "\\EAW\\..\\cloud1.ter",
         {false, finalRoot + "\\EAW\\..\\cloud1.ter", finalRoot},
         false},
        {"a doubled separator",
         root,
         root + "\\EAW\\\\cloud1.ter",
         {false, finalRoot + "\\EAW\\\\cloud1.ter", finalRoot},
         false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReachedWithoutLinks(c.root, c.path, c.opened), c.reached) << c.what;
    }
}

TEST(VirtualStore, AShadowCopyThatIsRefusedStaysAndTheUserIsToldWhy) {
    ShadowedGame game;
    const std::string mirror = game.temp.Join(ShadowedGame::kMirror);
    std::vector<std::string> asked;
    const TransferReport report =
        RemoveShadowCopies(*game.real, mirror, {}, [&](const std::string& path) {
            asked.push_back(path);
            if (path == mirror + "\\bnhorizn.ter") {
                return FsStatus{FsError::Other, LinkRefusal(game.temp.Join("Store"))};
            }
            return game.real->RemoveFile(path);
        });
    EXPECT_EQ(asked,
              (std::vector<std::string>{mirror + "\\bnhorizn.ter", mirror + "\\bncloud0.ter"}));
    EXPECT_EQ(report.status, TransferStatus::SomeFilesFailed);
    EXPECT_EQ(game.temp.List(ShadowedGame::kMirror),
              (std::vector<std::string>{"bnhorizn.ter", "eaw.ini", "notes.txt"}));
    const std::string message = ShadowCleanupMessage(report);
    EXPECT_NE(
        message.find("bnhorizn.ter: a junction or symbolic link in " + game.temp.Join("Store") +
                     " leads elsewhere, so SkySwap left the file alone"),
        std::string::npos)
        << message;
}

}  // namespace
}  // namespace skyswap
