#include "selection.h"

#include <gtest/gtest.h>

#include <map>

#include "support/sky_library.h"
#include "transfers.h"

namespace skyswap {
namespace {

using test::kGame;
using test::TagsIn;

TEST(Selection, SlotChoosesTheSetShownOnTheCurrentPage) {
    AppState state;
    state.libraryFolder = "C:\\Games\\EAW\\Skies";
    state.pageFirst = 10;
    ChooseSlot(state, 3);
    EXPECT_EQ(state.selectedSet, 13);
    EXPECT_EQ(state.selectedFolder, "C:\\Games\\EAW\\Skies\\ZT13");

    // Random stays pending and keeps the previous folder until it is drawn.
    ChooseRandom(state);
    EXPECT_TRUE(state.randomPending);
    EXPECT_EQ(state.selectedSet, 13);
    EXPECT_EQ(state.selectedFolder, "C:\\Games\\EAW\\Skies\\ZT13");
    ChooseSlot(state, 4);
    EXPECT_FALSE(state.randomPending) << "a slot ends the random choice";
}

// The library holds up to 99,999 sets: 900 is a set number like any other, whether chosen by a
// slot or by number, and never a random choice.
TEST(Selection, SetNineHundredIsASet) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 3);
    test::WriteSkyFiles(temp, std::string(test::kLibrary) + "\\ZT900", "ZT900");
    AppState state = test::StateFor(temp);
    ASSERT_EQ(state.setNumbers, (std::vector<int32_t>{0, 1, 2, 900}));
    auto fs = test::MakePlatformFileSystem();
    const std::vector<std::string> tags = {"ZT0", "ZT1", "ZT2", "ZT900"};

    state.pageFirst = 900;
    for (int press = 0; press < 4; ++press) {
        ChooseSlot(state, 0);
        ASSERT_EQ(InstallSelected(state, *fs, press % 2 == 0 ? 0 : 900).status,
                  TransferStatus::Done);
        EXPECT_EQ(state.selectedSet, 900);
        EXPECT_EQ(TagsIn(temp, kGame, tags), std::vector<std::string>(10, "ZT900")) << press;
    }
    ChooseSet(state, 1);
    ChooseSet(state, 900);
    ASSERT_TRUE(ResolveRandom(state, 900));
    EXPECT_EQ(state.selectedFolder, SetFolder(state, 900)) << "nothing pending: nothing drawn";

    // The random choice, pending with set 900 chosen before it, draws among the others.
    ChooseRandom(state);
    ASSERT_TRUE(ResolveRandom(state, 900));
    EXPECT_NE(state.selectedSet, 900);
    EXPECT_FALSE(state.randomPending);
}

TEST(Selection, RandomInstallDrawsOnceAndInstallsThatSet) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 4);
    AppState state = test::StateFor(temp);
    auto fs = test::MakePlatformFileSystem();
    const std::vector<std::string> tags = {"ZT0", "ZT1", "ZT2", "ZT3"};

    ChooseRandom(state);
    ASSERT_EQ(InstallSelected(state, *fs).status, TransferStatus::Done);
    ASSERT_TRUE(state.selectedSet && *state.selectedSet >= 0 && *state.selectedSet < 4);
    const std::string drawn = "ZT" + std::to_string(*state.selectedSet);
    EXPECT_EQ(state.selectedFolder, SetFolder(state, *state.selectedSet));
    EXPECT_EQ(TagsIn(temp, kGame, tags), std::vector<std::string>(10, drawn));

    // The second press without a new click installs the same set; saving saves it too.
    ASSERT_EQ(InstallSelected(state, *fs).status, TransferStatus::Done);
    EXPECT_EQ(TagsIn(temp, kGame, tags), std::vector<std::string>(10, drawn));
    ASSERT_EQ(SaveMyDefault(state, *fs).status, TransferStatus::Done);
    EXPECT_EQ(TagsIn(temp, std::string(test::kLibrary) + "\\ZTDef", tags),
              std::vector<std::string>(10, drawn));
}

