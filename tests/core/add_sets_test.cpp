#include "forwarding_file_system.h"
#include "add_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <set>

#include "description.h"
#include "download_sets.h"
#include "support/fake_add_services.h"
#include "support/faulty_file_system.h"
#include "support/protected_file_system.h"
#include "support/sky_library.h"
#include "support/test_support.h"
#include "support/zip_maker.h"
#include "zip_archive.h"

namespace skyswap {
namespace {

using test::FakeEntry;
using test::kLibrary;
using test::TempFolder;
using Names = std::vector<std::string>;

const std::string kDownloads = "Downloads";

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Picture(char fill, std::size_t padding = 0) {
    return "PICTURE" + std::string(padding, '.') + fill;
}

// The ten sky files of a download tagged `tag`, named in upper case as some downloads do.
void WriteDownloadSky(const TempFolder& temp, const std::string& folder, const std::string& tag,
                      std::size_t count = 10) {
    temp.MakeFolder(folder);
    const Names names = test::SkyFileNames();
    for (std::size_t i = 0; i < count; ++i) {
        temp.WriteFile(folder + "\\" + Upper(names[i]), test::SkyFileBytes(tag, names[i]));
    }
}

// The same as archive entries below `folder` ("" for the archive's top).
std::vector<FakeEntry> SkyEntries(const std::string& folder, const std::string& tag,
                                  std::size_t count = 10) {
    std::vector<FakeEntry> entries;
    const Names names = test::SkyFileNames();
    for (std::size_t i = 0; i < count; ++i) {
        entries.push_back({folder + Upper(names[i]), test::SkyFileBytes(tag, names[i])});
    }
    return entries;
}

std::vector<FakeEntry> Concat(std::vector<std::vector<FakeEntry>> parts) {
    std::vector<FakeEntry> all;
    for (auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct Adding {
    explicit Adding(int sets = 2) {
        test::MakeLibrary(temp, sets);
        state = test::StateFor(temp);
        temp.MakeFolder(kDownloads);
    }

    std::string Download(const std::string& name) const { return kDownloads + "\\" + name; }
    std::string Set(int n) const { return std::string(kLibrary) + "\\ZT" + std::to_string(n); }

    // Adds downloads named relative to the temporary folder.
    AddOutcome Add(const Names& downloads, FileSystem* through = nullptr,
                   const std::atomic<bool>* cancel = nullptr) {
        Names paths;
        for (const std::string& download : downloads) {
            paths.push_back(temp.Join(download));
        }
        const AddServices services{through != nullptr ? *through : *fs, archives, pictures};
        return AddDownloads(state, services, paths, cancel);
    }

    Names TagsOf(int n, const Names& tags) const { return test::TagsIn(temp, Set(n), tags); }
    Names Library() const { return temp.List(kLibrary); }

    TempFolder temp;
    AppState state;
    std::unique_ptr<FileSystem> fs = test::MakePlatformFileSystem();
    test::FakeArchiveOpener archives;
    test::FakePictureScaler pictures;
};

TEST(AddSets, AFolderBecomesTheNextSetWithItsFilesThumbnailAndDescription) {
    Adding adding;
    const std::string folder = adding.Download("Stormy, Evening");
    WriteDownloadSky(adding.temp, folder, "storm");
    adding.temp.WriteFile(folder + "\\readme.txt", "by a friend");
    adding.temp.WriteFile(folder + "\\Credits.NFO", "thanks");
    adding.temp.WriteFile(folder + "\\notes.doc", "not a text file");
    adding.temp.WriteFile(folder + "\\preview.jpg", Picture('A'));
    adding.temp.WriteFile(folder + "\\big.png", Picture('B', 5000));

    const AddOutcome outcome = adding.Add({folder});

    ASSERT_EQ(outcome.added.size(), 1U) << testing::PrintToString(RefusalLines(outcome));
    EXPECT_EQ(outcome.added[0].set, 2);
    EXPECT_EQ(outcome.added[0].description, "Stormy, Evening");
    EXPECT_EQ(outcome.added[0].source, adding.temp.Join(folder));
    EXPECT_TRUE(outcome.refused.empty());
    EXPECT_EQ(outcome.ExitCode(), 0);
    EXPECT_EQ(AddedLines(outcome), Names{"Added ZT2: Stormy, Evening"});

    EXPECT_EQ(adding.TagsOf(2, {"storm"}), Names(10, "storm")) << "lower-case names, same bytes";
    Names expected = test::SkyFileNames();
    expected.insert(expected.end(), {"Credits.NFO", "ZT2.bmp", "ZT2.txt", "readme.txt"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(adding.temp.List(adding.Set(2)), expected);
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(2) + "\\readme.txt"), "by a friend");
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(2) + "\\ZT2.txt"), "\"Stormy, Evening\"\r\n");
    EXPECT_EQ(ReadDescription(*adding.fs, adding.temp.Join(adding.Set(2) + "\\ZT2.txt")),
              "Stormy, Evening")
        << "the comma stays in the description";

    const auto bmp = adding.temp.ReadFile(adding.Set(2) + "\\ZT2.bmp");
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->size(), 54U + 200 * 129 * 3) << "24 bits, rows of 600 bytes need no padding";
    EXPECT_EQ(bmp->substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>((*bmp)[18]), 200U);
    EXPECT_EQ(static_cast<unsigned char>((*bmp)[22]), 129U);
    EXPECT_EQ(static_cast<unsigned char>((*bmp)[28]), 24U);
    EXPECT_EQ(test::ThumbnailFill(bmp), 'A') << "a picture named preview beats a larger one";

