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
    EXPECT_EQ(RestartParameters({"C:\\L", "", {LibraryAction::InstallSet, 12, {}}}),
              "/library \"C:\\L\" /resume install 12");
    EXPECT_EQ(RestartParameters({"", "", {LibraryAction::SaveMyDefault, 0, {}}}),
              "/resume savedefault 0");
    EXPECT_EQ(
        RestartParameters({"", "", {LibraryAction::AddDownloads, 0, {"C:\\a.zip", "D:\\b c"}}}),
        "/resume add \"C:\\a.zip\" /resume add \"D:\\b c\"");
}

// Drives as a player's logon session may have them: S: made with subst (T: on S:, and a ring of
// U: and V:), Z: a mapped share, N: a subst of a share, X: a drive Windows says nothing of.
DriveMapping PlayersDrive(char drive) {
    using Kind = DriveMapping::Kind;
    switch (drive) {
        case 'S':
            return {Kind::Substituted, "C:\\Games"};
        case 'T':
            return {Kind::Substituted, "S:\\EAW\\"};
        case 'R':
            return {Kind::Substituted, "D:\\"};
        case 'U':
            return {Kind::Substituted, "V:\\a"};
        case 'V':
            return {Kind::Substituted, "U:\\b"};
        case 'Z':
            return {Kind::Network, "\\\\nas\\games"};
        case 'N':
            return {Kind::Network, "\\\\nas\\games\\Old"};
        case 'X':
            return {Kind::Unknown, {}};
        case 'Y':
            return {Kind::Substituted, ""};
        default:
            return {Kind::Volume, {}};
    }
}

TEST(RestartArguments, PathsAreSpelledAsAnAdministratorSeesThem) {
    const struct {
        const char* path;
        const char* seen;  // null: out of an administrator's reach
    } cases[] = {
        {"C:\\Games\\EAW\\Skies", "C:\\Games\\EAW\\Skies"},
        {"S:\\EAW\\Skies", "C:\\Games\\EAW\\Skies"},
        {"s:\\EAW\\Skies\\skyswap.exe", "C:\\Games\\EAW\\Skies\\skyswap.exe"},
        {"S:\\", "C:\\Games\\"},
        {"S:", "C:\\Games"},
        {"T:\\Skies", "C:\\Games\\EAW\\Skies"},
        {"R:\\EAW", "D:\\EAW"},
        {"R:\\", "D:\\"},
        {"Z:\\Downloads\\Dawn Patrol.zip", "\\\\nas\\games\\Downloads\\Dawn Patrol.zip"},
        {"Z:/Downloads/Dawn.zip", "\\\\nas\\games/Downloads/Dawn.zip"},
        {"N:\\x.zip", "\\\\nas\\games\\Old\\x.zip"},
        {"\\\\?\\S:\\EAW", "\\\\?\\C:\\Games\\EAW"},
        {"\\\\?\\Z:\\EAW", "\\\\?\\UNC\\nas\\games\\EAW"},
        {"\\\\server\\share\\EAW", "\\\\server\\share\\EAW"},
        {"\\\\?\\UNC\\server\\share", "\\\\?\\UNC\\server\\share"},
        {"/tmp/skies", "/tmp/skies"},
        {"", ""},
        {"X:\\EAW", nullptr},
        {"Y:\\EAW", nullptr},
        {"U:\\EAW", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> seen = PathSeenWhenElevated(c.path, PlayersDrive);
        if (c.seen == nullptr) {
            EXPECT_FALSE(seen) << c.path << " -> " << seen.value_or("");
        } else {
            EXPECT_EQ(seen.value_or("(none)"), c.seen) << c.path;
        }
    }
    EXPECT_EQ(PathSeenWhenElevated("S:\\EAW", {}), "S:\\EAW") << "no way to ask: as it is";

    // The plan spells the program, its working folder and every carried path; the first path
    // that cannot be spelled is named.
    std::string unseen;
    const std::optional<RestartPlan> plan =
        PlanRestart("S:\\EAW\\Skies\\skyswap.exe",
                    {"S:\\EAW\\Skies",
                     "C:\\Users\\Pat\\VirtualStore",
                     {LibraryAction::AddDownloads, 0, {"Z:\\Dawn.zip", "C:\\Dusk.zip"}}},
                    PlayersDrive, unseen);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->program, "C:\\Games\\EAW\\Skies\\skyswap.exe");
    EXPECT_EQ(plan->folder, "C:\\Games\\EAW\\Skies");
    EXPECT_EQ(plan->parameters,
              "/library \"C:\\Games\\EAW\\Skies\" /virtualstore \"C:\\Users\\Pat\\VirtualStore\" "
              "/resume add \"\\\\nas\\games\\Dawn.zip\" /resume add \"C:\\Dusk.zip\"");
    EXPECT_FALSE(PlanRestart("C:\\Skies\\skyswap.exe",
                             {"C:\\Skies", "", {LibraryAction::AddDownloads, 0, {"X:\\a.zip"}}},
                             PlayersDrive, unseen));
    EXPECT_EQ(unseen, "X:\\a.zip");
}

