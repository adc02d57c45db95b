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
    EXPECT_EQ(RestartParameters({"C:\\EAW\\Skies", "C:\\Users\\Pat\\VirtualStore", {}}),
              "/library \"C:\\EAW\\Skies\" /virtualstore \"C:\\Users\\Pat\\VirtualStore\"");
    EXPECT_EQ(RestartParameters({"C:\\EAW\\Skies", "", {}}), "/library \"C:\\EAW\\Skies\"");
    EXPECT_EQ(RestartParameters({"C:\\L", "", {ResumedAction::Install, 12, {}}}),
              "/library \"C:\\L\" /resume install 12");
    EXPECT_EQ(RestartParameters({"", "", {ResumedAction::SaveDefault, 0, {}}}),
              "/resume savedefault 0");
    EXPECT_EQ(RestartParameters({"", "", {ResumedAction::Add, 0, {"C:\\a.zip", "D:\\b c"}}}),
              "/resume add \"C:\\a.zip\" /resume add \"D:\\b c\"");
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
    EXPECT_FALSE(ParseCommandLine({"library", "C:\\L"}).ok()) << "no switch mark";
}

// What the user asked for, as each refused transfer carries it.
const std::vector<ResumedRequest> kRequests = {
    {ResumedAction::Install, 12, {}},
    {ResumedAction::Install, 0, {}},
    {ResumedAction::Random, 0, {}},
    {ResumedAction::MyDefault, 0, {}},
    {ResumedAction::GameDefault, 0, {}},
    {ResumedAction::SaveDefault, 99999, {}},
    {ResumedAction::Add, 0, {"C:\\Downloads\\Storm.zip"}},
    {ResumedAction::Add, 0, {"C:\\Downloads\\Storm.zip", "D:\\Skies\\Evening sky", "/odd"}},
};

void ExpectSameRequest(const ResumedRequest& read, const ResumedRequest& given) {
    EXPECT_EQ(read.action, given.action);
    EXPECT_EQ(read.set, given.set);
    EXPECT_EQ(read.paths, given.paths);
}

TEST(RestartArguments, TheRestartCarriesOnWithWhatWasAskedAndStillOpensTheWindow) {
    for (const ResumedRequest& request : kRequests) {
        std::vector<std::string> arguments = {"/library", "C:\\L"};
        const std::string parameters = RestartParameters({"", "", request});
        SCOPED_TRACE(parameters);
        // Split as Windows would; no value here ends in a backslash or holds a quote.
        std::string word;
        bool quoted = false;
        for (const char c : parameters + " ") {
            if (c == '"') {
                quoted = !quoted;
            } else if (c == ' ' && !quoted) {
                arguments.push_back(word);
                word.clear();
            } else {
                word += c;
            }
        }
        const CommandLine parsed = ParseCommandLine(arguments);
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        EXPECT_EQ(parsed.action, CommandAction::Window) << "not the window-less command line";
        ExpectSameRequest(parsed.resume, request);
    }
    const CommandLine upper = ParseCommandLine({"-RESUME", "Install", "3"});
    ASSERT_TRUE(upper.ok()) << upper.error;
    ExpectSameRequest(upper.resume, {ResumedAction::Install, 3, {}});
}

TEST(RestartArguments, ABadResumeIsRefusedWithAReason) {
    const struct {
        std::vector<std::string> arguments;
        std::string inError;
    } cases[] = {
        {{"/resume"}, "/resume needs what to do"},
        {{"/resume", "fly"}, "/resume does not know \"fly\""},
        {{"/resume", "install"}, "install needs a set number from 0 to 99999"},
        {{"/resume", "install", "x"}, "install needs a set number"},
        {{"/resume", "install", "100000"}, "install needs a set number"},
        {{"/resume", "savedefault", "-1"}, "savedefault needs a set number"},
        {{"/resume", "add"}, "add needs a path"},
        {{"/resume", "add", ""}, "add needs a path"},
        {{"/resume", "mydefault", "/resume", "gamedefault"}, "/resume is given twice"},
        {{"/resume", "install", "1", "/resume", "install", "1"}, "/resume is given twice"},
        {{"/resume", "add", "a", "/resume", "install", "1"}, "/resume is given twice"},
        {{"/resume", "install", "1", "/resume", "add", "a"}, "/resume is given twice"},
        {{"/resume", "mydefault", "/random"}, "comes with no action switch"},
        {{"/status", "/resume", "gamedefault"}, "comes with no action switch"},
        {{"/resume", "mydefault", "12"}, "Unexpected argument \"12\""},
    };
    for (const auto& bad : cases) {
        const CommandLine parsed = ParseCommandLine(bad.arguments);
        std::string shown;
        for (const std::string& argument : bad.arguments) {
            shown += "[" + argument + "]";
        }
        EXPECT_FALSE(parsed.ok()) << shown;
        EXPECT_NE(parsed.error.find(bad.inError), std::string::npos)
            << shown << " gave: " << parsed.error;
    }
}

#ifdef _WIN32
// Windows' own reader of command lines is the judge.
TEST(RestartArguments, CommandLineToArgvReadsBackEveryFolder) {
    for (const std::string& folder : kHardFolders) {
        const std::wstring line =
            L"skyswap.exe " + Utf8ToWide(RestartParameters({folder, folder + "\\Store", {}}));
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
    for (const ResumedRequest& request : kRequests) {
        ResumedRequest hard = request;
        if (hard.action == ResumedAction::Add) {
            hard.paths.insert(hard.paths.end(), kHardFolders.begin(), kHardFolders.end() - 1);
        }
        const std::wstring line =
            L"skyswap.exe " + Utf8ToWide(RestartParameters({"C:\\", "", hard}));
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
        EXPECT_EQ(parsed.library, "C:\\");
        ExpectSameRequest(parsed.resume, hard);
    }
}
#endif

}  // namespace
}  // namespace skyswap
