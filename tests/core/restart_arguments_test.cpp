// The command line of a restart with administrator rights: quoted as CommandLineToArgvW reads
// it, and read back.
#include <gtest/gtest.h>

#include "restart_arguments.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "text_win.h"
#endif

namespace skyswap {
namespace {

#ifdef _WIN32
// Folders with the characters that quoting gets wrong: spaces, a trailing backslash (a drive
// root), backslashes before a quote, a quote, non-ASCII letters.
const std::vector<std::string> kHardFolders = {
    "C:\\Program Files (x86)\\EAW\\Skies",
    "C:\\",
    "D:\\Games\\EAW\\Skies\\\\",
    "\\\\server\\share\\EAW Skies",
    "C:\\odd\\\"quoted\\\\\"name",
    "C:\\Spiele\\Fl\xC3\xBCgel \xE7\xA9\xBA",
    "C:\\NoSpaces",
    "",
};
#endif

TEST(RestartArguments, Quoting) {
    EXPECT_EQ(QuoteArgument("C:\\Program Files\\EAW"), "\"C:\\Program Files\\EAW\"");
    EXPECT_EQ(QuoteArgument("C:\\"), "\"C:\\\\\"") << "a trailing backslash is doubled";
    EXPECT_EQ(QuoteArgument("a\\\\b"), "\"a\\\\b\"") << "backslashes inside stay single";
    EXPECT_EQ(QuoteArgument("a\\\"b"), "\"a\\\\\\\"b\"");
    EXPECT_EQ(QuoteArgument(""), "\"\"");
    EXPECT_EQ(RestartParameters({"C:\\EAW\\Skies", "C:\\Users\\Pat\\VirtualStore"}),
              "/library \"C:\\EAW\\Skies\" /virtualstore \"C:\\Users\\Pat\\VirtualStore\"");
    EXPECT_EQ(RestartParameters({"C:\\EAW\\Skies", ""}), "/library \"C:\\EAW\\Skies\"");
}

TEST(RestartArguments, Parsing) {
    RestartArguments parsed =
        ParseRestartArguments({"/LIBRARY", "C:\\EAW\\Skies", "-VirtualStore", "C:\\VS"});
    EXPECT_EQ(parsed.library, "C:\\EAW\\Skies");
    EXPECT_EQ(parsed.virtualStore, "C:\\VS");
    // Other arguments are someone else's; a switch without its folder is ignored.
    parsed = ParseRestartArguments({"/random", "/library"});
    EXPECT_TRUE(parsed.library.empty());
    parsed = ParseRestartArguments({"/install", "12", "/library", "C:\\L", "/quiet"});
    EXPECT_EQ(parsed.library, "C:\\L");
    EXPECT_TRUE(parsed.virtualStore.empty());
    EXPECT_TRUE(ParseRestartArguments({"library", "C:\\L"}).library.empty()) << "no switch mark";
}

#ifdef _WIN32
// Windows' own reader of command lines is the judge.
TEST(RestartArguments, CommandLineToArgvReadsBackEveryFolder) {
    for (const std::string& folder : kHardFolders) {
        const std::wstring line =
            L"skyswap.exe " + Utf8ToWide(RestartParameters({folder, folder + "\\Store"}));
        int count = 0;
        LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
        ASSERT_NE(argv, nullptr);
        std::vector<std::string> arguments;
        for (int i = 1; i < count; ++i) {
            arguments.push_back(WideToUtf8(argv[i]));
        }
        LocalFree(argv);
        const RestartArguments parsed = ParseRestartArguments(arguments);
        if (folder.empty()) {
            EXPECT_TRUE(parsed.library.empty());  // an empty library is not passed at all
        } else {
            EXPECT_EQ(parsed.library, folder) << line.size();
        }
        EXPECT_EQ(parsed.virtualStore, folder + "\\Store");
    }
}
#endif

}  // namespace
}  // namespace skyswap
