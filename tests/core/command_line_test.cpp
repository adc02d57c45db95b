#include "command_line.h"

#include <gtest/gtest.h>

#include "messages.h"
#include "support/fake_add_services.h"
#include "support/protected_file_system.h"
#include "support/sky_library.h"

namespace skyswap {
namespace {

using test::kGame;
using test::kLibrary;
using test::TagsIn;

CommandLine Parse(std::vector<std::string> arguments) {
    return ParseCommandLine(arguments);
}

TEST(CommandLineParsing, EachActionInAnyLetterCaseWithSlashOrDash) {
    EXPECT_EQ(Parse({}).action, LibraryAction::None);
    EXPECT_TRUE(Parse({}).ok());
    EXPECT_EQ(Parse({"/random"}).action, LibraryAction::InstallRandom);
    EXPECT_EQ(Parse({"/RANDOM"}).action, LibraryAction::InstallRandom);
    EXPECT_EQ(Parse({"-random"}).action, LibraryAction::InstallRandom);
    EXPECT_EQ(Parse({"-RaNdOm"}).action, LibraryAction::InstallRandom);
    EXPECT_EQ(Parse({"/MyDefault"}).action, LibraryAction::LoadMyDefault);
    EXPECT_EQ(Parse({"-gamedefault"}).action, LibraryAction::LoadGameDefault);
    EXPECT_EQ(Parse({"/STATUS"}).action, LibraryAction::Status);
    EXPECT_TRUE(Parse({"/?"}).help);
    EXPECT_TRUE(Parse({"-?"}).help);

    const CommandLine install = Parse({"/Install", "12"});
    EXPECT_TRUE(install.ok()) << install.error;
    EXPECT_EQ(install.action, LibraryAction::InstallSet);
    EXPECT_EQ(install.setNumber, 12);
    EXPECT_EQ(Parse({"/install", "0"}).setNumber, 0);
    EXPECT_EQ(Parse({"/install", "99999"}).setNumber, 99999);
    const CommandLine saveDefault = Parse({"/SaveDefault", "7"});
    EXPECT_TRUE(saveDefault.ok()) << saveDefault.error;
    EXPECT_EQ(saveDefault.action, LibraryAction::SaveMyDefault);
    EXPECT_EQ(saveDefault.setNumber, 7);

    const CommandLine quiet = Parse({"/QUIET", "/random", "/quiet"});
    EXPECT_TRUE(quiet.ok()) << quiet.error;
    EXPECT_TRUE(quiet.quiet);
    EXPECT_EQ(quiet.action, LibraryAction::InstallRandom);
    EXPECT_FALSE(Parse({"/random"}).quiet);
}

TEST(CommandLineParsing, LibraryAndVirtualStoreGoWithAnyActionOrNone) {
    const CommandLine alone = Parse({"/library", "C:\\Games\\EAW\\Sky Swap"});
    EXPECT_TRUE(alone.ok()) << alone.error;
    EXPECT_EQ(alone.action, LibraryAction::None);
    EXPECT_EQ(alone.library, "C:\\Games\\EAW\\Sky Swap");
    EXPECT_FALSE(alone.virtualStore);

    const CommandLine both = Parse(
        {"/VirtualStore", "C:\\Users\\p\\VirtualStore", "/install", "3", "-LIBRARY", "D:\\s"});
    EXPECT_TRUE(both.ok()) << both.error;
    EXPECT_EQ(both.action, LibraryAction::InstallSet);
    EXPECT_EQ(both.setNumber, 3);
    EXPECT_EQ(both.library, "D:\\s");
    EXPECT_EQ(both.virtualStore, "C:\\Users\\p\\VirtualStore");

    // A folder may look like a switch: it is taken as the folder.
    EXPECT_EQ(Parse({"/library", "-odd"}).library, "-odd");
}

TEST(CommandLineParsing, PathsWithOrWithoutAddAreAdded) {
    const CommandLine add = Parse({"/add", "C:\\Downloads\\Stormy Evening.zip", "Sky Pack"});
    EXPECT_TRUE(add.ok()) << add.error;
    EXPECT_EQ(add.action, LibraryAction::AddDownloads);
    EXPECT_EQ(add.paths,
              (std::vector<std::string>{"C:\\Downloads\\Stormy Evening.zip", "Sky Pack"}));

    // What Windows runs for files dropped on the program's icon: the paths alone.
    const CommandLine dropped = Parse({"C:\\a.zip", "C:\\b"});
    EXPECT_TRUE(dropped.ok()) << dropped.error;
    EXPECT_EQ(dropped.action, LibraryAction::AddDownloads);
    EXPECT_EQ(dropped.paths, (std::vector<std::string>{"C:\\a.zip", "C:\\b"}));

    // Switches may come anywhere; a path after /library is its folder, not a download.
    const CommandLine mixed = Parse({"a.zip", "-Add", "b.zip", "/QUIET", "/library", "D:\\s", "c"});
    EXPECT_TRUE(mixed.ok()) << mixed.error;
    EXPECT_EQ(mixed.action, LibraryAction::AddDownloads);
    EXPECT_TRUE(mixed.quiet);
    EXPECT_EQ(mixed.library, "D:\\s");
    EXPECT_EQ(mixed.paths, (std::vector<std::string>{"a.zip", "b.zip", "c"}));

    EXPECT_TRUE(Parse({"/random"}).paths.empty());
    EXPECT_NE(CommandLineHelp().find("/add PATH"), std::string::npos);
}

TEST(CommandLineParsing, BadCommandLinesAreRefusedWithAReason) {
    const struct {
        std::vector<std::string> arguments;
        std::string inError;
    } cases[] = {
        {{"/shuffle"}, "Unknown switch /shuffle"},
        {{"/random", "/bogus"}, "Unknown switch /bogus"},
        {{"/random", "extra"}, "Unexpected argument \"extra\""},
        {{"sky.zip", "/status"}, "Unexpected argument \"sky.zip\""},
        {{"/install", "3", "sky.zip"}, "Unexpected argument \"sky.zip\""},
        {{"/add"}, "/add needs a folder or a .zip file"},
        {{"-ADD"}, "-ADD needs a folder or a .zip file"},
        {{"/add", "a.zip", "/add", "b.zip"}, "Only one action at a time"},
        {{"/add", "a.zip", "/random"}, "Only one action at a time"},
        {{"/add", ""}, "Unexpected argument \"\""},
        {{"a.zip", "-"}, "Unexpected argument \"-\""},
        {{"/"}, "Unexpected argument \"/\""},
        {{""}, "Unexpected argument"},
        {{"/install"}, "/install needs a set number"},
        {{"/install", "-3"}, "not \"-3\""},
        {{"/install", "+3"}, "not \"+3\""},
        {{"/install", "100000"}, "from 0 to 99999"},
        {{"/install", "99999999999999999999"}, "not \"99999999999999999999\""},
        {{"/install", "12abc"}, "not \"12abc\""},
        {{"/install", " 12"}, "not \" 12\""},
        {{"/install", "/random"}, "not \"/random\""},
        {{"/random", "/status"}, "Only one action at a time: /random and /status"},
        {{"/random", "/RANDOM"}, "Only one action at a time"},
        {{"/install", "1", "/install", "2"}, "Only one action at a time"},
        {{"/?", "/random"}, "Only one action at a time"},
        {{"/library"}, "/library needs a folder"},
        {{"/random", "/virtualstore"}, "/virtualstore needs a folder"},
        {{"/library", "a", "/library", "b"}, "/library is given twice"},
        {{"/savedefault"}, "/savedefault needs a set number"},
        {{"/savedefault", "x"}, "not \"x\""},
        {{"/savedefault", "1", "/install", "2"}, "Only one action at a time"},
        // The restart's own switch, which only SkySwap itself writes.
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
        {{"/resume", "mydefault", "12"},
         "comes with no action switch"},  // 12 would be a path to add
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
        EXPECT_FALSE(parsed.quiet) << shown;
    }
    // A launcher that asked for quiet gets no message box about its own mistake either.
    EXPECT_TRUE(Parse({"/bogus", "/Quiet"}).quiet);
    EXPECT_FALSE(Parse({"/bogus", "/Quiet"}).ok());
}

TEST(CommandLineParsing, AFolderThatPowerShellEndedInAQuoteIsThatFolder) {
    // 'C:\My Skies\' from PowerShell 5.1 reads back as C:\My Skies" .
    EXPECT_EQ(Parse({"/add", "C:\\My Skies\""}).paths, std::vector<std::string>{"C:\\My Skies"});
    EXPECT_EQ(Parse({"C:\\My Skies\""}).paths, std::vector<std::string>{"C:\\My Skies"});
    EXPECT_EQ(Parse({"/library", "D:\\EAW\\Skies\""}).library, "D:\\EAW\\Skies");
    EXPECT_EQ(Parse({"/add", "C:\\Downloads\\Storm.zip"}).paths,
              std::vector<std::string>{"C:\\Downloads\\Storm.zip"});
}

// The day the skies kept in these tests were kept on: "Kept from the game folder on
// 2026-12-07".
SessionSystem OnTheDayOfTheTests() {
    SessionSystem system;
    system.today = [] { return CalendarDate{2026, 12, 7}; };
    return system;
}

// The command line as a run of the program gives it: a session of its own.
CommandOutcome RunOn(FileSystem& fs, const std::vector<std::string>& arguments,
                     const SessionSystem& system = OnTheDayOfTheTests()) {
    LibrarySession session(fs, system);
    return RunCommand(ParseCommandLine(arguments), session);
}

TEST(CommandLineRun, EachActionRunsItsTransferAndSaysWhatHappened) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 4);
    temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    const std::vector<std::string> tags{"ZT0", "ZT1", "ZT2", "ZT3"};
    const auto run = [&](std::vector<std::string> arguments) { return RunOn(*fs, arguments); };