    EXPECT_EQ(adding.Library(), (Names{"ZT0", "ZT1", "ZT2"})) << "no temporary folder remains";
    ApplyAdded(adding.state, outcome);
    EXPECT_EQ(adding.state.setNumbers, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(adding.state.setCount, 3);
}

TEST(AddSets, AZipThatWrapsItsFolderAndAPackOfSkiesEachBecomeSetsInNameOrder) {
    Adding adding;
    adding.temp.WriteFile(adding.Download("wrap.zip"), "zip");
    adding.archives.Add("wrap.zip", Concat({{{"Stormy/", ""}},
                                            SkyEntries("Stormy/", "wrapped"),
                                            {{"Stormy/shot.png", Picture('C')}}}));
    adding.temp.WriteFile(adding.Download("pack.ZIP"), "zip");
    adding.archives.Add("pack.ZIP", Concat({SkyEntries("Pack/b-sky/", "b"),
                                            {{"Pack/readme.txt", "the pack's readme"}},
                                            SkyEntries("Pack/A sky/", "a", 3),
                                            {{"cover.jpg", Picture('D')}},
                                            {{"Pack/b-sky/read me.txt", "b's own"}},
                                            SkyEntries("Pack Extra/", "extra", 1)}));

    const AddOutcome outcome =
        adding.Add({adding.Download("wrap.zip"), adding.Download("pack.ZIP")});

    ASSERT_EQ(AddedLines(outcome),
              (Names{"Added ZT2: wrap", "Added ZT3: pack - A sky", "Added ZT4: pack - b-sky",
                     "Added ZT5: pack - Pack Extra"}))
        << testing::PrintToString(RefusalLines(outcome));
    EXPECT_EQ(adding.TagsOf(2, {"wrapped"}), Names(10, "wrapped"));
    EXPECT_EQ(adding.TagsOf(3, {"a"}), (Names{"a", "a", "a", "", "", "", "", "", "", ""}));
    EXPECT_EQ(adding.TagsOf(4, {"b"}), Names(10, "b"));
    EXPECT_EQ(test::ThumbnailFill(adding.temp.ReadFile(adding.Set(2) + "\\ZT2.bmp")), 'C');
    EXPECT_EQ(test::ThumbnailFill(adding.temp.ReadFile(adding.Set(3) + "\\ZT3.bmp")), 'D')
        << "the picture at the download's top serves a set without its own";
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(3) + "\\readme.txt"), "the pack's readme");
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(4) + "\\read me.txt"), "b's own");
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(4) + "\\readme.txt"), "the pack's readme");
    EXPECT_EQ(outcome.ExitCode(), 0);
}

TEST(AddSets, SetsAreFoundDownToThreeLevelsBelowTheDownloadInAnyLetterCase) {
    Adding adding;
    WriteDownloadSky(adding.temp, adding.Download("deep\\one\\two\\three"), "deep");
    WriteDownloadSky(adding.temp, adding.Download("deeper\\one\\two\\three\\four"), "deeper");
    const AddOutcome outcome = adding.Add({adding.Download("deep"), adding.Download("deeper")});
    EXPECT_EQ(AddedLines(outcome), Names{"Added ZT2: deep"});
    ASSERT_EQ(outcome.refused.size(), 1U);
    EXPECT_EQ(outcome.refused[0].source, adding.temp.Join(adding.Download("deeper")));
    EXPECT_NE(
        outcome.refused[0].reason.find("none of the sky files SkySwap looks for (bnhorizn.ter"),
        std::string::npos)
        << outcome.refused[0].reason;
    EXPECT_EQ(outcome.pathsWithoutSet, 1);
    EXPECT_EQ(outcome.ExitCode(), 1);
}

TEST(AddSets, ASetOfAnotherLibraryKeepsItsDescriptionAndThumbnail) {
    Adding adding;
    const std::string folder = adding.Download("ZT7");
    WriteDownloadSky(adding.temp, folder, "other");
    adding.temp.WriteFile(folder + "\\zt7.TXT", "Dawn \"red\", and more\r\nsecond line");
    adding.temp.WriteFile(folder + "\\ZT7.bmp", Picture('D'));
    adding.temp.WriteFile(folder + "\\screenshot.jpg", Picture('E', 9000));

    const AddOutcome outcome = adding.Add({folder});

    EXPECT_EQ(AddedLines(outcome), Names{"Added ZT2: Dawn 'red'"})
        << "a double quote would end the new description's field";
    EXPECT_EQ(test::ThumbnailFill(adding.temp.ReadFile(adding.Set(2) + "\\ZT2.bmp")), 'D');
    EXPECT_FALSE(adding.temp.Exists(adding.Set(2) + "\\zt7.TXT"))
        << "the other library's description file is not copied";
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(2) + "\\ZT2.txt"), "\"Dawn 'red'\"\r\n");
}

TEST(AddSets, TheThumbnailComesFromTheBestPictureThatDecodes) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;  // relative to the download
        std::optional<char> fill;
    };
    const std::vector<Case> cases = {
        {"no picture: the placeholder shows", {{"readme.txt", "x"}}, std::nullopt},
        {"the largest picture when none is named",
         {{"a.bmp", Picture('1', 10)}, {"b.gif", Picture('2', 300)}, {"c.TIFF", Picture('3', 20)}},
         '2'},
        {"a name that says sky beats a larger picture",
         {{"Sky_Shot.PNG", Picture('4')}, {"big.jpeg", Picture('5', 900)}},
         '4'},
        {"a broken named picture gives way to the largest",
         {{"thumb.jpg", "garbage"}, {"big.jpeg", Picture('6', 900)}},
         '6'},
        {"only broken pictures: the placeholder shows",
         {{"thumb.jpg", "garbage"}, {"other.png", "more garbage"}},
         std::nullopt},
        {"the set folder's own pictures come before the download's top",
         {{"..\\top-screen.jpg", Picture('7', 5000)}, {"own.jpg", Picture('8')}},
         '8'},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Adding adding;
        const std::string folder = adding.Download("wrapper\\sky");
        WriteDownloadSky(adding.temp, folder, "t");
        for (const auto& [name, bytes] : test.files) {
            adding.temp.WriteFile(folder + "\\" + name, bytes);
        }
        const AddOutcome outcome = adding.Add({adding.Download("wrapper")});
        ASSERT_EQ(outcome.added.size(), 1U);
        EXPECT_EQ(test::ThumbnailFill(adding.temp.ReadFile(adding.Set(2) + "\\ZT2.bmp")),
                  test.fill);
    }
}

