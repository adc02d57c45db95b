#include "set_care.h"

#include <gtest/gtest.h>

#include <memory>

#include "command_line.h"
#include "description.h"
#include "discovery.h"
#include "library_session.h"
#include "paths.h"
#include "picture_scaler.h"
#include "support/faulty_file_system.h"
#include "support/sky_library.h"
#include "zip_archive.h"
#include "zip_writer.h"

namespace skyswap {
namespace {

using test::FsOperation;
using test::kGame;
using test::kLibrary;

std::string InLibrary(const std::string& name) {
    return std::string(kLibrary) + "\\" + name;
}

// A library of `count` sets with its nosky.jpg, as the session opens it.
void MakeOpenableLibrary(const test::TempFolder& temp, int count) {
    test::MakeLibrary(temp, count);
    temp.WriteFile(InLibrary("nosky.jpg"), "picture");
}

// Decodes the 24-bit BMP files that BmpFile24 writes, of exactly the box's size: adding a
// thumbnail of the right size gives the same thumbnail back, as WIC does on Windows.
class BmpScaler final : public PictureScaler {
  public:
    bool ScaleToCover(const std::string& picture, int width, int height,
                      std::string& pixels) override {
        const std::size_t stride = static_cast<std::size_t>(width) * 3;
        const std::size_t rowBytes = (stride + 3) & ~std::size_t{3};
        if (picture.size() != 54 + rowBytes * height || picture.rfind("BM", 0) != 0) {
            return false;
        }
        pixels.clear();
        for (int row = height - 1; row >= 0; --row) {
            pixels.append(picture, 54 + static_cast<std::size_t>(row) * rowBytes, stride);
        }
        return true;
    }
};

SessionSystem WithRecycleBin(bool hasBin, std::vector<std::string>* recycled = nullptr) {
    SessionSystem system;
    system.hasRecycleBin = [hasBin](const std::string&) { return hasBin; };
    if (recycled != nullptr) {
        // Windows' Recycle Bin, faked: the folder is moved out of the library.
        system.removeSetFolder = [recycled](const std::string& folder, bool toRecycleBin) {
            recycled->push_back(folder + (toRecycleBin ? " to the bin" : " for good"));
            auto fs = test::MakePlatformFileSystem();
            return DeleteSetFolder(*fs, folder);
        };
    }
    system.archiveWriter = MakeZipArchiveWriter();
    return system;
}

TEST(SetCare, SuggestedNamesAreNamesWindowsTakes) {
    const struct {
        const char* description;
        const char* name;
    } cases[] = {
        {"Stormy Evening", "ZT3 - Stormy Evening.zip"},
        {"", "ZT3.zip"},
        {"Dawn: 5/6 \"clear\" <a|b>?*", "ZT3 - Dawn_ 5_6 _clear_ _a_b___.zip"},
        {"C:\\Skies\\Blue", "ZT3 - C__Skies_Blue.zip"},
        {"Ending in dots...  ", "ZT3 - Ending in dots.zip"},
        {"...", "ZT3.zip"},
        {"Tab\there", "ZT3 - Tab_here.zip"},
        {"Wolken über Köln", "ZT3 - Wolken über Köln.zip"},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(SuggestedExportName(3, test.description), test.name) << test.description;
    }
    // The folder inside the export is the description alone: a device name cannot be one.
    EXPECT_EQ(SafeFileName("CON"), "CON_");
    EXPECT_EQ(SafeFileName("nul.txt"), "nul_.txt");
    EXPECT_EQ(SafeFileName("COM1"), "COM1_");
    EXPECT_EQ(SafeFileName("Console"), "Console");
    // A long text is cut at a character, never inside one.
    std::string longText;
    for (int i = 0; i < 120; ++i) {
        longText += "é";
    }
    EXPECT_EQ(SafeFileName(longText).size(), 200u);
}

TEST(SetCare, TheNewFirstFieldKeepsTheRestOfTheFile) {
    const std::string bom = "\xEF\xBB\xBF";
    const struct {
        const char* what;
        std::string old;
        std::string written;
    } cases[] = {
        {"missing", "", bom + "\"New\"\r\n"},
        {"quoted, more fields", "\"Old, grey\",1998,\"x\"\r\nline two\r\n",
         bom + "\"New\",1998,\"x\"\r\nline two\r\n"},
        {"unquoted", "Old sky,author\r\nmore", bom + "\"New\",author\r\nmore"},
        {"one line", "Old sky\r\n", bom + "\"New\"\r\n"},
        {"UTF-8 mark", bom + "\"Alt\"\nnext", bom + "\"New\"\nnext"},
        {"Windows-1252", "\"Alt\",K\xF6ln\r\n", bom + "\"New\",K\xC3\xB6ln\r\n"},
        {"UTF-16", std::string("\xFF\xFE\"\0O\0\"\0,\0\xE9\0", 12), bom + "\"New\",\xC3\xA9"},
        {"unclosed quote", "\"Old, all of it", bom + "\"New\""},
    };
    for (const auto& test : cases) {
        const std::string written = WithFirstField(test.old, "New");
        EXPECT_EQ(written, test.written) << test.what;
        EXPECT_EQ(FirstField(written), "New") << test.what;
    }
    EXPECT_EQ(CleanDescription("  Say \"hi\"\r\nthere\t "), "Say 'hi' there");
    EXPECT_EQ(CleanDescription(" \r\n\t\x01 "), "");
}

TEST(SetCare, DescribingWritesTheFileSafelyOrKeepsTheOld) {
    test::TempFolder temp;
    MakeOpenableLibrary(temp, 3);
    const std::string old = "\"Grey dawn\",1998\r\nBy someone\r\n";
    temp.WriteFile(InLibrary("ZT1\\ZT1.txt"), old);
    auto real = test::MakePlatformFileSystem();
    test::FaultyFileSystem fs(*real);
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    LibrarySession session(fs, {});
    ASSERT_TRUE(session.Open(true));

    // A write that fails, at the temporary file or at the rename, leaves the old file whole.
    for (const FsOperation operation : {FsOperation::WriteFlushed, FsOperation::MoveStagedOver}) {
        fs.Fail(operation,
                operation == FsOperation::WriteFlushed ? "ZT1.txt.skyswap-tmp" : "ZT1.txt",
                FsError::DiskFull, 1);
        const SessionOutcome failed = session.Describe(1, "Red dusk");
        EXPECT_FALSE(failed.succeeded);
        EXPECT_EQ(failed.exitCode, 1);
        EXPECT_EQ(temp.ReadFile(InLibrary("ZT1\\ZT1.txt")), old);
        EXPECT_EQ(temp.List("Game\\Skies\\ZT1").size(), 11u) << "no temporary file is left";
    }

    const SessionOutcome done = session.Describe(1, "Red \"dusk\"");
    ASSERT_TRUE(done.succeeded) << done.text;
    EXPECT_EQ(done.text, "ZT1 is now described as: Red 'dusk'");
    EXPECT_EQ(temp.ReadFile(InLibrary("ZT1\\ZT1.txt")),
              "\xEF\xBB\xBF\"Red 'dusk'\",1998\r\nBy someone\r\n");
    EXPECT_EQ(ReadDescription(fs, DescriptionPath(session.State(), 1)), "Red 'dusk'");

    // A set without a description file gets one; an empty text and a missing set are refused.
    ASSERT_TRUE(session.Describe(2, "Blue").succeeded);
    EXPECT_EQ(ReadDescription(fs, DescriptionPath(session.State(), 2)), "Blue");
    EXPECT_FALSE(session.Describe(2, "  \t").succeeded);
    EXPECT_EQ(ReadDescription(fs, DescriptionPath(session.State(), 2)), "Blue");
    EXPECT_FALSE(session.Describe(7, "Nowhere").succeeded);
    EXPECT_FALSE(temp.Exists(InLibrary("ZT7")));
}

TEST(SetCare, AnExportAddedToAnotherLibraryIsTheSameSet) {
    test::TempFolder temp;
    MakeOpenableLibrary(temp, 2);
    std::string pixels;
    for (int i = 0; i < kThumbnailWidth * kThumbnailHeight * 3; ++i) {
        pixels.push_back(static_cast<char>(i * 7));
    }
    const std::string thumbnail = BmpFile24(kThumbnailWidth, kThumbnailHeight, pixels);
    temp.WriteFile(InLibrary("ZT1\\ZT1.bmp"), thumbnail);
    temp.WriteFile(InLibrary("ZT1\\readme.txt"), "Made by hand");
    temp.WriteFile(InLibrary("ZT1\\notes.doc"), "not a set's file");
    auto fs = test::MakePlatformFileSystem();
    const std::string zip = temp.Join("out\\ZT1 - Dusk.zip");
    temp.MakeFolder("out");
    {
        test::CurrentFolderScope scope(temp.Join(kLibrary));
        LibrarySession session(*fs, WithRecycleBin(true));
        ASSERT_TRUE(session.Open(true));
        ASSERT_TRUE(session.Describe(1, "Dusk: over \"Köln\"").succeeded);
        EXPECT_EQ(SuggestedExportName(1, "Dusk: over 'Köln'"), "ZT1 - Dusk_ over 'Köln'.zip");
        const SessionOutcome exported = session.Export(1, zip);
        ASSERT_TRUE(exported.succeeded) << exported.text;
        EXPECT_FALSE(session.Export(5, zip).succeeded);
    }
    // What the ZIP holds: one folder named after the description.
    std::unique_ptr<ArchiveOpener> opener = MakeZipArchiveOpener();
    ArchiveStatus status;
    std::unique_ptr<Archive> archive = opener->Open(*fs, zip, status);
    ASSERT_TRUE(archive);
    std::vector<std::string> names;
    for (const ArchiveEntry& entry : archive->Entries()) {
        names.push_back(entry.name);
    }
    EXPECT_EQ(names.size(), 13u);
    EXPECT_NE(std::find(names.begin(), names.end(), "Dusk_ over 'Köln'/ZT1.bmp"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Dusk_ over 'Köln'/readme.txt"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "Dusk_ over 'Köln'/notes.doc"), names.end());

    test::TempFolder other;
    MakeOpenableLibrary(other, 1);
    test::CurrentFolderScope scope(other.Join(kLibrary));
    LibrarySession session(*fs, {});
    ASSERT_TRUE(session.Open(true));
    BmpScaler pictures;
    const SessionOutcome added = session.AddDownloads({zip}, {*fs, *opener, pictures});
    ASSERT_EQ(added.added.size(), 1u) << added.errors;
    const int32_t set = added.added[0].set;
    EXPECT_EQ(added.added[0].description, "Dusk: over 'Köln'");
    EXPECT_EQ(ReadDescription(*fs, DescriptionPath(session.State(), set)), "Dusk: over 'Köln'");
    for (const std::string& name : test::SkyFileNames()) {
        EXPECT_EQ(other.ReadFile(InLibrary(SetFolderName(set) + "\\" + name)),
                  temp.ReadFile(InLibrary("ZT1\\" + name)))
            << name;
    }
    EXPECT_EQ(other.ReadFile(InLibrary(SetFolderName(set) + "\\" + SetFolderName(set) + ".bmp")),
              thumbnail);
}

TEST(SetCare, AnExportThatCannotBeWrittenLeavesNoFile) {
    test::TempFolder temp;
    MakeOpenableLibrary(temp, 2);
    temp.WriteFile("old.zip", "an older export");
    auto real = test::MakePlatformFileSystem();
    test::FaultyFileSystem fs(*real);
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    LibrarySession session(fs, WithRecycleBin(true));
    ASSERT_TRUE(session.Open(true));
    fs.Fail(FsOperation::MoveStagedOver, "old.zip", FsError::AccessDenied, 1);
    EXPECT_FALSE(session.Export(1, temp.Join("old.zip")).succeeded);
    EXPECT_EQ(temp.ReadFile("old.zip"), "an older export");
    EXPECT_FALSE(temp.Exists("old.zip.skyswap-tmp"));
    ASSERT_TRUE(session.Export(1, temp.Join("old.zip")).succeeded);
    EXPECT_NE(temp.ReadFile("old.zip"), "an older export");
}

TEST(SetCare, RemovingRecyclesButNeverTheGamesSkyNorForGoodUnasked) {
    test::TempFolder temp;
    MakeOpenableLibrary(temp, 4);
    test::WriteSkyFiles(temp, kGame, "ZT2");
    temp.WriteFile(InLibrary("ZT1\\ZT1.txt"), "\"Grey\"");
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    std::vector<std::string> recycled;
    LibrarySession session(*fs, WithRecycleBin(true, &recycled));
    ASSERT_TRUE(session.Open(true));

    const SessionOutcome installed = session.Remove(2, false);
    EXPECT_FALSE(installed.succeeded);
    EXPECT_EQ(installed.exitCode, 1);
    EXPECT_EQ(installed.text,
              "ZT2 is the sky in the game now. Load another sky first, then remove ZT2.");
    EXPECT_TRUE(temp.Exists(InLibrary("ZT2")));
    EXPECT_FALSE(session.Remove(9, false).succeeded);

    const RemovalQuestion asked = session.AskRemoval(1);
    EXPECT_TRUE(asked.allowed());
    EXPECT_TRUE(asked.toRecycleBin);
    EXPECT_EQ(asked.description, "Grey");
    EXPECT_EQ(asked.question, "Move ZT1 (Grey) to the Recycle Bin?");
    session.State().selectedSet = 1;
    session.State().selectedFolder = SetFolder(session.State(), 1);
    const SessionOutcome removed = session.Remove(1, false);
    ASSERT_TRUE(removed.succeeded) << removed.text;
    EXPECT_EQ(recycled, std::vector<std::string>{temp.Join(InLibrary("ZT1")) + " to the bin"});
    EXPECT_FALSE(temp.Exists(InLibrary("ZT1")));
    EXPECT_FALSE(session.State().selectedSet);
    EXPECT_EQ(session.State().setNumbers, (std::vector<int32_t>{0, 2, 3}));
    EXPECT_EQ(session.State().setCount, 4);
    ASSERT_TRUE(session.Remove(3, false).succeeded);

    // The session's state is what discovery finds: a gap where ZT1 was.
    AppState found;
    ASSERT_EQ(DiscoverLibrary(found, *fs), DiscoveryResult::Ok);
    EXPECT_EQ(found.setNumbers, session.State().setNumbers);
    EXPECT_EQ(found.setCount, session.State().setCount);
}

TEST(SetCare, WithoutARecycleBinOnlyAnAnsweredQuestionDeletes) {
    test::TempFolder temp;
    MakeOpenableLibrary(temp, 3);
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    LibrarySession session(*fs, WithRecycleBin(false));
    ASSERT_TRUE(session.Open(true));
    const RemovalQuestion asked = session.AskRemoval(1);
    EXPECT_FALSE(asked.toRecycleBin);
    EXPECT_NE(asked.question.find("ZT1 will be deleted for good"), std::string::npos);
    EXPECT_FALSE(session.Remove(1, false).succeeded);
    EXPECT_TRUE(temp.Exists(InLibrary("ZT1")));
    ASSERT_TRUE(session.Remove(1, true).succeeded);
    EXPECT_FALSE(temp.Exists(InLibrary("ZT1")));
}

TEST(SetCare, TheCommandLineDescribesExportsAndRemoves) {
    const CommandLine describe = ParseCommandLine({"/Describe", "4", "-Dark- night"});
    ASSERT_TRUE(describe.ok()) << describe.error;
    EXPECT_EQ(describe.action, LibraryAction::DescribeSet);
    EXPECT_EQ(describe.setNumber, 4);
    EXPECT_EQ(describe.text, "-Dark- night");
    const CommandLine exported = ParseCommandLine({"-export", "4", "out.zip", "/quiet"});
    ASSERT_TRUE(exported.ok()) << exported.error;
    EXPECT_EQ(exported.action, LibraryAction::ExportSet);
    EXPECT_EQ(exported.paths, std::vector<std::string>{"out.zip"});
    EXPECT_TRUE(exported.quiet);
    EXPECT_EQ(ParseCommandLine({"/remove", "12"}).Request(),
              (LibraryRequest{LibraryAction::RemoveSet, 12, {}}));
    const std::vector<std::vector<std::string>> bad = {
        {"/describe"},
        {"/describe", "4"},
        {"/describe", "x", "text"},
        {"/export", "4"},
        {"/export", "4", ""},
        {"/export", "4", "a.zip", "b.zip"},
        {"/remove"},
        {"/remove", "-1"},
        {"/remove", "4", "extra"},
        {"/remove", "4", "/status"},
    };
    for (const std::vector<std::string>& arguments : bad) {
        EXPECT_FALSE(ParseCommandLine(arguments).ok()) << arguments[0] << " " << arguments.size();
    }
    for (const char* line : {"/describe N", "/export N", "/remove N"}) {
        EXPECT_NE(CommandLineHelp().find(line), std::string::npos) << line;
    }

    test::TempFolder temp;
    MakeOpenableLibrary(temp, 3);
    test::WriteSkyFiles(temp, kGame, "ZT0");
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope scope(temp.Join(kLibrary));
    LibrarySession session(*fs, WithRecycleBin(true, nullptr));
    EXPECT_EQ(RunCommand(ParseCommandLine({"/describe", "2", "Fog"}), session).exitCode, 0);
    EXPECT_EQ(ReadDescription(*fs, temp.Join(InLibrary("ZT2\\ZT2.txt"))), "Fog");
    EXPECT_EQ(
        RunCommand(ParseCommandLine({"/export", "2", temp.Join("fog.zip")}), session).exitCode, 0);
    EXPECT_TRUE(temp.Exists("fog.zip"));
    const CommandOutcome installed = RunCommand(ParseCommandLine({"/remove", "0"}), session);
    EXPECT_EQ(installed.exitCode, 1);
    EXPECT_TRUE(temp.Exists(InLibrary("ZT0")));
    // Without Windows' Recycle Bin service the command line refuses rather than delete.
    EXPECT_EQ(RunCommand(ParseCommandLine({"/remove", "2"}), session).exitCode, 1);
    EXPECT_TRUE(temp.Exists(InLibrary("ZT2")));
}

}  // namespace
}  // namespace skyswap
