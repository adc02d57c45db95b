// The command line of a restart with administrator rights: quoted as CommandLineToArgvW reads
// it, and read back.
#include <gtest/gtest.h>

#include "restart_arguments.h"

#include "command_line.h"

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

TEST(RestartArguments, TheRestartedProgramReadsThemWithItsCommandLine) {
    CommandLine parsed =
        ParseCommandLine({"/LIBRARY", "C:\\EAW\\Skies", "-VirtualStore", "C:\\VS"});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.action, CommandAction::Window) << "the restart opens the window";
    EXPECT_EQ(parsed.library, "C:\\EAW\\Skies");
    EXPECT_EQ(parsed.virtualStore, "C:\\VS");
    EXPECT_FALSE(ParseCommandLine({"/random", "/library"}).ok()) << "a switch without its folder";
    parsed = ParseCommandLine({"/install", "12", "/library", "C:\\L", "/quiet"});
    EXPECT_EQ(parsed.library, "C:\\L");
    EXPECT_FALSE(parsed.virtualStore);
    // Without the switch mark these are paths to add, as from a drop on the icon.
    parsed = ParseCommandLine({"library", "C:\\L"});
    EXPECT_FALSE(parsed.library) << "no switch mark";
    EXPECT_EQ(parsed.action, CommandAction::Add);
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
        const CommandLine parsed = ParseCommandLine(arguments);
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        if (folder.empty()) {
            EXPECT_FALSE(parsed.library);  // an empty library is not passed at all
        } else {
            EXPECT_EQ(parsed.library, folder) << line.size();
        }
        EXPECT_EQ(parsed.virtualStore, folder + "\\Store");
    }
}
#endif

}  // namespace
}  // namespace skyswap
