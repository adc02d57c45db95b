#include "image_keyboard.h"

#include <gtest/gtest.h>

#include "element_names.h"
#include "support/fake_image_elements.h"
#include "support/sky_library.h"

namespace skyswap {
namespace {

ElementVisibility AllShown() {
    ElementVisibility visible;
    visible.fill(true);
    return visible;
}

TEST(ImageKeyboard, ArrowsFollowTheGridAndStopAtItsEdges) {
    const ElementVisibility all = AllShown();
    // Right through every element in reading order, then no further.
    int element = 0;
    std::vector<int> visited{element};
    for (int step = 0; step < kImageElementCount; ++step) {
        element = NextGridElement(element, GridMove::Right, all);
        visited.push_back(element);
    }
    EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, kBackArrow, 9, kRandomElement,
                                         kNextArrow, kNextArrow}));
    EXPECT_EQ(NextGridElement(0, GridMove::Left, all), 0);
    EXPECT_EQ(NextGridElement(1, GridMove::Left, all), 0) << "the first element is reached";
    EXPECT_EQ(NextGridElement(9, GridMove::Left, all), kBackArrow);

    // Up and down within the columns, into and out of the wider fourth row.
    EXPECT_EQ(NextGridElement(1, GridMove::Down, all), 4);
    EXPECT_EQ(NextGridElement(4, GridMove::Down, all), 7);
    EXPECT_EQ(NextGridElement(6, GridMove::Down, all), 9);
    EXPECT_EQ(NextGridElement(7, GridMove::Down, all), kRandomElement);
    EXPECT_EQ(NextGridElement(8, GridMove::Down, all), kNextArrow);
    EXPECT_EQ(NextGridElement(kBackArrow, GridMove::Up, all), 6);
    EXPECT_EQ(NextGridElement(9, GridMove::Up, all), 6);
    EXPECT_EQ(NextGridElement(kRandomElement, GridMove::Up, all), 7);
    EXPECT_EQ(NextGridElement(kNextArrow, GridMove::Up, all), 8);
    EXPECT_EQ(NextGridElement(5, GridMove::Up, all), 2);
    EXPECT_EQ(NextGridElement(3, GridMove::Up, all), 0) << "the second row reaches the top one";
    EXPECT_EQ(NextGridElement(0, GridMove::Down, all), 3);
    EXPECT_EQ(NextGridElement(2, GridMove::Up, all), 2) << "the top row stays";
    EXPECT_EQ(NextGridElement(9, GridMove::Down, all), 9) << "the bottom row stays";
}

TEST(ImageKeyboard, HiddenArrowsAreSkipped) {
    ElementVisibility visible = AllShown();
    visible[kBackArrow] = false;
    EXPECT_EQ(NextGridElement(8, GridMove::Right, visible), 9);
    EXPECT_EQ(NextGridElement(9, GridMove::Left, visible), 8);
    visible[kNextArrow] = false;
    EXPECT_EQ(NextGridElement(kRandomElement, GridMove::Right, visible), kRandomElement);
    EXPECT_EQ(NextGridElement(8, GridMove::Down, visible), kRandomElement);

    // An arrow that goes away hands the focus to its nearest neighbour.
    EXPECT_EQ(ShownGridElement(kNextArrow, visible), kRandomElement);
    EXPECT_EQ(ShownGridElement(kBackArrow, visible), 8);
    EXPECT_EQ(ShownGridElement(4, visible), 4);
}

TEST(ImageKeyboard, HomeAndEndShowTheFirstAndTheLastPage) {
    for (const auto& [count, lastFirst] :
         std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {10, 0}, {11, 10}, {23, 20}, {30, 20}}) {
        AppState state;
        state.libraryFolder = "C:\\EAW\\Skies";
        state.setCount = count;
        state.pageFirst = 10;
        test::FakeImageElements images;
        ShowLastPage(state, images);
        EXPECT_EQ(state.pageFirst, lastFirst) << count << " sets";
        EXPECT_LE(state.pageLast, std::max(count - 1, 0)) << count << " sets";
        ShowFirstPage(state, images);
        EXPECT_EQ(state.pageFirst, 0);
        EXPECT_EQ(images.elements[kBackArrow].visible, false) << count << " sets";
        EXPECT_EQ(images.elements[kNextArrow].visible, true) << count << " sets";
    }
}

TEST(ElementNames, SlotsAreNamedByTheirSetsAndTheOthersByTheirRole) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 13);
    const std::string library = test::kLibrary;
    temp.WriteFile(library + "\\ZT0\\ZT0.txt", "\"Dawn, with haze\", ignored");
    temp.WriteFile(library + "\\ZT11\\ZT11.txt", "Night raid");
    temp.WriteFile(library + "\\ZT12\\ZT12.txt", "");  // a description file that says nothing
    temp.MakeFolder(library + "\\ZT15");               // after a gap
    AppState state = test::StateFor(temp);
    auto fs = test::MakePlatformFileSystem();

    EXPECT_EQ(ElementName(state, *fs, 0, false), "Dawn, with haze");
    EXPECT_EQ(ElementName(state, *fs, 0, true), "Dawn, with haze, installed in the game");
    EXPECT_EQ(ElementName(state, *fs, 3, false), "ZT3") << "no description file";
    EXPECT_EQ(ElementName(state, *fs, kRandomElement, true), "RANDOM");
    EXPECT_EQ(ElementName(state, *fs, kBackArrow, false), "BACK");
    EXPECT_EQ(ElementName(state, *fs, kNextArrow, false), "NEXT");

    state.pageFirst = 10;
    EXPECT_EQ(ElementName(state, *fs, 1, false), "Night raid");
    EXPECT_EQ(ElementName(state, *fs, 2, true), "ZT12, installed in the game");
    EXPECT_EQ(ElementName(state, *fs, 3, false), "empty slot") << "the gap at 13";
    EXPECT_EQ(ElementName(state, *fs, 5, false), "ZT15");
    EXPECT_EQ(ElementName(state, *fs, 6, false), "empty slot") << "past the last set";
    EXPECT_EQ(ElementName(state, *fs, 13, false), "");
}

}  // namespace
}  // namespace skyswap