TEST(AddSets, ANewSetTakesTheLowestFreeNumberFromSetCountUp) {
    Adding adding(2);
    test::WriteSkyFiles(adding.temp, adding.Set(5), "ZT5");
    adding.temp.WriteFile(adding.Set(6), "a file, not a set");
    adding.temp.MakeFolder(adding.Set(7) + ".skyswap-tmp");
    adding.temp.WriteFile(adding.Set(7) + ".skyswap-tmp\\bnhorizn.ter", "left by a crash");
    // Something else was put into this one: it stays, and its number is passed over.
    adding.temp.MakeFolder(adding.Set(8) + ".skyswap-tmp\\not ours");
    adding.state = test::StateFor(adding.temp);
    ASSERT_EQ(adding.state.setCount, 6);
    WriteDownloadSky(adding.temp, adding.Download("one"), "one");
    WriteDownloadSky(adding.temp, adding.Download("two"), "two");

    const AddOutcome outcome = adding.Add({adding.Download("one"), adding.Download("two")});

    EXPECT_EQ(AddedLines(outcome), (Names{"Added ZT7: one", "Added ZT9: two"}));
    EXPECT_EQ(adding.TagsOf(7, {"one"}), Names(10, "one")) << "the crash's leftover is gone";
    EXPECT_EQ(adding.Library(),
              (Names{"ZT0", "ZT1", "ZT5", "ZT6", "ZT7", "ZT8.skyswap-tmp", "ZT9"}));
    EXPECT_TRUE(adding.temp.Exists(adding.Set(8) + ".skyswap-tmp\\not ours"));
    ApplyAdded(adding.state, outcome);
    EXPECT_EQ(adding.state.setNumbers, (std::vector<int32_t>{0, 1, 5, 7, 9}));
    EXPECT_EQ(adding.state.setCount, 10);
}

TEST(AddSets, ASkyAlreadyInTheLibraryIsNotAddedAgain) {
    Adding adding(2);
    test::WriteSkyFiles(adding.temp, adding.Download("copy of one"), "ZT1");
    WriteDownloadSky(adding.temp, adding.Download("new"), "new");
    WriteDownloadSky(adding.temp, adding.Download("new again"), "new");
    test::WriteSkyFiles(adding.temp, adding.Download("part of one"), "ZT1",
                        {"bnhorizn.ter", "cloud1.ter"});

    const AddOutcome outcome =
        adding.Add({adding.Download("copy of one"), adding.Download("new"),
                    adding.Download("new again"), adding.Download("part of one")});

    EXPECT_EQ(AddedLines(outcome), (Names{"Added ZT2: new", "Added ZT3: part of one"}));
    ASSERT_EQ(outcome.refused.size(), 2U);
    EXPECT_EQ(outcome.refused[0].reason, "copy of one is already in your library as ZT1");
    EXPECT_EQ(outcome.refused[1].reason, "new again is already in your library as ZT2");
    EXPECT_EQ(outcome.pathsWithoutSet, 2);
}

