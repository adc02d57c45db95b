#include "paths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ascii.h"

namespace skyswap {
namespace {

// The library's folders and the files of a download are named through these; a wrong cut names
// the wrong folder in a message or writes beside the set.
TEST(Paths, APathIsCutAtItsLastBackslash) {
    struct Case {
        std::string path;
        std::string parent;
        std::string last;
    };
    const std::vector<Case> cases = {
        {"C:\\EAW\\Library\\ZTDef", "C:\\EAW\\Library", "ZTDef"},
        {"Pack\\Sky 2", "Pack", "Sky 2"},
        {"ZTDef", "", "ZTDef"},  // a bare name has no folder above it
        {"C:\\ZT7", "C:", "ZT7"},
        {"Pack\\", "Pack", ""},
        {"", "", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.path);
        EXPECT_EQ(ParentOf(test.path), test.parent);
        EXPECT_EQ(LastName(test.path), test.last);
        if (!test.parent.empty()) {
            EXPECT_EQ(JoinPath(ParentOf(test.path), LastName(test.path)), test.path);
        }
    }
    EXPECT_EQ(JoinPath("", "readme.txt"), "readme.txt") << "the top of a download";
    EXPECT_EQ(SetFolderName(7), "ZT7");
    EXPECT_EQ(SetFolderName(99999), "ZT99999");
}

TEST(Paths, NamesCompareWithoutLetterCaseOfAsciiLettersOnly) {
    EXPECT_TRUE(SameAsciiText("CLOUD1.TER", "cloud1.ter"));
    EXPECT_TRUE(SameAsciiText("ztdef", "ZTDef"));
    EXPECT_FALSE(SameAsciiText("cloud1.ter", "cloud1.te"));
    EXPECT_FALSE(SameAsciiText("cloud1.ter", "cloud2.ter"));
    EXPECT_FALSE(SameAsciiText("\xC9T\xC9", "\xE9T\xE9")) << "only A-Z fold";
    EXPECT_EQ(AsciiLower("BnHorizn.TER"), "bnhorizn.ter");
}

}  // namespace
}  // namespace skyswap