TEST(RestartArguments, TheRestartedProgramReadsThemWithItsCommandLine) {
    CommandLine parsed =
        ParseCommandLine({"/LIBRARY", "C:\\EAW\\Skies", "-VirtualStore", "C:\\VS"});
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.action, LibraryAction::None) << "the restart opens the window";
    EXPECT_EQ(parsed.library, "C:\\EAW\\Skies");
    EXPECT_EQ(parsed.virtualStore, "C:\\VS");
    EXPECT_FALSE(ParseCommandLine({"/random", "/library"}).ok()) << "a switch without its folder";
    parsed = ParseCommandLine({"/install", "12", "/library", "C:\\L", "/quiet"});
    EXPECT_EQ(parsed.library, "C:\\L");
    EXPECT_FALSE(parsed.virtualStore);
    // Without the switch mark these are paths to add, as from a drop on the icon.
    parsed = ParseCommandLine({"library", "C:\\L"});
    EXPECT_FALSE(parsed.library) << "no switch mark";
    EXPECT_EQ(parsed.action, LibraryAction::AddDownloads);
}

// What the user asked for, as each refused transfer carries it.
const std::vector<LibraryRequest> kRequests = {
    {LibraryAction::InstallSet, 12, {}},
    {LibraryAction::InstallSet, 0, {}},
    {LibraryAction::InstallRandom, 0, {}},
    {LibraryAction::LoadMyDefault, 0, {}},
    {LibraryAction::LoadGameDefault, 0, {}},
    {LibraryAction::SaveMyDefault, 99999, {}},
    {LibraryAction::AddDownloads, 0, {"C:\\Downloads\\Storm.zip"}},
    {LibraryAction::AddDownloads,
     0,
     {"C:\\Downloads\\Storm.zip", "D:\\Skies\\Evening sky", "/odd"}},
};

void ExpectSameRequest(const LibraryRequest& read, const LibraryRequest& given) {
    EXPECT_EQ(read.action, given.action);
    EXPECT_EQ(read.set, given.set);
    EXPECT_EQ(read.paths, given.paths);
}

TEST(RestartArguments, TheRestartCarriesOnWithWhatWasAskedAndStillOpensTheWindow) {
    for (const LibraryRequest& request : kRequests) {
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
        EXPECT_EQ(parsed.action, LibraryAction::None) << "not the window-less command line";
        ExpectSameRequest(parsed.resume, request);
    }
    const CommandLine upper = ParseCommandLine({"-RESUME", "Install", "3"});
    ASSERT_TRUE(upper.ok()) << upper.error;
    ExpectSameRequest(upper.resume, {LibraryAction::InstallSet, 3, {}});
}

#ifdef _WIN32
// The restart's command line as Windows' own reader of command lines reads it, and as the
// restarted program then understands it.
CommandLine ReadBack(const RestartArguments& restart) {
    const std::wstring line = L"skyswap.exe " + Utf8ToWide(RestartParameters(restart));
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; argv != nullptr && i < count; ++i) {
        arguments.push_back(WideToUtf8(argv[i]));
    }
    LocalFree(argv);
    return ParseCommandLine(arguments);
}

TEST(RestartArguments, CommandLineToArgvReadsBackEveryFolder) {
    for (const std::string& folder : kHardFolders) {
        const CommandLine parsed = ReadBack({folder, folder + "\\Store", {}});
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        if (folder.empty()) {
            EXPECT_FALSE(parsed.library);  // an empty library is not passed at all
        } else {
            EXPECT_EQ(parsed.library, folder);
        }
        EXPECT_EQ(parsed.virtualStore, folder + "\\Store");
    }
    for (const LibraryRequest& request : kRequests) {
        LibraryRequest hard = request;
        if (hard.action == LibraryAction::AddDownloads) {
            hard.paths.insert(hard.paths.end(), kHardFolders.begin(), kHardFolders.end() - 1);
        }
        const CommandLine parsed = ReadBack({"C:\\", "", hard});
        ASSERT_TRUE(parsed.ok()) << parsed.error;
        EXPECT_EQ(parsed.library, "C:\\");
        ExpectSameRequest(parsed.resume, hard);
    }
}
#endif

}  // namespace
}  // namespace skyswap