TEST(Selection, PendingRandomSavesThePreviouslyChosenSet) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 3);
    AppState state = test::StateFor(temp);
    auto fs = test::MakePlatformFileSystem();
    ChooseSlot(state, 2);
    ChooseRandom(state);
    ASSERT_EQ(SaveMyDefault(state, *fs).status, TransferStatus::Done);
    EXPECT_EQ(TagsIn(temp, std::string(test::kLibrary) + "\\ZTDef", {"ZT2"}),
              std::vector<std::string>(10, "ZT2"));
    EXPECT_TRUE(state.randomPending) << "saving does not draw";
    EXPECT_EQ(state.selectedSet, 2);
}

TEST(Selection, RandomDrawsUniformlyAmongExistingSetsOnly) {
    AppState state;
    state.libraryFolder = "C:\\Skies";
    state.setNumbers = {0, 2, 5, 9};  // gaps at 1, 3, 4, 6, 7, 8
    state.setCount = 10;
    std::map<int32_t, int> draws;
    for (int i = 0; i < 2000; ++i) {
        ChooseRandom(state);
        ASSERT_TRUE(ResolveRandom(state));
        ++draws[*state.selectedSet];
    }
    ASSERT_EQ(draws.size(), 4u);
    for (const auto& [set, count] : draws) {
        EXPECT_TRUE(set == 0 || set == 2 || set == 5 || set == 9) << set;
        EXPECT_GT(count, 350) << "set " << set << " drawn far less than a quarter of the time";
    }

    state.setNumbers = {0};
    ChooseRandom(state);
    ASSERT_TRUE(ResolveRandom(state));
    EXPECT_EQ(state.selectedSet, 0);

    // An empty library: nothing is drawn and the choice stays pending.
    state.setNumbers.clear();
    ChooseRandom(state);
    EXPECT_FALSE(ResolveRandom(state));
    EXPECT_TRUE(state.randomPending);
}

TEST(Selection, RandomDrawNeverPicksTheInstalledSetAndIsUniformOverTheOthers) {
    std::mt19937 generator(12345);
    const std::vector<int32_t> sets = {0, 2, 5, 9};
    std::map<int32_t, int> draws;
    constexpr int kDraws = 30000;
    for (int i = 0; i < kDraws; ++i) {
        ++draws[DrawRandomSet(sets, 5, generator)];
    }
    EXPECT_EQ(draws.count(5), 0u);
    ASSERT_EQ(draws.size(), 3u);
    for (const auto& [set, count] : draws) {
        // A third each; 3 standard deviations are about 245 draws.
        EXPECT_NEAR(count, kDraws / 3, 300) << "set " << set;
    }

    // The first and the last set installed; a set not in the library avoids nothing.
    for (int i = 0; i < 200; ++i) {
        EXPECT_NE(DrawRandomSet(sets, 0, generator), 0);
        EXPECT_NE(DrawRandomSet(sets, 9, generator), 9);
    }
    std::map<int32_t, int> unavoided;
    for (int i = 0; i < 400; ++i) {
        ++unavoided[DrawRandomSet(sets, 7, generator)];
    }
    EXPECT_EQ(unavoided.size(), 4u);
    // One set: that set, even when it is the one installed.
    EXPECT_EQ(DrawRandomSet({3}, 3, generator), 3);

    // Through the selection, and the second press installs the drawn set again.
    AppState state;
    state.libraryFolder = "C:\\Skies";
    state.setNumbers = {0, 1};
    state.setCount = 2;
    ChooseRandom(state);
    ASSERT_TRUE(ResolveRandom(state, 1));
    EXPECT_EQ(state.selectedSet, 0);
    ASSERT_TRUE(ResolveRandom(state, 0));
    EXPECT_EQ(state.selectedSet, 0) << "a drawn set stays chosen";
}

}  // namespace
}  // namespace skyswap
