#include "forwarding_file_system.h"
#include "recognition.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "game_transfers.h"

#include "messages.h"
#include "support/faulty_file_system.h"
#include "support/sky_library.h"
#include "support/test_support.h"

namespace skyswap {
namespace {

using test::kGame;
using test::kLibrary;
using test::TempFolder;

struct Library {
    explicit Library(int sets) {
        test::MakeLibrary(temp, sets);
        state = test::StateFor(temp);
    }
    std::string Set(int n) const { return std::string(kLibrary) + "\\ZT" + std::to_string(n); }
    InstalledSky Recognise() { return RecognizeInstalled(*fs, SnapshotOf(state)).installed; }

    TempFolder temp;
    AppState state;
    std::unique_ptr<FileSystem> fs = test::MakePlatformFileSystem();
};

TEST(Recognition, NamesTheSetTheDefaultTheGamesOwnOrNone) {
    Library library(4);
    EXPECT_EQ(library.Recognise(), InstalledSky::GameOwn()) << "none of the ten files";

    test::WriteSkyFiles(library.temp, kGame, "ZT2");
    EXPECT_EQ(library.Recognise(), InstalledSky::OfSet(2));

    // A copy of set 2 in ZTDef: the set wins, and ZTDef is known to be set 2.
    test::WriteSkyFiles(library.temp, std::string(kLibrary) + "\\ZTDef", "ZT2");
    Recognition both = RecognizeInstalled(*library.fs, SnapshotOf(library.state));
    EXPECT_EQ(both.installed, InstalledSky::OfSet(2));
    EXPECT_EQ(both.personalDefault, InstalledSky::OfSet(2));

    test::WriteSkyFiles(library.temp, std::string(kLibrary) + "\\ZTDef", "mine");
    test::WriteSkyFiles(library.temp, kGame, "mine");
    EXPECT_EQ(library.Recognise(), InstalledSky::PersonalDefault());

    test::WriteSkyFiles(library.temp, kGame, "friend's");
    EXPECT_EQ(library.Recognise(), InstalledSky::NotInLibrary());
}

TEST(Recognition, EveryFileMustMatchPresenceAndBytes) {
    Library library(3);
    // Nine files of set 1 and one of another sky: no set.
    test::WriteSkyFiles(library.temp, kGame, "ZT1");
    test::WriteSkyFiles(library.temp, kGame, "other", {"cloud2.ter"});
    EXPECT_EQ(library.Recognise(), InstalledSky::NotInLibrary());

    // A set holding two files matches a game holding exactly those two.
    test::WriteSkyFiles(library.temp, library.Set(3), "ZT3", {"bnhorizn.ter", "cloud1.ter"});
    library.state = test::StateFor(library.temp);
    for (const std::string& name : test::SkyFileNames()) {
        library.temp.WriteFile(std::string(kGame) + "\\" + name, "");
    }
    EXPECT_EQ(library.Recognise(), InstalledSky::NotInLibrary()) << "empty files are present";
    for (const std::string& name : test::SkyFileNames()) {
        library.fs->RemoveFile(library.temp.Join(std::string(kGame) + "\\" + name));
    }
    test::WriteSkyFiles(library.temp, kGame, "ZT3", {"bnhorizn.ter", "cloud1.ter"});
    EXPECT_EQ(library.Recognise(), InstalledSky::OfSet(3));
    // One file more than the set has: no longer the set.
    test::WriteSkyFiles(library.temp, kGame, "ZT3", {"cloud2.ter"});
    EXPECT_EQ(library.Recognise(), InstalledSky::NotInLibrary());
}

TEST(Recognition, FilesOfTheSameSizeThatDifferOnlyInTheLastByte) {
    Library library(2);
    const std::string big(200 * 1024 + 17, 'x');  // longer than one comparison chunk
    for (const std::string& name : test::SkyFileNames()) {
        library.temp.WriteFile(library.Set(0) + "\\" + name, big + "A");
        library.temp.WriteFile(library.Set(1) + "\\" + name,
                               big + (name == "cloud2.ter" ? "C" : "A"));
        library.temp.WriteFile(std::string(kGame) + "\\" + name,
                               big + (name == "cloud2.ter" ? "C" : "A"));
    }
    EXPECT_EQ(library.Recognise(), InstalledSky::OfSet(1));
}

TEST(Recognition, AnUnreadableSetDoesNotMatchAndTheOthersAreStillCompared) {
    Library library(3);
    test::WriteSkyFiles(library.temp, kGame, "ZT2");
    test::WriteSkyFiles(library.temp, library.Set(1), "ZT2");  // set 1 is a copy of set 2
    test::FaultyFileSystem faulty(*library.fs);
    faulty.Fail(test::FsOperation::ReadAt, "ZT1\\bncloud1.ter", FsError::AccessDenied);
    EXPECT_EQ(RecognizeInstalled(faulty, SnapshotOf(library.state)).installed,
              InstalledSky::OfSet(2));
    // The game's own file unreadable: in no set, so keeping it will say why.
    faulty.Fail(test::FsOperation::ReadAt, "Game\\bnhorizn.ter", FsError::AccessDenied);
    EXPECT_EQ(RecognizeInstalled(faulty, SnapshotOf(library.state)).installed,
              InstalledSky::NotInLibrary());
}

// What cannot be learned about a file never makes it match, and never makes a sky vanish.
TEST(Recognition, WhatCannotBeReadNeverPassesForAMatch) {
    struct Case {
        std::string what;
        std::function<void(test::FaultyFileSystem&)> plant;
        InstalledSky expected;
    };
    // The game holds set 1; set 3 is a copy of set 1.
    const std::vector<Case> cases = {
        {"a set file whose size is not known",
         [](test::FaultyFileSystem& fs) {
             fs.Fail(test::FsOperation::FileSize, "ZT1\\cloud1.ter", FsError::Other);
         },
         InstalledSky::OfSet(3)},
        {"a set folder that cannot be listed",
         [](test::FaultyFileSystem& fs) {
             fs.Fail(test::FsOperation::ListFolder, "ZT1", FsError::AccessDenied);
         },
         InstalledSky::OfSet(3)},
        {"a game file whose size is not known",
         [](test::FaultyFileSystem& fs) {
             fs.Fail(test::FsOperation::FileSize, "Game\\cloud2.ter", FsError::AccessDenied);
         },
         InstalledSky::NotInLibrary()},
        {"a game file that reads shorter than its size",
         [](test::FaultyFileSystem& fs) { fs.CutReads("Game\\bnhorizn.ter", 6); },
         InstalledSky::NotInLibrary()},
        {"a game file held by another program",
         [](test::FaultyFileSystem& fs) {
             fs.Fail(test::FsOperation::ReadAt, "Game\\bnhorizn.ter", FsError::InUse);
         },
         InstalledSky::OfSet(1)},
        {"nothing planted", [](test::FaultyFileSystem&) {}, InstalledSky::OfSet(1)},
    };
    for (const Case& c : cases) {
        Library library(4);
        test::WriteSkyFiles(library.temp, library.Set(3), "ZT1");
        test::WriteSkyFiles(library.temp, kGame, "ZT1");
        test::FaultyFileSystem faulty(*library.fs);
        c.plant(faulty);
        EXPECT_EQ(RecognizeInstalled(faulty, SnapshotOf(library.state)).installed, c.expected)
            << c.what;
    }

    // One game file of a sky in no set, whose size is not known: no built-in sky.
    Library library(2);
    test::WriteSkyFiles(library.temp, kGame, "friend", {"cloud2.ter"});
    test::FaultyFileSystem faulty(*library.fs);
    faulty.Fail(test::FsOperation::FileSize, "Game\\cloud2.ter", FsError::AccessDenied);
    EXPECT_EQ(RecognizeInstalled(faulty, SnapshotOf(library.state)).installed,
              InstalledSky::NotInLibrary());
    SkyKnowledge knowledge;
    knowledge.installed = InstalledSky::GameOwn();
    RefreshKnowledge(library.state, faulty, knowledge);
    EXPECT_EQ(knowledge.installed, InstalledSky::NotInLibrary()) << "so it is kept";

    // A game file cut short whose first bytes are a set's: not that set.
    Library cut(2);
    const std::string head(5000, 'h');
    cut.temp.WriteFile(cut.Set(0) + "\\cloud1.ter", head + "set zero");
    for (const std::string& name : test::SkyFileNames()) {
        if (name != "cloud1.ter") {
            cut.fs->RemoveFile(cut.temp.Join(cut.Set(0) + "\\" + name));
        }
    }
    cut.temp.WriteFile(std::string(kGame) + "\\cloud1.ter", head + "the game");
    test::FaultyFileSystem shortReads(*cut.fs);
    shortReads.CutReads("Game\\cloud1.ter", head.size());
    EXPECT_EQ(RecognizeInstalled(shortReads, SnapshotOf(cut.state)).installed,
              InstalledSky::NotInLibrary());
}

// A download's sky files are unpacked whole only for a set whose files begin as theirs do: the
// sets of a library mostly share their sizes and differ from the first bytes on.
TEST(Recognition, ADownloadsFileIsReadWholeOnlyWhenItsStartMatches) {
    TempFolder temp;
    const std::string library = temp.Join("Skies");
    const std::vector<std::string> names = test::SkyFileNames();
    const auto file = [](char fill, char last) {
        std::string bytes(6000, fill);
        bytes.back() = last;
        return bytes;
    };
    temp.MakeFolder("Skies\\ZT0");
    temp.MakeFolder("Skies\\ZT1");
    for (std::size_t i = 0; i < names.size(); ++i) {
        temp.WriteFile("Skies\\ZT0\\" + names[i], file('a', 'x'));
        temp.WriteFile("Skies\\ZT1\\" + names[i], file('b', 'x'));
    }
    auto fs = test::MakePlatformFileSystem();
    const struct {
        const char* what;
        std::string download;  // each of its ten files
        bool startsReadable;
        std::optional<int32_t> found;
        int wholeReads;  // the first differing file's, or all ten of a match
    } cases[] = {
        {"another sky", file('c', 'x'), true, std::nullopt, 0},
        {"a start like ZT1's", file('b', 'y'), true, std::nullopt, 1},
        {"ZT1's sky", file('b', 'x'), true, 1, 10},
        {"starts that cannot be read", file('b', 'x'), false, std::nullopt, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PendingSkyFiles pending;
        int wholeReads = 0;
        for (std::size_t i = 0; i < names.size(); ++i) {
            pending.sizes[i] = c.download.size();
        }
        pending.read = [&](std::size_t, std::string& bytes) {
            ++wholeReads;
            bytes = c.download;
            return true;
        };
        pending.readStart = [&](std::size_t, std::size_t count, std::string& bytes) {
            bytes = c.download.substr(0, count);
            return c.startsReadable;
        };
        EXPECT_EQ(SetHoldingFiles(*fs, library, {0, 1}, pending), c.found);
        EXPECT_EQ(wholeReads, c.wholeReads);
    }
}

TEST(Recognition, TwoIdenticalSetsNameTheLowest) {
    Library library(6);
    for (const int n : {4, 2, 5}) {
        test::WriteSkyFiles(library.temp, library.Set(n), "ZT9");
    }
    test::WriteSkyFiles(library.temp, kGame, "ZT9");
    EXPECT_EQ(library.Recognise(), InstalledSky::OfSet(2));
}

// Names and sizes of a set come from one listing of its folder, in any letter case.
TEST(Recognition, OneListingPerSetInAnyLetterCase) {
    Library library(5);
    for (const std::string& name : test::SkyFileNames()) {
        std::string upper = name;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        const std::string from = library.temp.Join(library.Set(4) + "\\" + name);
        library.fs->RemoveFile(from);
        library.temp.WriteFile(library.Set(4) + "\\" + upper, test::SkyFileBytes("ZT4", name));
    }
    test::WriteSkyFiles(library.temp, kGame, "ZT4");
    test::FaultyFileSystem counting(*library.fs);
    EXPECT_EQ(RecognizeInstalled(counting, SnapshotOf(library.state)).installed,
              InstalledSky::OfSet(4));
    EXPECT_EQ(counting.listings(), 6) << "five sets, then ZTDef";
    // The game's ten files are asked one by one. Where the listing has the sizes (Windows), no
    // set file is; else only where the comparison gets to it: the first file of each set that
    // differs, all ten of the set that matches.
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(library.fs->ListFolder(library.temp.Join(library.Set(0)), entries).ok());
    const bool listingHasSizes = entries.at(0).size.has_value();
    EXPECT_EQ(counting.sizeQueries(), listingHasSizes ? 10 : 10 + 4 + 10);
}

// A hidden file is left out of a listing but copied by a transfer: it still counts.
TEST(Recognition, AHiddenSetFileStillCounts) {
    Library library(3);
    test::WriteSkyFiles(library.temp, kGame, "ZT2");
    if (!library.temp.SetHidden(library.Set(2) + "\\cloud2.ter")) {
        GTEST_SKIP() << "no hidden attribute here";
    }
    EXPECT_EQ(library.Recognise(), InstalledSky::OfSet(2));
}

// A listing as Windows gives it: every file's size beside its name, and hidden files left out,
// on any system. Counts the reads of each folder's files.
class ListingFileSystem final : public skyswap::ForwardingFileSystem {
  public:
    ListingFileSystem(FileSystem& real, std::string hidden)
        : ForwardingFileSystem(real), real_(real), hidden_(std::move(hidden)) {}

    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override {
        std::vector<FolderEntry> all;
        const FsStatus status = real_.ListFolder(folder, all);
        entries.clear();
        for (FolderEntry& entry : all) {
            const std::string path = folder + "\\" + entry.name;
            if (path.size() >= hidden_.size() &&
                path.compare(path.size() - hidden_.size(), hidden_.size(), hidden_) == 0) {
                continue;
            }
            std::uint64_t size = 0;
            if (!entry.isFolder && real_.FileSize(path, size).ok()) {
                entry.size = size;
            }
            entries.push_back(std::move(entry));
        }
        return status;
    }
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes,
                        std::string& bytes) override {
        ++reads[FolderOf(path)];
        return real_.ReadPrefix(path, maxBytes, bytes);
    }
    FsStatus ReadAt(const std::string& path, std::uint64_t offset, std::size_t maxBytes,
                    std::string& bytes) override {
        ++reads[FolderOf(path)];
        return real_.ReadAt(path, offset, maxBytes, bytes);
    }

    std::map<std::string, int> reads;  // by the folder's last name

  private:
    static std::string FolderOf(const std::string& path) {
        const std::string folder = path.substr(0, path.rfind('\\'));
        return folder.substr(folder.rfind('\\') + 1);
    }
    FileSystem& real_;
    std::string hidden_;
};

TEST(Recognition, TheSizesOfTheListingDecideAndHiddenFilesStillCount) {
    Library library(3);
    test::WriteSkyFiles(library.temp, kGame, "ZT2");
    // Set 1 is set 2 with bytes after one file's end; set 0 is of other sizes throughout.
    test::WriteSkyFiles(library.temp, library.Set(1), "ZT2");
    library.temp.WriteFile(library.Set(1) + "\\cloud1.ter",
                           test::SkyFileBytes("ZT2", "cloud1.ter") + "more");
    test::WriteSkyFiles(library.temp, library.Set(0), "a sky of quite another size");
    // Windows leaves hidden files out of a listing; set 2's hidden file is asked for directly.
    ListingFileSystem listing(*library.fs, library.Set(2) + "\\cloud2.ter");
    EXPECT_EQ(RecognizeInstalled(listing, SnapshotOf(library.state)).installed,
              InstalledSky::OfSet(2));
    EXPECT_EQ(listing.reads["ZT0"], 0) << "a set of other sizes is never read";
}

// Knowledge is checked against the folders, and a set emptied since no longer names the sky.
TEST(Recognition, KnowledgeOfASetThatWasEmptiedIsDropped) {
    Library library(3);
    SkyKnowledge knowledge;
    knowledge.installed = InstalledSky::OfSet(1);
    ClearSkyFiles(*library.fs, library.temp.Join(library.Set(1)));
    RefreshKnowledge(library.state, *library.fs, knowledge);
    EXPECT_EQ(knowledge.installed, InstalledSky::GameOwn());
}

TEST(Recognition, EmptyAndLargeLibraries) {
    Library none(0);
    test::WriteSkyFiles(none.temp, kGame, "ZT0");
    EXPECT_EQ(none.Recognise(), InstalledSky::NotInLibrary());

    Library one(1);
    test::WriteSkyFiles(one.temp, kGame, "ZT0");
    EXPECT_EQ(one.Recognise(), InstalledSky::OfSet(0));

    // 10,000 sets; every hundredth holds a file of the game's size, and only the last matches.
    TempFolder temp;
    test::MakeLibrary(temp, 0);
    auto fs = test::MakePlatformFileSystem();
    const std::string bytes(64, 's');
    for (int n = 0; n < 10000; ++n) {
        const std::string folder = temp.Join(std::string(kLibrary) + "\\ZT" + std::to_string(n));
        ASSERT_TRUE(fs->CreateFolder(folder).ok());
        if (n % 100 == 99) {
            std::string sky = bytes;
            sky.replace(sky.size() - 4, 4, std::to_string(1000 + n / 10));
            temp.WriteFile(std::string(kLibrary) + "\\ZT" + std::to_string(n) + "\\bnhorizn.ter",
                           sky);
            if (n == 9999) {
                temp.WriteFile(std::string(kGame) + "\\bnhorizn.ter", sky);
            }
        }
    }
    AppState state = test::StateFor(temp);
    ASSERT_EQ(state.setCount, 10000);
    EXPECT_EQ(RecognizeInstalled(*fs, SnapshotOf(state)).installed, InstalledSky::OfSet(9999));

    std::atomic<bool> cancel{true};
    EXPECT_TRUE(RecognizeInstalled(*fs, SnapshotOf(state), &cancel).cancelled);
}

// A file system that decorates another without knowing sizes or offsets: recognition goes
// through the interface's own FileSize and ReadAt, built on ReadPrefix.
class PrefixOnly final : public skyswap::ForwardingFileSystem {
  public:
    using ForwardingFileSystem::ForwardingFileSystem;
};

TEST(Recognition, WorksThroughAFileSystemThatOnlyReadsPrefixes) {
    Library library(3);
    const std::string big(600 * 1024, 'b');  // beyond the first prefixes the sizes are read in
    for (const int n : {1, 2}) {
        library.temp.WriteFile(library.Set(n) + "\\cloud1.ter", big + std::to_string(n));
    }
    library.temp.WriteFile(std::string(kGame) + "\\cloud1.ter", big + "2");
    PrefixOnly prefixOnly(*library.fs);
    std::uint64_t size = 0;
    ASSERT_TRUE(
        prefixOnly.FileSize(library.temp.Join(std::string(kGame) + "\\cloud1.ter"), size).ok());
    EXPECT_EQ(size, big.size() + 1);
    EXPECT_EQ(prefixOnly.FileSize(library.temp.Join("absent.ter"), size).error, FsError::NotFound);
    EXPECT_EQ(RecognizeInstalled(prefixOnly, SnapshotOf(library.state)).installed,
              InstalledSky::NotInLibrary())
        << "sets 1 and 2 hold nine more files than the game";
    for (const std::string& name : test::SkyFileNames()) {
        if (name != "cloud1.ter") {
            library.fs->RemoveFile(library.temp.Join(library.Set(2) + "\\" + name));
        }
    }
    EXPECT_EQ(RecognizeInstalled(prefixOnly, SnapshotOf(library.state)).installed,
              InstalledSky::OfSet(2));
}

TEST(Recognition, KnowledgeFollowsTheTransfers) {
    TransferReport done;
    TransferReport partly;
    partly.status = TransferStatus::SomeFilesFailed;
    TransferReport refused;
    refused.status = TransferStatus::StagingFailed;

    SkyKnowledge knowledge;
    knowledge.installed = InstalledSky::PersonalDefault();
    knowledge.personalDefault = InstalledSky::PersonalDefault();
    knowledge.AfterSaveMyDefault(4, done);
    EXPECT_EQ(knowledge.installed, InstalledSky::NotInLibrary())
        << "the game keeps the old default, which is in no set now";
    EXPECT_EQ(knowledge.personalDefault, InstalledSky::OfSet(4));
    knowledge.AfterLoadMyDefault(done);
    EXPECT_EQ(knowledge.installed, InstalledSky::OfSet(4));
    knowledge.AfterInstall(7, refused);
    EXPECT_EQ(knowledge.installed, InstalledSky::OfSet(4)) << "nothing changed";
    knowledge.AfterInstall(7, done);
    EXPECT_EQ(knowledge.installed, InstalledSky::OfSet(7));
    knowledge.AfterLoadGameDefault(done);
    EXPECT_EQ(knowledge.installed, InstalledSky::GameOwn());
    knowledge.AfterInstall(7, partly);
    EXPECT_FALSE(knowledge.installed) << "a half-done transfer needs recognition again";

    SkyKnowledge unknownDefault;
    unknownDefault.installed = InstalledSky::OfSet(1);
    unknownDefault.AfterLoadMyDefault(done);
    EXPECT_FALSE(unknownDefault.installed) << "which set ZTDef equals is not known";
}

TEST(Recognition, TitleSaysWhatTheGameHolds) {
    EXPECT_EQ(InstalledTitle(std::nullopt, ""), "SkySwap");
    EXPECT_EQ(InstalledTitle(InstalledSky::OfSet(12), "Overcast, light rain"),
              "SkySwap - ZT12: Overcast, light rain");
    EXPECT_EQ(InstalledTitle(InstalledSky::OfSet(3), ""), "SkySwap - ZT3");
    EXPECT_EQ(InstalledTitle(InstalledSky::PersonalDefault(), ""),
              "SkySwap - your default (ZTDef)");
    EXPECT_EQ(InstalledTitle(InstalledSky::GameOwn(), ""), "SkySwap - EAW's own sky");
    EXPECT_EQ(InstalledTitle(InstalledSky::NotInLibrary(), ""),
              "SkySwap - a sky not in your library");
}

}  // namespace
}  // namespace skyswap
