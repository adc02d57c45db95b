#include "paging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_image_elements.h"
#include "support/test_support.h"

namespace skyswap {
namespace {

using test::FakeImageElements;

AppState Library(int32_t setCount) {
    AppState state;
    state.libraryFolder = "C:\\Games\\EAW\\Skies";
    state.gameFolder = "C:\\Games\\EAW";
    state.setCount = setCount;
    return state;
}

std::string Arrow(const FakeImageElements& images, int element) {
    const auto& visible = images.elements.at(element).visible;
    return !visible ? "unset" : *visible ? "shown" : "hidden";
}

// What the user sees: the set number in each slot ("-" for the placeholder), pageLast and the
// arrows, e.g. "10 11 12 - - - - - - - | last 12 | back shown, next hidden".
std::string Screen(const AppState& state, const FakeImageElements& images) {
    std::string screen;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const std::string& picture = images.elements.at(slot).picture;
        const int32_t set = state.pageFirst + slot;
        if (picture == FakeImageElements::kPlaceholder) {
            screen += "-";
        } else if (picture == ThumbnailPath(state, set)) {
            screen += std::to_string(set);
        } else {
            screen += "?" + picture;
        }
        screen += slot + 1 < kSlotCount ? " " : "";
    }
    return screen + " | last " + std::to_string(state.pageLast) + " | back " +
           Arrow(images, kBackArrow) + ", next " + Arrow(images, kNextArrow);
}

// Starts like the program (pageFirst 0, one ShowPage) and clicks the arrows in turn; returns
// the screen after the start and after every click.
std::vector<std::string> Walk(AppState& state, FakeImageElements& images,
                              const std::vector<int>& clicks) {
    std::vector<std::string> screens;
    state.pageFirst = 0;
    ShowPage(state, images);
    screens.push_back(Screen(state, images));
    for (const int arrow : clicks) {
        TurnPage(state, images, DirectionOf(arrow));
        screens.push_back(Screen(state, images));
    }
    return screens;
}

const std::string kAllPlaceholders = "- - - - - - - - - -";
const std::string kFirstPageArrows = "back hidden, next shown";

TEST(PagingTest, LibraryOfOnePageStaysOnIt) {
    struct Case {
        int32_t setCount;
        std::string page;
    };
    const Case cases[] = {
        {0, kAllPlaceholders + " | last -1 | " + kFirstPageArrows},
        {9, "0 1 2 3 4 5 6 7 8 - | last 8 | " + kFirstPageArrows},
        {10, "0 1 2 3 4 5 6 7 8 9 | last 9 | " + kFirstPageArrows},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("setCount " + std::to_string(c.setCount));
        AppState state = Library(c.setCount);
        FakeImageElements images;
        const std::vector<std::string> expected(4, c.page);
        EXPECT_EQ(Walk(state, images, {kNextArrow, kBackArrow, kNextArrow}), expected);
        EXPECT_EQ(state.pageFirst, 0);
    }
}

TEST(PagingTest, FifteenSetsMakeTwoPages) {
    AppState state = Library(15);
    FakeImageElements images;
    const std::string first = "0 1 2 3 4 5 6 7 8 9 | last 9 | " + kFirstPageArrows;
    const std::string second = "10 11 12 13 14 - - - - - | last 14 | back shown, next hidden";
    const std::vector<std::string> expected = {first, second, second, first, first};
    EXPECT_EQ(Walk(state, images, {kNextArrow, kNextArrow, kBackArrow, kBackArrow}), expected);
}

TEST(PagingTest, AMiddlePageShowsBothArrows) {
    AppState state = Library(25);
    FakeImageElements images;
    const std::string first = "0 1 2 3 4 5 6 7 8 9 | last 9 | " + kFirstPageArrows;
    const std::string middle = "10 11 12 13 14 15 16 17 18 19 | last 19 | back shown, next shown";
    const std::string last = "20 21 22 23 24 - - - - - | last 24 | back shown, next hidden";
    const std::vector<std::string> expected = {first, middle, last, last, middle, first};
    EXPECT_EQ(Walk(state, images, {kNextArrow, kNextArrow, kNextArrow, kBackArrow, kBackArrow}),
              expected);
}

// Whatever the count, a mouse user can page back from every page after the first and on from
// every page before the last, and an arrow that would do nothing is not shown.
TEST(PagingTest, TheArrowsFollowThePageForEveryCount) {
    for (const int32_t count : {11, 19, 20, 21, 30, 31, 40, 100}) {
        SCOPED_TRACE(std::to_string(count) + " sets");
        AppState state = Library(count);
        FakeImageElements images;
        ShowPage(state, images);
        const int32_t pages = (count + kSlotCount - 1) / kSlotCount;
        for (int32_t page = 0; page < pages; ++page) {
            EXPECT_EQ(state.pageFirst, page * kSlotCount);
            EXPECT_EQ(images.elements[kBackArrow].visible, page > 0) << "page " << page;
            EXPECT_EQ(images.elements[kNextArrow].visible, page < pages - 1) << "page " << page;
            TurnPage(state, images, PageDirection::Next);
        }
        EXPECT_EQ(state.pageFirst, (pages - 1) * kSlotCount) << "next stops at the last page";
        for (int32_t page = pages - 1; page > 0; --page) {
            ASSERT_TRUE(images.elements[kBackArrow].visible) << "page " << page;
            TurnPage(state, images, PageDirection::Back);
            EXPECT_EQ(state.pageFirst, (page - 1) * kSlotCount);
        }
    }
}

TEST(PagingTest, MissingThumbnailShowsThePlaceholderOnEveryPage) {
    AppState state = Library(13);
    FakeImageElements images;
    images.failingPaths = {ThumbnailPath(state, 0), ThumbnailPath(state, 4),
                           ThumbnailPath(state, 11)};
    const std::vector<std::string> expected = {
        "- 1 2 3 - 5 6 7 8 9 | last 9 | " + kFirstPageArrows,
        "10 - 12 - - - - - - - | last 12 | back shown, next hidden",
        "- 1 2 3 - 5 6 7 8 9 | last 9 | " + kFirstPageArrows,
    };
    EXPECT_EQ(Walk(state, images, {kNextArrow, kBackArrow}), expected);
}

TEST(DescribeSlotTest, ToolTipIsTheHoveredSetsDescriptionReadAfresh) {
    test::TempFolder library;
    for (int set = 0; set <= 14; ++set) {
        const std::string name = "ZT" + std::to_string(set);
        library.MakeFolder(name);
        if (set != 11) {
            library.WriteFile(name + "\\" + name + ".txt",
                              "Sky " + std::to_string(set) + ", painted by hand\r\nmore\r\n");
        }
    }
    const auto fs = test::MakePlatformFileSystem();
    AppState state = Library(13);
    state.libraryFolder = library.path();
    FakeImageElements images;

    DescribeSlot(state, *fs, images, 4);
    EXPECT_EQ(images.elements[4].toolTip, "Sky 4");
    EXPECT_EQ(images.elements[kRandomElement].toolTip, "RANDOM");
    EXPECT_EQ(images.elements[kBackArrow].toolTip, "BACK");
    EXPECT_EQ(images.elements[kNextArrow].toolTip, "NEXT");

    state.pageFirst = 10;
    DescribeSlot(state, *fs, images, 4);
    EXPECT_EQ(images.elements[4].toolTip, "") << "set 14 is past setCount even with a folder";
    DescribeSlot(state, *fs, images, 3);
    EXPECT_EQ(images.elements[3].toolTip, "") << "set 13 is the first past setCount";
    DescribeSlot(state, *fs, images, 2);
    EXPECT_EQ(images.elements[2].toolTip, "Sky 12");
    DescribeSlot(state, *fs, images, 1);
    EXPECT_EQ(images.elements[1].toolTip, "") << "set 11 has no description file";

    library.WriteFile("ZT12\\ZT12.txt", "\"Dusk, over the Channel\"");
    DescribeSlot(state, *fs, images, 2);
    EXPECT_EQ(images.elements[2].toolTip, "Dusk, over the Channel");
}

TEST(DescribeSlotTest, HoveringAnArrowOrRandomLeavesTheSlotsAlone) {
    const auto fs = test::MakePlatformFileSystem();
    AppState state = Library(13);
    for (const int element : {kRandomElement, kBackArrow, kNextArrow}) {
        FakeImageElements images;
        DescribeSlot(state, *fs, images, element);
        EXPECT_EQ(images.calls,
                  (std::vector<std::string>{"SetToolTip 10 RANDOM", "SetToolTip 11 BACK",
                                            "SetToolTip 12 NEXT"}));
    }
}

}  // namespace
}  // namespace skyswap
