#include "discovery.h"
#include "library_lock.h"

#include <gtest/gtest.h>

#include "support/sky_library.h"
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>

#include "single_instance_win.h"
#include "text_win.h"
#endif

namespace skyswap {
namespace {

using test::kLibrary;
using test::TempFolder;

DiscoveryResult DiscoverIn(const TempFolder& temp, const std::string& folder, AppState& state) {
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(folder));
    return DiscoverLibrary(state, *fs);
}

TEST(Discovery, FindsGameFolderPersonalDefaultAndSets) {
    TempFolder temp;
    test::MakeLibrary(temp, 2);
    temp.MakeFolder(std::string(kLibrary) + "\\ZTDef");

    AppState state;
    state.pageFirst = 20;
    ASSERT_EQ(DiscoverIn(temp, kLibrary, state), DiscoveryResult::Ok);
    EXPECT_EQ(state.libraryFolder, temp.Join(kLibrary));
    EXPECT_EQ(state.gameFolder, temp.Join("Game"));
    EXPECT_EQ(state.myDefaultFolder, temp.Join(kLibrary) + "\\ZTDef");
    EXPECT_EQ(state.setCount, 2);
    EXPECT_EQ(state.pageFirst, 0);
    EXPECT_EQ(SetFolder(state, 12), temp.Join(kLibrary) + "\\ZT12");
}

TEST(Discovery, CountsOnlySetFoldersAndShowsGapsAsEmptySlots) {
    TempFolder temp;
    test::MakeLibrary(temp, 2);
    const std::string lib = kLibrary;
    for (const char* foreign : {"ztdef", "Backup", "__MACOSX", "ZT07", "ZT-1", "ZT100000", "ZT 3",
                                "ZT", "ZTX", "ZT1a", "ZT0x10"}) {
        temp.MakeFolder(lib + "\\" + foreign);
    }
    temp.WriteFile(lib + "\\ZT5", "a plain file, not a set");
    temp.WriteFile(lib + "\\nosky.jpg", "");
    temp.MakeFolder(lib + "\\ZT4");
    temp.MakeFolder(lib + "\\zt2");  // letter case does not matter

    AppState state;
    ASSERT_EQ(DiscoverIn(temp, kLibrary, state), DiscoveryResult::Ok);
    EXPECT_EQ(state.setCount, 5) << "highest number 4, plus one";
    EXPECT_EQ(state.setNumbers, (std::vector<int32_t>{0, 1, 2, 4}));
}

TEST(Discovery, TheLibraryLockIsNeverASet) {
    TempFolder temp;
    test::MakeLibrary(temp, 2);
    temp.WriteFile(std::string(kLibrary) + "\\" + kLibraryLockFileName, "left by a crash");
#ifdef _WIN32
    // Held as a SkySwap holds it: hidden, not shared for writing, while the folder is listed.
    SingleInstance lock(Utf8ToWide(temp.Join(kLibrary)));
    ASSERT_TRUE(lock.IsFirst());
#endif
    AppState state;
    ASSERT_EQ(DiscoverIn(temp, kLibrary, state), DiscoveryResult::Ok);
    EXPECT_EQ(state.setCount, 2);
    EXPECT_EQ(state.setNumbers, (std::vector<int32_t>{0, 1}));
}

TEST(Discovery, SetFoldersWhoseNamesDifferOnlyInLetterCaseAreOneSet) {
    TempFolder temp;
    test::MakeLibrary(temp, 2);
    const std::string lib = kLibrary;
    for (const char* twin : {"zt1", "Zt1", "zT0"}) {
        temp.MakeFolder(lib + "\\" + twin);
    }
    if (temp.List(lib).size() < 5) {
        GTEST_SKIP() << "this disk ignores letter case: the twins are one folder anyway";
    }
    AppState state;
    ASSERT_EQ(DiscoverIn(temp, kLibrary, state), DiscoveryResult::Ok);
    EXPECT_EQ(state.setNumbers, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(state.setCount, 2);
}

TEST(Discovery, ReadsSetNumbersOnlyFromCanonicalNames) {
    EXPECT_EQ(SetNumberFromFolderName("ZT0"), 0);
    EXPECT_EQ(SetNumberFromFolderName("zt12"), 12);
    EXPECT_EQ(SetNumberFromFolderName("Zt99999"), 99999);
    for (const char* foreign : {"", "Z", "ZT", "ZT00", "ZT07", "ZT-1", "ZT+1", "ZT 1", "ZT1 ",
                                "ZT100000", "ZT999999999999", "ZTDef", "XT1", "ZT1.5"}) {
        EXPECT_FALSE(SetNumberFromFolderName(foreign)) << foreign;
    }
}

TEST(Discovery, EmptyLibraryIsNoError) {
    TempFolder temp;
    test::MakeLibrary(temp, 0);
    AppState state;
    ASSERT_EQ(DiscoverIn(temp, kLibrary, state), DiscoveryResult::Ok);
    EXPECT_EQ(state.setCount, 0);
    EXPECT_TRUE(state.setNumbers.empty());
}

TEST(Discovery, RefusesAFolderWhoseParentHoldsNoGame) {
    TempFolder temp;
    test::MakeLibrary(temp, 3);
    AppState state;
    // Started in the game folder itself: its parent holds no eaw.ini.
    EXPECT_EQ(DiscoverIn(temp, "Game", state), DiscoveryResult::NoGameMarker);

    // An "eaw.ini" that is a folder cannot be opened as a file.
    TempFolder other;
    other.MakeFolder("Game\\eaw.ini");
    other.MakeFolder("Game\\Skies\\ZT0");
    EXPECT_EQ(DiscoverIn(other, "Game\\Skies", state), DiscoveryResult::NoGameMarker);
}

TEST(Discovery, WorksInFoldersWithNonAsciiNames) {
    TempFolder temp;
    const std::string game = "Spiele\\J\xC3\xBCrgen \xD0\x9D\xD0\xB5\xD0\xB1\xD0\xBE";
    temp.MakeFolder(game + "\\Skies\\ZT0");
    temp.MakeFolder(game + "\\Skies\\ZT1");
    temp.WriteFile(game + "\\eaw.ini", "");
    AppState state;
    ASSERT_EQ(DiscoverIn(temp, game + "\\Skies", state), DiscoveryResult::Ok);
    EXPECT_EQ(state.gameFolder, temp.Join(game));
    EXPECT_EQ(state.setCount, 2);
}

TEST(Discovery, HiddenAndSystemFoldersDoNotCount) {
    TempFolder temp;
    test::MakeLibrary(temp, 1);
    const std::string lib = kLibrary;
#ifdef _WIN32
    temp.MakeFolder(lib + "\\ZT3");
    ASSERT_TRUE(temp.SetHidden(lib + "\\ZT3"));
    temp.MakeFolder(lib + "\\ZT4");
    ASSERT_TRUE(SetFileAttributesW(Utf8ToWide(temp.Join(lib + "\\ZT4")).c_str(),
                                   FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM));
#else
    temp.MakeFolder(lib + "\\.ZT3");  // a dot marks a hidden entry here
#endif
    AppState state;
    ASSERT_EQ(DiscoverIn(temp, kLibrary, state), DiscoveryResult::Ok);
    EXPECT_EQ(state.setCount, 1);
}

TEST(Discovery, HandlesTenThousandSets) {
#ifdef _WIN32
    // Wine makes each new folder in time proportional to the folder's size; fewer sets keep the
    // run short, and the listing code is the same.
    constexpr int kSets = 2000;
#else
    constexpr int kSets = 10000;
#endif
    TempFolder temp;
    temp.MakeFolder(kLibrary);
    temp.WriteFile("Game\\eaw.ini", "");
    auto fs = test::MakePlatformFileSystem();
    for (int n = 0; n < kSets; ++n) {
        ASSERT_TRUE(fs->CreateFolder(temp.Join(kLibrary) + "\\ZT" + std::to_string(n)).ok());
    }
    AppState state;
    ASSERT_EQ(DiscoverIn(temp, kLibrary, state), DiscoveryResult::Ok);
    EXPECT_EQ(state.setCount, kSets);
    EXPECT_EQ(state.setNumbers.size(), static_cast<std::size_t>(kSets));
}

}  // namespace
}  // namespace skyswap