// Every download that cannot be added changes nothing and says why.
TEST(AddSets, EachRefusedDownloadChangesNothingAndSaysWhy) {
    const std::uint64_t mib = 1024 * 1024;
    struct Case {
        const char* name;            // in Downloads
        std::vector<FakeEntry> zip;  // for a .zip: its entries
        std::string reason;          // a part of the reason
        ArchiveError openError = ArchiveError::None;
    };
    const auto withSky = [](std::vector<FakeEntry> extra) {
        return Concat({SkyEntries("Sky/", "z"), std::move(extra)});
    };
    const std::vector<Case> cases = {
        {"missing", {}, "It cannot be found."},
        {"sky.7z", {}, "SkySwap reads ZIP archives; unpack this one and add its folder"},
        {"sky.RAR", {}, "SkySwap reads ZIP archives; unpack this one and add its folder"},
        {"sky.jpg", {}, "neither a folder nor a ZIP archive"},
        {"noise.zip", {}, "not a ZIP archive", ArchiveError::NotAnArchive},
        {"locked.zip", {}, "cannot be read", ArchiveError::Unreadable},
        {"empty.zip", {{"readme.txt", "nothing else"}}, "none of the sky files"},
        {"deep.zip", SkyEntries("1/2/3/4/", "deep"), "none of the sky files"},
        {"up.zip", withSky({{"../evil.txt", "x"}}), "unsafe name (../evil.txt)"},
        {"up2.zip", withSky({{"Sky\\..\\..\\evil.txt", "x"}}), "unsafe name"},
        {"absolute.zip", withSky({{"/etc/evil.txt", "x"}}), "unsafe name"},
        {"backslash.zip", withSky({{"\\evil.txt", "x"}}), "unsafe name"},
        {"drive.zip", withSky({{"C:/evil.txt", "x"}}), "unsafe name"},
        {"stream.zip", withSky({{"Sky/readme.txt:hidden", "x"}}), "unsafe name"},
        {"con-name.zip", withSky({{"CON", "x"}}), "unsafe name (CON)"},
        {"nul-name.zip", withSky({{"Sky/nul.txt", "x"}}), "unsafe name"},
        {"com.zip", withSky({{"Sky/com1.ter", "x"}}), "unsafe name"},
        {"lpt.zip", withSky({{"LPT9 .txt", "x"}}), "unsafe name"},
        {"control.zip", withSky({{"Sky/a\x01.txt", "x"}}), "unsafe name"},
        // A NUL would end the name where Windows reads it; the message shows it as its symbol.
        {"nul-inside.zip", withSky({{std::string("Sky/a.txt\0../../x.ter", 21), "x"}}),
         "unsafe name (Sky/a.txt\xE2\x90\x80../../x.ter)"},
        {"trailing-dot.zip", withSky({{"Sky/cloud1.ter.", "x"}}), "unsafe name"},
        {"trailing-space.zip", withSky({{"Sky/readme.txt ", "x"}}), "unsafe name"},
        {"folder-dot.zip", withSky({{"Sky./bnhorizn.ter", "x"}}), "unsafe name"},
        {"short-name.zip", withSky({{"Sky/CLOUD1~1.TER", "x"}}), "unsafe name"},
        {"wildcard.zip", withSky({{"Sky/*.txt", "x"}}), "unsafe name"},
        {"question.zip", withSky({{"Sky/why?.txt", "x"}}), "unsafe name"},
        {"angle.zip", withSky({{"Sky/<b>.txt", "x"}}), "unsafe name"},
        {"pipe.zip", withSky({{"Sky/a|b.txt", "x"}}), "unsafe name"},
        {"quote.zip", withSky({{"Sky/\"a\".txt", "x"}}), "unsafe name"},
        {"com-spaces.zip", withSky({{"Sky/COM1  .ter", "x"}}), "unsafe name"},
        {"aux-spaces.zip", withSky({{"aux   .txt", "x"}}), "unsafe name"},
        {"com0.zip", withSky({{"Sky/COM0", "x"}}), "unsafe name"},
        {"lpt0.zip", withSky({{"Sky/lpt0.txt", "x"}}), "unsafe name"},
        {"com-super.zip", withSky({{"Sky/COM\xC2\xB2.ter", "x"}}), "unsafe name"},
        {"lpt-super.zip", withSky({{"LPT\xC2\xB9", "x"}}), "unsafe name"},
        // Names that Windows takes for one: whichever were taken, the set would be wrong.
        {"case-twins.zip", withSky({{"Sky/cloud1.ter", "the other one"}}),
         "Sky\\CLOUD1.TER and Sky\\cloud1.ter differ only in letter case"},
        {"folder-twins.zip", Concat({SkyEntries("Sky/", "z"), {{"SKY/readme.txt", "x"}}}),
         "Sky and SKY differ only in letter case"},
        {"folder-entry-twins.zip", Concat({{{"SKY/", ""}}, SkyEntries("Sky/", "z")}),
         "SKY and Sky differ only in letter case"},
        {"accent-twins.zip",
         withSky({{"Sky/\xC3\x89t\xC3\xA9.txt", "x"}, {"Sky/\xC3\xA9T\xC3\xA9.txt", "y"}}),
         "differ only in letter case"},
        {"twice.zip", withSky({{"Sky/readme.txt", "a"}, {"Sky/readme.txt", "b"}}),
         "It holds Sky\\readme.txt twice"},
        {"file-and-folder.zip", withSky({{"Sky/notes", "a"}, {"Sky/notes/b.txt", "b"}}), "twice"},
        {"encrypted.zip", withSky({{"Sky/readme.txt", "x", std::nullopt, true}}), "encrypted"},
        {"crc.zip", withSky({{"Sky/other.dat", "x", std::nullopt, false, ArchiveError::Damaged}}),
         "other.dat is damaged"},
        {"huge.zip", withSky({{"Sky/movie.avi", "x", 64 * mib + 1}}), "larger than 64 MiB"},
        {"huge-readme.zip", withSky({{"Sky/readme.txt", "x", 64 * mib + 1}}),
         "readme.txt is larger than 64 MiB, more than SkySwap takes from a sky download."},
        {"huge-sky.zip", withSky({{"Other/cloud1.ter", "x", 64 * mib + 1}}),
         "cloud1.ter is larger than 64 MiB, more than a sky file can be."},
        {"total.zip",
         withSky({{"a.dat", "x", 60 * mib},
                  {"b.dat", "x", 60 * mib},
                  {"c.dat", "x", 60 * mib},
                  {"d.dat", "x", 60 * mib},
                  {"e.dat", "x", 60 * mib},
                  {"f.dat", "x", 60 * mib},
                  {"g.dat", "x", 60 * mib},
                  {"h.dat", "x", 60 * mib},
                  {"i.dat", "x", 60 * mib}}),
         "more than 512 MiB"},
        {"nosky", {}, "none of the sky files"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Adding adding;
        const std::string download = adding.Download(test.name);
        if (std::string(test.name) == "nosky") {
            adding.temp.MakeFolder(download + "\\sub");
            adding.temp.WriteFile(download + "\\sub\\readme.txt", "x");
        } else if (std::string(test.name) != "missing") {
            adding.temp.WriteFile(download, "bytes");
        }
        if (test.openError != ArchiveError::None) {
            adding.archives.Fail(test.name, test.openError, {FsError::AccessDenied, "denied"});
        } else if (!test.zip.empty()) {
            adding.archives.Add(test.name, test.zip);
        }
        const Names before = adding.Library();

        const AddOutcome outcome = adding.Add({download});

        EXPECT_TRUE(outcome.added.empty());
        ASSERT_EQ(outcome.refused.size(), 1U);
        EXPECT_NE(outcome.refused[0].reason.find(test.reason), std::string::npos)
            << outcome.refused[0].reason;
        EXPECT_EQ(RefusalLines(outcome),
                  Names{adding.temp.Join(download) + ": " + outcome.refused[0].reason});
        EXPECT_EQ(outcome.pathsWithoutSet, 1);
        EXPECT_EQ(outcome.ExitCode(), 1);
        EXPECT_FALSE(outcome.libraryProtected);
        EXPECT_EQ(adding.Library(), before) << "nothing written, no temporary folder";
        EXPECT_TRUE(adding.pictures.tried.empty());
    }
}

// A fault while the set is written removes what was staged, adds nothing and says why.
TEST(AddSets, AFaultWhileWritingLeavesNoHalfMadeSet) {
    using test::FsOperation;
    struct Case {
        const char* what;
        FsOperation operation;
        const char* pathEnd;
        FsError error;
        const char* reason;
        bool libraryProtected;
    };
    const std::vector<Case> cases = {
        {"a full disk", FsOperation::WriteFlushed, "bncloud1.ter", FsError::DiskFull,
         "There is not enough room on the disk for ZT2\\bncloud1.ter", false},
        {"the thumbnail", FsOperation::WriteFlushed, "ZT2.bmp", FsError::Other,
         "ZT2\\ZT2.bmp cannot be written: planted fault", false},
        {"the description", FsOperation::WriteFlushed, "ZT2.txt", FsError::ReadOnly,
         "ZT2\\ZT2.txt cannot be written: the disk is read-only", false},
        {"the rename", FsOperation::RenameFolder, "ZT2", FsError::InUse, "ZT2 cannot be written",
         false},
        {"a protected library", FsOperation::CreateFolder, "ZT2.skyswap-tmp", FsError::AccessDenied,
         "Windows protects the library folder", true},
        {"an unreadable download file", FsOperation::ReadAt, "BNCLOUD2.TER", FsError::Other,
         "BNCLOUD2.TER cannot be read: planted fault", false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Adding adding;
        const std::string folder = adding.Download("sky");
        WriteDownloadSky(adding.temp, folder, "sky");
        adding.temp.WriteFile(folder + "\\preview.png", Picture('P'));
        test::FaultyFileSystem faulty(*adding.fs);
        faulty.Fail(test.operation, test.pathEnd, test.error);

        const AddOutcome outcome = adding.Add({folder}, &faulty);

        EXPECT_TRUE(outcome.added.empty());
        ASSERT_EQ(outcome.refused.size(), 1U);
        EXPECT_NE(outcome.refused[0].reason.find(test.reason), std::string::npos)
            << outcome.refused[0].reason;
        EXPECT_NE(outcome.refused[0].reason.find("Nothing was added."), std::string::npos);
        EXPECT_EQ(outcome.libraryProtected, test.libraryProtected);
        EXPECT_EQ(adding.Library(), (Names{"ZT0", "ZT1"}));
        EXPECT_EQ(outcome.ExitCode(), 1);
    }
}

// A ZIP's sky files are unpacked as they are written, so one that fails only then (damaged, or
// the archive changed, or the disk failed) still leaves no half-made set; a pack's are checked
// first, so that one damaged sky refuses the whole pack before any set is made.
TEST(AddSets, ASkyFileThatFailsWhenUnpackedLeavesNoHalfMadeSet) {
    struct Case {
        const char* what;
        std::string damagedFolder;  // of the first sky file that fails
        int failsFromRead;
        Names library;  // afterwards
    };
    const std::vector<Case> cases = {
        {"a damaged sky file", "Sky/", 1, {"ZT0", "ZT1"}},
        {"a pack with one damaged sky", "Pack/b/", 1, {"ZT0", "ZT1"}},
        {"a pack's sky file that changed since it was checked",
         "Pack/b/",
         2,
         {"ZT0", "ZT1", "ZT2"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Adding adding;
        const bool pack = test.damagedFolder == "Pack/b/";
        std::vector<FakeEntry> entries =
            pack ? Concat({SkyEntries("Pack/a/", "a"), SkyEntries("Pack/b/", "b")})
                 : SkyEntries("Sky/", "z");
        FakeEntry& damaged = entries[pack ? 13 : 3];
        damaged.readError = ArchiveError::Damaged;
        damaged.failsFromRead = test.failsFromRead;
        const std::string damagedName = damaged.name;
        entries.push_back({test.damagedFolder + "preview.png", Picture('P')});
        adding.archives.Add("sky.zip", entries);
        const std::string download = adding.Download("sky.zip");
        adding.temp.WriteFile(download, "bytes");

        const AddOutcome outcome = adding.Add({download});

        EXPECT_EQ(outcome.added.size(), test.library.size() - 2);
        ASSERT_EQ(outcome.refused.size(), 1U);
        EXPECT_NE(outcome.refused[0].reason.find(damagedName + " is damaged"), std::string::npos)
            << outcome.refused[0].reason;
        EXPECT_EQ(adding.Library(), test.library) << "no half-made set, no temporary folder";
    }
}

// Only a refused staging folder means Windows protects the library. A scanner, the indexer or a
// sync client reading the files just written refuses the rename (or a write) for a while, even
// with "access denied": that is waited for, and never offered the administrator restart.
TEST(AddSets, AReaderHoldingTheNewFolderIsWaitedForAndIsNoProtection) {
    using test::FsOperation;
    struct Case {
        const char* what;
        FsOperation operation;
        const char* pathEnd;
        FsError error;
        int times;
        bool added;
    };
    const std::vector<Case> cases = {
        {"a rename refused twice", FsOperation::RenameFolder, "ZT2", FsError::AccessDenied, 2,
         true},
        {"a rename held twice", FsOperation::RenameFolder, "ZT2", FsError::InUse, 2, true},
        {"a rename always refused", FsOperation::RenameFolder, "ZT2", FsError::AccessDenied, -1,
         false},
        {"a file refused in the new folder", FsOperation::WriteFlushed, "bncloud1.ter",
         FsError::AccessDenied, -1, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Adding adding;
        const std::string folder = adding.Download("sky");
        WriteDownloadSky(adding.temp, folder, "sky");
        test::FaultyFileSystem faulty(*adding.fs);
        faulty.Fail(test.operation, test.pathEnd, test.error, test.times);

        const AddOutcome outcome = adding.Add({folder}, &faulty);

        EXPECT_FALSE(outcome.libraryProtected);
        if (test.added) {
            ASSERT_EQ(outcome.added.size(), 1U);
            EXPECT_TRUE(outcome.refused.empty());
            EXPECT_EQ(adding.Library(), (Names{"ZT0", "ZT1", "ZT2"}));
            EXPECT_EQ(adding.TagsOf(2, {"sky"}), Names(10, "sky"));
            continue;
        }
        EXPECT_TRUE(outcome.added.empty());
        ASSERT_EQ(outcome.refused.size(), 1U);
        EXPECT_EQ(outcome.refused[0].reason.find("administrator"), std::string::npos)
            << outcome.refused[0].reason;
        EXPECT_EQ(adding.Library(), (Names{"ZT0", "ZT1"})) << "neither ZT2 nor ZT2.skyswap-tmp";
        if (test.operation == FsOperation::RenameFolder) {
            EXPECT_GT(faulty.pausedMs(), 0) << "the rename was retried";
            EXPECT_EQ(outcome.refused[0].reason,
                      "ZT2 cannot be written: the new folder ZT2.skyswap-tmp could not be renamed "
                      "to ZT2 (planted fault); a virus scanner, the indexer or a sync client may "
                      "still have been reading it. Try again in a moment. Nothing was added.");
        }
    }
}

TEST(AddSets, ALibraryWindowsProtectsOffersTheAdministratorRestart) {
    Adding adding;
    WriteDownloadSky(adding.temp, adding.Download("sky"), "sky");
    adding.temp.WriteFile(adding.Download("pack.zip"), "zip");
    adding.archives.Add("pack.zip", Concat({SkyEntries("a/", "a"), SkyEntries("b/", "b")}));
    test::ProtectedFolderFileSystem protectedLibrary(*adding.fs, adding.temp.Join(kLibrary));

    const AddOutcome outcome =
        adding.Add({adding.Download("sky"), adding.Download("pack.zip")}, &protectedLibrary);

    EXPECT_TRUE(outcome.added.empty());
    EXPECT_TRUE(outcome.libraryProtected);
    ASSERT_EQ(outcome.refused.size(), 2U) << "one line per download, not per set of the pack";
    EXPECT_EQ(outcome.refused[1].reason,
              "Windows protects the library folder " + adding.temp.Join(kLibrary) +
                  ". SkySwap needs administrator rights to add sets there. Nothing was added.");
    EXPECT_EQ(outcome.pathsWithoutSet, 2);
    EXPECT_EQ(adding.Library(), (Names{"ZT0", "ZT1"}));
}

TEST(AddSets, EachPathIsHandledOnItsOwnUntilCancelled) {
    Adding adding;
    WriteDownloadSky(adding.temp, adding.Download("first"), "first");
    adding.temp.WriteFile(adding.Download("broken.zip"), "zip");
    adding.archives.Fail("broken.zip", ArchiveError::NotAnArchive);
    adding.temp.WriteFile(adding.Download("second.zip"), "zip");
    adding.archives.Add("second.zip", SkyEntries("", "second"));

    const AddOutcome outcome =
        adding.Add({adding.Download("first"), adding.Download("broken.zip"),
                    adding.Download("missing"), adding.Download("second.zip")});
    EXPECT_EQ(AddedLines(outcome), (Names{"Added ZT2: first", "Added ZT3: second"}));
    EXPECT_EQ(outcome.refused.size(), 2U);
    EXPECT_EQ(outcome.pathsWithoutSet, 2);
    EXPECT_EQ(outcome.ExitCode(), 1);

    const std::atomic<bool> cancel{true};
    WriteDownloadSky(adding.temp, adding.Download("third"), "third");
    const AddOutcome cancelled = adding.Add({adding.Download("third")}, nullptr, &cancel);
    EXPECT_TRUE(cancelled.added.empty());
    EXPECT_TRUE(cancelled.refused.empty());
}

TEST(AddSets, EntryNamesThatCouldReachOutOfTheSetFolderAreUnsafe) {
    const Names safe = {
        "Sky/bnhorizn.ter", "a/b/c/readme.txt", "Pack/", "console.txt", "COM10.txt", "nul-sky/x",
        "..hidden",         "Sky\\cloud1.ter",  "a/./b", "LPT.txt",     "comet"};
    for (const std::string& name : safe) {
        EXPECT_TRUE(IsSafeEntryName(name)) << name;
    }
    const Names unsafe = {
        "",     "../x",     "a/../../x", "a\\..\\b", "..",          "/etc/x",  "\\x",
        "C:/x", "C:x",      "a:b",       "CON",      "con.txt",     "Sky/NUL", "aux .ter",
        "COM1", "lpt9.txt", "PRN/x",     "CONIN$",   "com\xC2\xB9", "a\x01z",  "sky\x7f"};
    // Names Windows cannot hold as they are, or holds as another file.
    const Names unsafe2 = {std::string("a.txt\0b", 7),
                           "a.",
                           "a ",
                           "x./y",
                           "x /y",
                           "CLOUD1~1.TER",
                           "Sky/PROGR~12",
                           "A~1",
                           "a*b",
                           "a?b",
                           "a<b",
                           "a>b",
                           "a|b",
                           "a\"b",
                           "COM1  .ter",
                           "aux   .txt",
                           "COM0",
                           "lpt0.txt",
                           "LPT\xC2\xB3 .txt"};
    for (const std::string& name : unsafe2) {
        EXPECT_FALSE(IsSafeEntryName(name)) << name;
    }
    // Tildes that no short name has: a long base, a space, no digit after it, none before.
    for (const char* name :
         {"LONGNAME~1.txt", "Sky shot~2.jpg", "readme~.txt", "~1.txt", "a~1b.txt", "a~1.text"}) {
        EXPECT_TRUE(IsSafeEntryName(name)) << name;
    }
    for (const std::string& name : unsafe) {
        EXPECT_FALSE(IsSafeEntryName(name)) << name;
    }
}

// A folder download as a file system lists it, shaped by the test where this disk cannot show
// it: names that differ only in letter case (Windows holds one of them), links, a file's size
// beyond the limit, thousands of folders.
class ShapedFolders final : public skyswap::ForwardingFileSystem {
  public:
    using ForwardingFileSystem::ForwardingFileSystem;

    FsStatus ListFolder(const std::string& path, std::vector<FolderEntry>& entries) override {
        if (!virtualFolders.empty() && path.rfind(virtualFolders, 0) == 0) {
            entries.clear();
            return {};
        }
        const FsStatus status = real_.ListFolder(path, entries);
        // The download's top may come with a separator after it.
        const std::string folder =
            !path.empty() && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
        for (const auto& [end, added] : extra) {
            if (EndsWith(folder, end)) {
                entries.insert(entries.end(), added.begin(), added.end());
            }
        }
        for (FolderEntry& entry : entries) {
            entry.isLink = entry.isLink || links.count(LastName(folder) + "\\" + entry.name) != 0;
        }
        return status;
    }
    FsStatus FileSize(const std::string& path, std::uint64_t& size) override {
        for (const auto& [end, faked] : sizes) {
            if (EndsWith(path, end)) {
                size = faked;
                return {};
            }
        }
        return real_.FileSize(path, size);
    }

    std::map<std::string, std::vector<FolderEntry>> extra;  // more entries, by the folder's end
    std::set<std::string> links;                 // entries that are links: "folder\\name"
    std::map<std::string, std::uint64_t> sizes;  // by the file's path end
    std::string virtualFolders;                  // folders below this path are listed empty

  private:
    static bool EndsWith(const std::string& text, const std::string& end) {
        return text.size() >= end.size() &&
               text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
};

TEST(AddSets, AFolderIsWalkedAsWindowsHoldsItWithoutFollowingLinks) {
    struct Case {
        const char* what;
        std::function<void(Adding&, ShapedFolders&)> shape;  // of the download "sky"
        Names added;
        const char* reason;  // a part of the refusal, none when empty
    };
    const auto twin = [](const std::string& folderEnd, const std::string& name, bool isFolder) {
        return [=](Adding&, ShapedFolders& fs) {
            fs.extra[folderEnd].push_back({name, isFolder, {}, false});
        };
    };
    const std::vector<Case> cases = {
        {"a file twice in letter case",
         twin("\\sky", "cloud1.ter", false),
         {},
         "Its names CLOUD1.TER and cloud1.ter differ only in letter case, and Windows takes them "
         "for one, so nothing was added."},
        {"a folder twice in letter case",
         [](Adding& adding, ShapedFolders& fs) {
             WriteDownloadSky(adding.temp, adding.Download("sky\\Dusk"), "dusk");
             fs.extra["\\sky"].push_back({"DUSK", true, {}, false});
         },
         {},
         "differ only in letter case"},
        {"a linked sky file",
         [](Adding&, ShapedFolders& fs) { fs.links.insert("sky\\BNCLOUD1.TER"); },
         {},
         "Its file BNCLOUD1.TER is a link to another place"},
        {"a linked folder is not entered",
         [](Adding& adding, ShapedFolders& fs) {
             WriteDownloadSky(adding.temp, adding.Download("sky\\loop"), "loop");
             fs.links.insert("sky\\loop");
         },
         {"Added ZT2: sky"},
         ""},
        {"a linked readme is not taken",
         [](Adding& adding, ShapedFolders& fs) {
             adding.temp.WriteFile(adding.Download("sky\\readme.txt"), "elsewhere");
             fs.links.insert("sky\\readme.txt");
         },
         {"Added ZT2: sky"},
         ""},
        {"a sky file over 64 MiB",
         [](Adding&, ShapedFolders& fs) { fs.sizes["BNCLOUD1.TER"] = 64ULL * 1024 * 1024 + 1; },
         {},
         "BNCLOUD1.TER is larger than 64 MiB, more than a sky file can be. Nothing was added."},
        {"5001 folders",
         [](Adding& adding, ShapedFolders& fs) {
             for (int i = 0; i < 5001; ++i) {
                 fs.extra["\\sky"].push_back({"f" + std::to_string(i), true, {}, false});
             }
             fs.virtualFolders = adding.temp.Join(adding.Download("sky\\f"));
         },
         {},
         "It holds more than 5000 folders"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        Adding adding;
        WriteDownloadSky(adding.temp, adding.Download("sky"), "sky");
        ShapedFolders shaped(*adding.fs);
        test.shape(adding, shaped);

        const AddOutcome outcome = adding.Add({adding.Download("sky")}, &shaped);

        EXPECT_EQ(AddedLines(outcome), test.added) << testing::PrintToString(RefusalLines(outcome));
        if (std::string(test.reason).empty()) {
            EXPECT_TRUE(outcome.refused.empty());
            EXPECT_EQ(adding.TagsOf(2, {"sky"}), Names(10, "sky"));
            EXPECT_FALSE(adding.temp.Exists(adding.Set(2) + "\\readme.txt"));
            continue;
        }
        ASSERT_EQ(outcome.refused.size(), 1U);
        EXPECT_NE(outcome.refused[0].reason.find(test.reason), std::string::npos)
            << outcome.refused[0].reason;
        EXPECT_EQ(outcome.ExitCode(), 1);
        EXPECT_EQ(adding.Library(), (Names{"ZT0", "ZT1"}));
    }
}

TEST(AddSets, AReadmeNameTooLongForWindowsIsCutAndTheSkyIsAdded) {
    Adding adding;
    adding.temp.WriteFile(adding.Download("long.zip"), "zip");
    const std::string r(300, 'r');
    adding.archives.Add("long.zip", Concat({SkyEntries("Sky/", "z"),
                                            {{"Sky/" + r + ".txt", "first readme"}},
                                            {{"Sky/" + r + "s.txt", "second readme"}},
                                            {{"Sky/short.txt", "short"}}}));

    const AddOutcome outcome = adding.Add({adding.Download("long.zip")});

    ASSERT_EQ(AddedLines(outcome), Names{"Added ZT2: long"})
        << testing::PrintToString(RefusalLines(outcome));
    EXPECT_EQ(outcome.ExitCode(), 0);
    EXPECT_EQ(adding.TagsOf(2, {"z"}), Names(10, "z"));
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(2) + "\\" + std::string(251, 'r') + ".txt"),
              "first readme");
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(2) + "\\" + std::string(247, 'r') + " (2).txt"),
              "second readme");
    EXPECT_EQ(adding.temp.ReadFile(adding.Set(2) + "\\short.txt"), "short");

    // Counted in UTF-16 as Windows counts, cut between characters, without a trailing space.
    const std::string smile = "\xF0\x9F\x98\x80";  // two UTF-16 units
    std::string smiles;
    for (int i = 0; i < 200; ++i) {
        smiles += smile;
    }
    DownloadFile wide;
    wide.name = smiles + ".md";
    DownloadFile spaced;
    spaced.name = std::string(250, 'a') + "   " + std::string(10, 'b') + ".NFO";
    const std::vector<std::string> names = TextFileNames({&wide, &spaced});
    ASSERT_EQ(names.size(), 2U);
    EXPECT_EQ(names[0], smiles.substr(0, 126 * smile.size()) + ".md");
    EXPECT_EQ(names[1], std::string(250, 'a') + ".NFO");
}

TEST(AddSets, PacksComeInNaturalOrder) {
    Adding adding;
    adding.temp.WriteFile(adding.Download("pack.zip"), "zip");
    adding.archives.Add(
        "pack.zip",
        Concat({SkyEntries("Pack/Sky 10/", "ten"), SkyEntries("Pack/Sky 2/", "two"),
                SkyEntries("Pack/sky 1/", "one"), SkyEntries("Pack/Sky 02b/", "twob")}));
    EXPECT_EQ(AddedLines(adding.Add({adding.Download("pack.zip")})),
              (Names{"Added ZT2: pack - sky 1", "Added ZT3: pack - Sky 2",
                     "Added ZT4: pack - Sky 02b", "Added ZT5: pack - Sky 10"}));
    const std::vector<std::pair<std::string, std::string>> ordered = {
        {"Sky 2", "Sky 10"}, {"sky 9", "Sky 10"}, {"Pack\\A", "Pack A"},
        {"a7", "a007"},      {"Sky", "Sky 1"},    {"Dawn 3\\x", "Dawn 12"}};
    for (const auto& [before, after] : ordered) {
        EXPECT_TRUE(FolderBefore(before, after)) << before << " before " << after;
        EXPECT_FALSE(FolderBefore(after, before)) << after << " after " << before;
    }
}

TEST(AddSets, APathWithForwardSlashesOrATrailingSeparatorNamesTheSameDownload) {
    Adding adding;
    adding.temp.WriteFile(adding.Download("Dawn Patrol.zip"), "zip");
    adding.archives.Add("Dawn Patrol.zip", SkyEntries("", "dawn"));
    WriteDownloadSky(adding.temp, adding.Download("Stormy Evening"), "storm");
    WriteDownloadSky(adding.temp, adding.Download("Clear Noon"), "noon");
    const auto forward = [](std::string path) {
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    };
    const Names paths = {forward(adding.temp.Join(adding.Download("Dawn Patrol.zip"))),
                         adding.temp.Join(adding.Download("Stormy Evening")) + "\\",
                         forward(adding.temp.Join(adding.Download("Clear Noon"))) + "/"};

    const AddOutcome outcome =
        AddDownloads(adding.state, {*adding.fs, adding.archives, adding.pictures}, paths);

    EXPECT_EQ(AddedLines(outcome), (Names{"Added ZT2: Dawn Patrol", "Added ZT3: Stormy Evening",
                                          "Added ZT4: Clear Noon"}))
        << testing::PrintToString(RefusalLines(outcome));
    ASSERT_EQ(outcome.added.size(), 3U);
    EXPECT_EQ(outcome.added[0].source, paths[0]) << "the path as given";
}

// The real ZIP reader hands over the whole stored name: cut at a NUL, the entry would pass for
// the harmless name before it.
TEST(AddSets, ARealZipWithANulInsideANameIsRefused) {
    Adding adding;
    std::vector<test::ZipItem> items;
    for (const std::string& name : test::SkyFileNames()) {
        items.push_back({"Sky/" + name, test::SkyFileBytes("z", name)});
    }
    items.push_back({"Sky/a.txt@../../x.ter", "x"});
    std::string zip = test::MakeZip(items);
    test::RenameEntries(zip, "Sky/a.txt@../../x.ter", std::string("Sky/a.txt\0../../x.ter", 21));
    adding.temp.WriteFile(adding.Download("zero in a name.zip"), zip);
    const std::unique_ptr<ArchiveOpener> opener = MakeZipArchiveOpener();

    const AddOutcome outcome =
        AddDownloads(adding.state, {*adding.fs, *opener, adding.pictures},
                     {adding.temp.Join(adding.Download("zero in a name.zip"))});

    EXPECT_TRUE(outcome.added.empty());
    ASSERT_EQ(outcome.refused.size(), 1U);
    EXPECT_NE(outcome.refused[0].reason.find("unsafe name"), std::string::npos)
        << outcome.refused[0].reason;
    EXPECT_EQ(adding.Library(), (Names{"ZT0", "ZT1"}));
}

}  // namespace
}  // namespace skyswap