    CommandOutcome outcome = run({"/install", "2"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess);
    EXPECT_EQ(outcome.text, "Sky set ZT2 is now in the game.");
    EXPECT_EQ(TagsIn(temp, kGame, tags), std::vector<std::string>(10, "ZT2"));

    outcome = run({"/status"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess);
    EXPECT_NE(outcome.text.find("It holds all ten sky files."), std::string::npos) << outcome.text;
    EXPECT_NE(outcome.text.find("In the game: ZT2"), std::string::npos) << outcome.text;

    outcome = run({"/random"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    const std::vector<std::string> drawn = TagsIn(temp, kGame, tags);
    ASSERT_NE(drawn[0], "");
    EXPECT_EQ(drawn, std::vector<std::string>(10, drawn[0])) << "one whole set";
    EXPECT_EQ(outcome.text, "Sky set " + drawn[0] + " is now in the game.");

    // No personal default yet: nothing changes.
    outcome = run({"/mydefault"});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_NE(outcome.text.find("ZTDef"), std::string::npos) << outcome.text;
    EXPECT_EQ(TagsIn(temp, kGame, tags), drawn);

    test::WriteSkyFiles(temp, std::string(kLibrary) + "\\ZTDef", "ZT1");
    outcome = run({"/mydefault"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    EXPECT_EQ(TagsIn(temp, kGame, tags), std::vector<std::string>(10, "ZT1"));

    // A number without a folder changes nothing.
    outcome = run({"/install", "40"});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(outcome.text, "Nothing was changed: the set folder ZT40 does not exist.");
    EXPECT_EQ(TagsIn(temp, kGame, tags), std::vector<std::string>(10, "ZT1"));

    outcome = run({"/gamedefault"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    EXPECT_EQ(TagsIn(temp, kGame, tags), std::vector<std::string>(10, ""));
    EXPECT_TRUE(temp.Exists(std::string(kGame) + "\\eaw.ini"));
    outcome = run({"/status"});
    EXPECT_NE(outcome.text.find("none of the ten sky files"), std::string::npos) << outcome.text;

    // Some files: the status names them.
    test::WriteSkyFiles(temp, kGame, "ZT3", {"cloud1.ter", "bnhorizn.ter"});
    EXPECT_NE(run({"/status"})
                  .text.find("It holds 2 of the ten sky files: bnhorizn.ter "
                             "cloud1.ter."),
              std::string::npos)
        << run({"/status"}).text;
}

TEST(CommandLineRun, SaveDefaultMakesASetThePersonalDefault) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 3);
    temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
    test::WriteSkyFiles(temp, kGame, "ZT0");
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    const std::vector<std::string> tags{"ZT0", "ZT1", "ZT2"};
    const auto run = [&](std::vector<std::string> arguments) { return RunOn(*fs, arguments); };
    const std::string myDefault = std::string(kLibrary) + "\\ZTDef";

    CommandOutcome outcome = run({"/savedefault", "2"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    EXPECT_EQ(outcome.text, "Sky set ZT2 is now your personal default (ZTDef).");
    EXPECT_EQ(TagsIn(temp, myDefault, tags), std::vector<std::string>(10, "ZT2"));
    EXPECT_EQ(TagsIn(temp, kGame, tags), std::vector<std::string>(10, "ZT0")) << "game untouched";

    outcome = run({"/savedefault", "9"});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(outcome.text, "Nothing was changed: the set folder ZT9 does not exist.");
    EXPECT_EQ(TagsIn(temp, myDefault, tags), std::vector<std::string>(10, "ZT2"));

    outcome = run({"/savedefault", "1"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    EXPECT_EQ(TagsIn(temp, myDefault, tags), std::vector<std::string>(10, "ZT1"));

    // A save that refuses keeps nothing first: ZTDef's sky in no set stays where it is.
    test::WriteSkyFiles(temp, myDefault, "HAND");
    const std::vector<std::string> before = temp.List(kLibrary);
    outcome = run({"/savedefault", "9"});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(temp.List(kLibrary), before) << "no set kept for a save that refused";
    EXPECT_EQ(TagsIn(temp, myDefault, {"HAND"}), std::vector<std::string>(10, "HAND"));
}

TEST(CommandLineRun, AFolderOnANetworkShareIsNamedAsSuchWhenItRefuses) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 2);
    temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
    test::WriteSkyFiles(temp, kGame, "ZT0");
    auto real = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    for (const bool share : {false, true}) {
        SCOPED_TRACE(share ? "on a share" : "on this computer");
        test::ProtectedFolderFileSystem fs{*real, temp.Join(kGame)};
        std::vector<std::string> asked;
        SessionSystem system = OnTheDayOfTheTests();
        system.onNetworkShare = [&](const std::string& folder) {
            asked.push_back(folder);
            return share;
        };
        const CommandOutcome outcome = RunOn(fs, {"/install", "1"}, system);
        EXPECT_EQ(outcome.exitCode, kExitFailed);
        EXPECT_EQ(asked, std::vector<std::string>{temp.Join(kGame)});
        const std::string shareText = "Windows does not let SkySwap write to " + temp.Join(kGame) +
                                      " on the network share; ask the share's owner for write "
                                      "access or copy the game to this computer";
        EXPECT_EQ(outcome.text == shareText, share) << outcome.text;
        EXPECT_EQ(outcome.text.find("administrator") == std::string::npos, share) << outcome.text;
    }
}

TEST(CommandLineRun, ASkyInNoSetIsKeptBeforeATransferReplacesIt) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 2);
    temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
    test::WriteSkyFiles(temp, kGame, "HAND");  // installed by hand, in no set
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    const auto run = [&](std::vector<std::string> arguments) { return RunOn(*fs, arguments); };
    CommandOutcome outcome = run({"/status"});
    EXPECT_NE(outcome.text.find("In the game: a sky not in your library"), std::string::npos)
        << outcome.text;

    outcome = run({"/random"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    EXPECT_EQ(outcome.text.find(KeptMessage(2)), 0u) << outcome.text;
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT2", {"HAND"}),
              std::vector<std::string>(10, "HAND"))
        << "the hand-made sky is a set of its own";
    const std::vector<std::string> drawn = TagsIn(temp, kGame, {"ZT0", "ZT1", "HAND"});
    EXPECT_NE(drawn[0], "HAND") << "the random draw changes the sky";

    // Removing the files keeps a sky in no set too.
    test::WriteSkyFiles(temp, kGame, "FRIEND");
    outcome = run({"/gamedefault"});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
    EXPECT_EQ(outcome.text.find(KeptMessage(3)), 0u) << outcome.text;
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT3", {"FRIEND"}),
              std::vector<std::string>(10, "FRIEND"));
    EXPECT_EQ(TagsIn(temp, kGame, {"FRIEND"}), std::vector<std::string>(10, ""));
}

TEST(CommandLineRun, SetNineHundredAnEmptyLibraryAndLeftOversOfKeeping) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 0);
    temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
    test::WriteSkyFiles(temp, kGame, "HAND");
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    const auto run = [&](std::vector<std::string> arguments) { return RunOn(*fs, arguments); };
    // A random choice in an empty library refuses, and a transfer that refuses keeps nothing.
    CommandOutcome outcome = run({"/random"});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(outcome.text, "There is no sky set in the library to choose from.");
    EXPECT_EQ(temp.List(kLibrary), std::vector<std::string>{"nosky.jpg"});
    EXPECT_EQ(TagsIn(temp, kGame, {"HAND"}), std::vector<std::string>(10, "HAND"));

    // A folder left by keeping that was cut short: /status leaves it, a transfer removes it.
    const std::string unfinished = std::string(kLibrary) + "\\ZT7.skyswap-tmp";
    test::WriteSkyFiles(temp, unfinished, "HAND", {"cloud1.ter"});
    temp.WriteFile(unfinished + "\\ZT7.txt", "Kept");
    run({"/status"});
    EXPECT_TRUE(temp.Exists(unfinished));

    test::WriteSkyFiles(temp, std::string(kLibrary) + "\\ZT900", "ZT900");
    for (int press = 0; press < 3; ++press) {
        outcome = run({"/install", "900"});
        EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.text;
        EXPECT_EQ(TagsIn(temp, kGame, {"ZT900"}), std::vector<std::string>(10, "ZT900"));
    }
    EXPECT_FALSE(temp.Exists(unfinished));
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT901", {"HAND"}),
              std::vector<std::string>(10, "HAND"))
        << "the hand-made sky, kept at the first install as the number after the highest";
}

TEST(CommandLineRun, TheWindowsStartUpChecksComeFirst) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 2);
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    // No nosky.jpg: the window would refuse to start, and so does the command line.
    CommandOutcome outcome = RunOn(*fs, {"/install", "1"});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(outcome.text, "Installation is not correct!\nPlease read the README.TXT file!");
    EXPECT_EQ(TagsIn(temp, kGame, {"ZT1"}), std::vector<std::string>(10, ""));

    // No eaw.ini.
    temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
    ASSERT_TRUE(fs->RemoveFile(temp.Join(std::string(kGame) + "\\eaw.ini")).ok());
    outcome = RunOn(*fs, {"/status"});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(outcome.text, "Installation is not correct!\nPlease read the README.TXT file!");
}

TEST(CommandLineRun, AddSaysTheSetsAddedApartFromTheRefusals) {
    test::TempFolder temp;
    test::MakeLibrary(temp, 3);
    auto real = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    test::FakeArchiveOpener archives;
    test::FakePictureScaler pictures;
    test::WriteSkyFiles(temp, "Stormy Evening", "STORMY");
    temp.MakeFolder("Photos");
    const auto run = [&](FileSystem& fs, std::vector<std::string> arguments) {
        LibrarySession session(fs, {});
        return RunAdd(ParseCommandLine(arguments), session, {fs, archives, pictures});
    };

    // No nosky.jpg: the window's start-up check comes first, as for every action.
    CommandOutcome outcome = run(*real, {temp.Join("Stormy Evening")});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(outcome.text, "");
    EXPECT_EQ(outcome.errors, kInstallationMessage);
    EXPECT_FALSE(temp.Exists(std::string(kLibrary) + "\\ZT3"));

    temp.WriteFile(std::string(kLibrary) + "\\nosky.jpg", "picture");
    outcome = run(*real, {"/add", temp.Join("Stormy Evening"), temp.Join("Photos")});
    EXPECT_EQ(outcome.exitCode, kExitFailed) << "one path added nothing";
    EXPECT_EQ(outcome.text, "Added ZT3: Stormy Evening");
    EXPECT_EQ(outcome.errors.rfind(temp.Join("Photos") + ": ", 0), 0u) << outcome.errors;
    EXPECT_EQ(outcome.errors.find('\n'), std::string::npos) << outcome.errors;
    EXPECT_EQ(TagsIn(temp, std::string(kLibrary) + "\\ZT3", {"STORMY"}),
              std::vector<std::string>(10, "STORMY"));

    // A library that Windows protects: the refusal names it, the last line says what helps.
    test::WriteSkyFiles(temp, "Dawn", "DAWN");
    test::ProtectedFolderFileSystem guarded(*real, temp.Join(kLibrary));
    outcome = run(guarded, {temp.Join("Dawn")});
    EXPECT_EQ(outcome.exitCode, kExitFailed);
    EXPECT_EQ(outcome.text, "");
    EXPECT_NE(outcome.errors.find("Windows protects the library folder " + temp.Join(kLibrary)),
              std::string::npos)
        << outcome.errors;
    const std::string hint = "\nRun skyswap /add as administrator to add skies there.";
    EXPECT_EQ(outcome.errors.substr(outcome.errors.size() - hint.size()), hint);

    outcome = run(*real, {temp.Join("Dawn")});
    EXPECT_EQ(outcome.exitCode, kExitSuccess);
    EXPECT_EQ(outcome.text, "Added ZT4: Dawn");
    EXPECT_EQ(outcome.errors, "");
}

}  // namespace
}  // namespace skyswap
