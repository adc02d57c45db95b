#include "forwarding_file_system.h"
#include "zip_archive.h"

#include <gtest/gtest.h>

#include "add_sets.h"
#include "support/fake_add_services.h"
#include "support/faulty_file_system.h"
#include "support/sky_library.h"
#include "support/test_support.h"
#include "support/zip_maker.h"

namespace skyswap {
namespace {

using test::TempFolder;
using test::ZipItem;
using Names = std::vector<std::string>;

struct Reader {
    std::unique_ptr<Archive> Open(const std::string& relative, FileSystem* through = nullptr) {
        return opener->Open(through != nullptr ? *through : *fs, temp.Join(relative), status);
    }

    TempFolder temp;
    std::unique_ptr<FileSystem> fs = test::MakePlatformFileSystem();
    std::unique_ptr<ArchiveOpener> opener = MakeZipArchiveOpener();
    ArchiveStatus status;
};

TEST(ZipArchive, ListsAndReadsStoredAndDeflatedEntriesUnderAUnicodePath) {
    Reader reader;
    const std::string large(300 * 1024, 'x');  // more than one inflate chunk
    const std::string zip = test::MakeZip({{"Himmel/", ""},
                                           {"Himmel/W\xC3\xB6lkchen.txt", "stored text", false},
                                           {"Himmel/bnhorizn.ter", large},
                                           {"Himmel/\x81"
                                            "ber.txt",
                                            "cp437", true, false}});
    const std::string path =
        "\xC3\x9C"
        "bersicht \xE5\xA4\xA9\xE7\xA9\xBA\\sky.zip";
    reader.temp.MakeFolder(
        "\xC3\x9C"
        "bersicht \xE5\xA4\xA9\xE7\xA9\xBA");
    reader.temp.WriteFile(path, zip);

    const std::unique_ptr<Archive> archive = reader.Open(path);
    ASSERT_TRUE(archive) << static_cast<int>(reader.status.error) << " "
                         << reader.status.fs.message;
    const std::vector<ArchiveEntry>& entries = archive->Entries();
    ASSERT_EQ(entries.size(), 4U);
    EXPECT_EQ(entries[0].name, "Himmel/");
    EXPECT_TRUE(entries[0].isFolder);
    EXPECT_EQ(entries[1].name, "Himmel/W\xC3\xB6lkchen.txt");
    EXPECT_EQ(entries[2].size, large.size());
    EXPECT_EQ(entries[3].name,
              "Himmel/\xC3\xBC"
              "ber.txt")
        << "code page 437's 0x81 is u umlaut";
    EXPECT_FALSE(entries[2].encrypted);

    std::string bytes;
    EXPECT_TRUE(archive->Read(1, 100, &bytes).ok());
    EXPECT_EQ(bytes, "stored text");
    EXPECT_TRUE(archive->Read(2, large.size(), &bytes).ok());
    EXPECT_EQ(bytes, large);
    EXPECT_TRUE(archive->Read(2, large.size(), nullptr).ok()) << "checked without keeping";
    EXPECT_EQ(archive->Read(2, large.size() - 1, &bytes).error, ArchiveError::TooLarge);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(archive->Read(9, 100, &bytes).error, ArchiveError::Damaged);
}

TEST(ZipArchive, BytesThatAreNoZipAndFilesThatCannotBeReadAreTold) {
    Reader reader;
    const std::string zip = test::MakeZip({{"sky/bnhorizn.ter", std::string(5000, 'h')}});
    struct Case {
        const char* name;
        std::string bytes;
        ArchiveError error;
    };
    const std::vector<Case> cases = {
        {"empty.zip", "", ArchiveError::NotAnArchive},
        {"text.zip", "just some text, no archive", ArchiveError::NotAnArchive},
        {"half.zip", zip.substr(0, zip.size() / 2), ArchiveError::NotAnArchive},
        {"no-end.zip", zip.substr(0, zip.size() - 10), ArchiveError::NotAnArchive},
        {"garbage.zip", std::string(70000, '\xAA'), ArchiveError::NotAnArchive},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        reader.temp.WriteFile(test.name, test.bytes);
        EXPECT_FALSE(reader.Open(test.name));
        EXPECT_EQ(reader.status.error, test.error);
    }
    EXPECT_FALSE(reader.Open("missing.zip"));
    EXPECT_EQ(reader.status.error, ArchiveError::Unreadable);
    EXPECT_EQ(reader.status.fs.error, FsError::NotFound);

    reader.temp.WriteFile("locked.zip", zip);
    test::FaultyFileSystem faulty(*reader.fs);
    faulty.Fail(test::FsOperation::ReadAt, "locked.zip", FsError::AccessDenied);
    EXPECT_FALSE(reader.Open("locked.zip", &faulty));
    EXPECT_EQ(reader.status.error, ArchiveError::Unreadable);
    EXPECT_EQ(reader.status.fs.error, FsError::AccessDenied);
}

TEST(ZipArchive, DamagedAndEncryptedEntriesAreRefused) {
    Reader reader;
    std::string damaged = test::MakeZip(
        {{"a.txt", "intact entry", false}, {"b.txt", "this entry will be damaged", false}});
    test::Corrupt(damaged, "will be damaged");
    reader.temp.WriteFile("damaged.zip", damaged);
    std::unique_ptr<Archive> archive = reader.Open("damaged.zip");
    ASSERT_TRUE(archive);
    EXPECT_TRUE(archive->Read(0, 100, nullptr).ok());
    std::string bytes;
    EXPECT_EQ(archive->Read(1, 100, &bytes).error, ArchiveError::Damaged) << "the CRC check";
    EXPECT_TRUE(bytes.empty());

    std::string deflated = test::MakeZip({{"c.txt", std::string(20000, 'c')}});
    deflated[deflated.find("c.txt") + 5 + 3] ^= 0x5A;  // inside the deflate stream
    reader.temp.WriteFile("stream.zip", deflated);
    archive = reader.Open("stream.zip");
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->Read(0, 20000, &bytes).error, ArchiveError::Damaged);

    std::string encrypted = test::MakeZip({{"secret.txt", "not really secret"}});
    test::MarkEncrypted(encrypted);
    reader.temp.WriteFile("encrypted.zip", encrypted);
    archive = reader.Open("encrypted.zip");
    ASSERT_TRUE(archive);
    EXPECT_TRUE(archive->Entries()[0].encrypted);
    EXPECT_EQ(archive->Read(0, 100, &bytes).error, ArchiveError::Encrypted);
}

// The record that ends the directory may sit behind a comment of up to 65,535 bytes, which may
// itself hold that record's signature; bytes appended after an archive are still read past.
TEST(ZipArchive, AnArchiveIsFoundBehindACommentOfAnyLength) {
    Reader reader;
    const std::string sky = "a sky file's bytes";
    // With it the comment starts before the reader's second window and ends in it.
    const std::string large((1 << 20) - 40000, 'L');
    struct Case {
        const char* name;
        std::string comment;
        std::string appended;
        bool largeEntry = false;
    };
    const std::vector<Case> cases = {
        {"none", "", ""},
        {"short", "Made by a friend", ""},
        {"65512", std::string(65512, 'c'), ""},
        {"65513", std::string(65513, 'c'), ""},
        {"65514", std::string(65514, 'c'), ""},
        {"longest", std::string(65535, 'c'), ""},
        {"longest over windows", std::string(65535, 'w'), "", true},
        {"signature in it", "see PK\x05\x06 and more PK\x05\x06\x01\x02", ""},
        {"appended", "", std::string(300, 'j')},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        std::vector<ZipItem> items = {{"sky/bnhorizn.ter", sky, false}};
        if (test.largeEntry) {
            items.push_back({"sky/large.bin", large, false});
        }
        reader.temp.WriteFile("sky.zip", test::MakeZip(items, test.comment) + test.appended);
        const std::unique_ptr<Archive> archive = reader.Open("sky.zip");
        EXPECT_TRUE(archive) << static_cast<int>(reader.status.error);
        if (!archive || archive->Entries().size() != items.size()) {
            ADD_FAILURE() << "not the archive's entries";
            continue;
        }
        std::string bytes;
        EXPECT_TRUE(archive->Read(0, 100, &bytes).ok());
        EXPECT_EQ(bytes, sky);
        if (test.largeEntry) {
            EXPECT_TRUE(archive->Read(1, large.size(), &bytes).ok());
            EXPECT_TRUE(bytes == large);
        }
    }
}

// A 7z or RAR archive renamed .zip is told by its first bytes; an empty ZIP is no damaged one.
TEST(ZipArchive, OtherArchivesAreNamedAndAnEmptyZipOpens) {
    Reader reader;
    std::string tar(1024, '\0');
    tar.replace(0, 12, "sky/cloud1.ter");
    tar.replace(257, 8, "ustar  ");
    struct Case {
        const char* name;
        std::string bytes;
        ForeignArchive foreign;
    };
    const std::vector<Case> cases = {
        {"7z", std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8) + std::string(200, 'x'),
         ForeignArchive::SevenZip},
        {"rar4", std::string("Rar!\x1A\x07\x00", 7) + std::string(90000, 'r'), ForeignArchive::Rar},
        {"rar5", std::string("Rar!\x1A\x07\x01\x00", 8) + "r", ForeignArchive::Rar},
        {"gzip", std::string("\x1F\x8B\x08\x00", 4) + std::string(50, 'g'), ForeignArchive::Gzip},
        {"tar", tar, ForeignArchive::Tar},
        {"text", "7z is what this text names", ForeignArchive::Unknown},
        {"short", "7", ForeignArchive::Unknown},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        reader.temp.WriteFile("other.zip", test.bytes);
        EXPECT_FALSE(reader.Open("other.zip"));
        EXPECT_EQ(reader.status.error, ArchiveError::NotAnArchive);
        EXPECT_EQ(reader.status.foreign, test.foreign);
    }

    for (const std::string& bytes : {test::MakeZip({}), test::MakeZip({}, "nothing in here"),
                                     "self-extractor's code " + test::MakeZip({})}) {
        reader.temp.WriteFile("empty.zip", bytes);
        const std::unique_ptr<Archive> archive = reader.Open("empty.zip");
        ASSERT_TRUE(archive) << static_cast<int>(reader.status.error);
        EXPECT_TRUE(archive->Entries().empty());
        EXPECT_EQ(archive->Read(0, 100, nullptr).error, ArchiveError::Damaged);
    }
}

// Names without the UTF-8 flag go through the decoder the opener was given (on Windows the
// system's OEM code page); the decoded name decides what is a folder.
TEST(ZipArchive, NamesWithoutTheUtf8FlagAreDecodedByTheOpenersDecoder) {
    Reader reader;
    std::vector<std::string> decoded;
    reader.opener = MakeZipArchiveOpener([&decoded](const std::string& raw) {
        decoded.push_back(raw);
        // Code page 932's two bytes of U+8868, whose second byte is "\"; 866's "Nebo".
        return raw == "\x95\x5C" ? std::string("\xE8\xA1\xA8")
                                 : std::string("\xD0\x9D\xD0\xB5\xD0\xB1\xD0\xBE/");
    });
    reader.temp.WriteFile(
        "names.zip", test::MakeZip({{"\x95\x5C", "a file, though its last byte is \\", true, false},
                                    {"\x8D\xA5\xA1\xAE/", "", true, false},
                                    {"plain/sky.ter", "ascii", true, false},
                                    {"\xC3\xBC.txt", "utf-8", true, true},
                                    {"\xFF.txt", "flagged, but no UTF-8", true, true}}));
    const std::unique_ptr<Archive> archive = reader.Open("names.zip");
    ASSERT_TRUE(archive);
    const std::vector<ArchiveEntry>& entries = archive->Entries();
    ASSERT_EQ(entries.size(), 5U);
    EXPECT_EQ(entries[0].name, "\xE8\xA1\xA8");
    EXPECT_FALSE(entries[0].isFolder);
    std::string bytes;
    EXPECT_TRUE(archive->Read(0, 100, &bytes).ok());
    EXPECT_EQ(bytes, "a file, though its last byte is \\");
    EXPECT_EQ(entries[1].name, "\xD0\x9D\xD0\xB5\xD0\xB1\xD0\xBE/");
    EXPECT_TRUE(entries[1].isFolder);
    EXPECT_EQ(entries[2].name, "plain/sky.ter");
    EXPECT_EQ(entries[3].name, "\xC3\xBC.txt");
    EXPECT_EQ(decoded, (Names{"\x95\x5C", "\x8D\xA5\xA1\xAE/", "\xFF.txt"}))
        << "plain ASCII and UTF-8 names are taken as they are";
}

// A size in the headers that the data does not have is damage, whichever way it lies.
TEST(ZipArchive, AnEntryThatUnpacksToAnotherSizeThanItDeclaresIsDamaged) {
    Reader reader;
    const std::string text(5000, 't');
    struct Case {
        const char* name;
        bool deflate;
        std::uint32_t declared;
    };
    for (const Case& test :
         {Case{"deflated, short", true, 5001}, Case{"stored, short", false, 6000},
          Case{"deflated, long", true, 4999}, Case{"stored, long", false, 10}}) {
        SCOPED_TRACE(test.name);
        std::string zip = test::MakeZip({{"sky/readme.txt", text, test.deflate}});
        test::PatchDeclaredSize(zip, "sky/readme.txt", test.declared);
        reader.temp.WriteFile("lying.zip", zip);
        const std::unique_ptr<Archive> archive = reader.Open("lying.zip");
        ASSERT_TRUE(archive);
        ASSERT_EQ(archive->Entries()[0].size, test.declared);
        std::string bytes;
        EXPECT_EQ(archive->Read(0, 10000, &bytes).error, ArchiveError::Damaged);
        EXPECT_TRUE(bytes.empty());
        EXPECT_EQ(archive->Read(0, 10000, nullptr).error, ArchiveError::Damaged);
    }
}

// Passes everything to the real file system and counts the bytes read and the files kept open.
class ReadCounter final : public skyswap::ForwardingFileSystem {
  public:
    using ForwardingFileSystem::ForwardingFileSystem;
    std::uint64_t bytesRead = 0;
    int filesOpened = 0;

    std::unique_ptr<OpenFile> OpenToRead(const std::string& p) override {
        ++filesOpened;
        return FileSystem::OpenToRead(p);
    }
    FsStatus FileSize(const std::string& p, std::uint64_t& s) override {
        return real_.FileSize(p, s);
    }
    FsStatus ReadAt(const std::string& p, std::uint64_t o, std::size_t n, std::string& b) override {
        const FsStatus status = real_.ReadAt(p, o, n, b);
        bytesRead += b.size();
        return status;
    }
};

// minizip jumps between the directory at the end and each entry's data; a large archive is still
// read about once, through one open file, and entries that cross the reader's windows come out
// whole.
TEST(ZipArchive, ALargeArchiveIsReadAboutOnce) {
    Reader reader;
    std::vector<ZipItem> items;
    std::string pattern;
    for (int i = 0; i < 6; ++i) {
        std::string bytes(700 * 1024 + i * 4099, '\0');
        for (std::size_t k = 0; k < bytes.size(); ++k) {
            bytes[k] = static_cast<char>((k * 131 + k / 977 + i * 7) & 0xFF);
        }
        items.push_back({"sky/file" + std::to_string(i), bytes, i % 2 == 0});
    }
    const std::string zip = test::MakeZip(items);
    reader.temp.WriteFile("large.zip", zip);
    ReadCounter counter(*reader.fs);
    const std::unique_ptr<Archive> archive = reader.Open("large.zip", &counter);
    ASSERT_TRUE(archive);
    std::string bytes;
    for (std::size_t i = 0; i < items.size(); ++i) {
        ASSERT_TRUE(archive->Read(i, 4 << 20, &bytes).ok()) << i;
        EXPECT_TRUE(bytes == items[i].bytes) << i;
    }
    EXPECT_LT(counter.bytesRead, zip.size() + zip.size() / 2 + (2 << 20));
    EXPECT_EQ(counter.filesOpened, 1);
}

// The start of an entry is unpacked without the rest, and checked against the CRC only when it is
// the whole entry; of a large entry little more than the start is read from the file.
TEST(ZipArchive, TheStartOfAnEntryIsReadAlone) {
    Reader reader;
    std::string tail(3 << 20, 't');
    tail.replace(tail.size() - 20, 11, "broken here");
    const std::string large(3 << 20, 'L');
    std::string zip = test::MakeZip({{"stored.ter", "START" + tail, false},
                                     {"deflated.ter", "START" + large},
                                     {"short.txt", "tiny", false},
                                     {"bad.txt", "short and damaged", false}});
    test::Corrupt(zip, "broken here");
    test::Corrupt(zip, "and damaged");
    reader.temp.WriteFile("starts.zip", zip);
    ReadCounter counter(*reader.fs);
    const std::unique_ptr<Archive> archive = reader.Open("starts.zip", &counter);
    ASSERT_TRUE(archive);
    const struct {
        std::size_t index;
        std::size_t count;
        ArchiveError error;
        std::string start;
    } cases[] = {
        {0, 5, ArchiveError::None, "START"},  // its damage lies further on
        {1, 5, ArchiveError::None, "START"},
        {2, 4096, ArchiveError::None, "tiny"},  // the whole entry, checked
        {3, 4096, ArchiveError::Damaged, ""},
        {9, 5, ArchiveError::Damaged, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        counter.bytesRead = 0;
        std::string bytes = "left over";
        EXPECT_EQ(archive->ReadStart(c.index, c.count, bytes).error, c.error);
        EXPECT_EQ(bytes, c.start);
        EXPECT_LT(counter.bytesRead, 1U << 20);
    }
    std::string whole;
    EXPECT_EQ(archive->Read(0, 4 << 20, &whole).error, ArchiveError::Damaged);
}

// The whole way, with the real reader: what a refused ZIP leaves is nothing at all.
TEST(ZipArchive, AddingARealZipMakesItsSetsAndARefusedOneWritesNothing) {
    TempFolder temp;
    test::MakeLibrary(temp, 1);
    AppState state = test::StateFor(temp);
    auto fs = test::MakePlatformFileSystem();
    auto opener = MakeZipArchiveOpener();
    test::FakePictureScaler pictures;
    const AddServices services{*fs, *opener, pictures};

    std::vector<ZipItem> pack = {{"Summer Pack/", ""},
                                 {"Summer Pack/credits.txt", "made by a friend"},
                                 {"Summer Pack/preview.jpg", "PICTURE-S"}};
    for (const std::string& name : test::SkyFileNames()) {
        pack.push_back({"Summer Pack/Dawn/" + name, test::SkyFileBytes("dawn", name)});
        pack.push_back({"Summer Pack/Dusk/" + name, test::SkyFileBytes("dusk", name), false});
    }
    temp.WriteFile("pack.zip", test::MakeZip(pack));
    std::vector<ZipItem> evil = {{"sky/bnhorizn.ter", "h"}, {"sky/../../../evil.txt", "x"}};
    temp.WriteFile("evil.zip", test::MakeZip(evil));
    std::vector<ZipItem> broken = {{"sky/bnhorizn.ter", "good sky file", false},
                                   {"sky/readme.txt", "this one is broken", false}};
    std::string brokenZip = test::MakeZip(broken);
    test::Corrupt(brokenZip, "is broken");
    temp.WriteFile("broken.zip", brokenZip);
    // Its sky file unpacks to one byte fewer than it declares.
    std::vector<ZipItem> shortSky;
    for (const std::string& name : test::SkyFileNames()) {
        shortSky.push_back({"Short/" + name, test::SkyFileBytes("short", name)});
    }
    std::string shortZip = test::MakeZip(shortSky);
    test::PatchDeclaredSize(shortZip, "Short/" + test::SkyFileNames()[3],
                            static_cast<std::uint32_t>(
                                test::SkyFileBytes("short", test::SkyFileNames()[3]).size() + 1));
    temp.WriteFile("short.zip", shortZip);
    temp.WriteFile("empty.zip", test::MakeZip({}, "an empty archive"));
    temp.WriteFile("renamed.zip", std::string("7z\xBC\xAF\x27\x1C\x00\x04", 8) + "packed sky");

    const AddOutcome outcome =
        AddDownloads(state, services,
                     {temp.Join("pack.zip"), temp.Join("evil.zip"), temp.Join("broken.zip"),
                      temp.Join("short.zip"), temp.Join("empty.zip"), temp.Join("renamed.zip")});

    EXPECT_EQ(AddedLines(outcome), (Names{"Added ZT1: pack - Dawn", "Added ZT2: pack - Dusk"}));
    EXPECT_EQ(test::TagsIn(temp, std::string(test::kLibrary) + "\\ZT2", {"dusk"}),
              Names(10, "dusk"));
    EXPECT_EQ(temp.ReadFile(std::string(test::kLibrary) + "\\ZT1\\credits.txt"),
              "made by a friend");
    EXPECT_EQ(test::ThumbnailFill(temp.ReadFile(std::string(test::kLibrary) + "\\ZT1\\ZT1.bmp")),
              'S');
    ASSERT_EQ(RefusalLines(outcome).size(), 5U);
    EXPECT_NE(outcome.refused[0].reason.find("unsafe name (sky/../../../evil.txt)"),
              std::string::npos);
    EXPECT_NE(outcome.refused[1].reason.find("sky/readme.txt is damaged"), std::string::npos)
        << outcome.refused[1].reason;
    EXPECT_NE(outcome.refused[2].reason.find(test::SkyFileNames()[3] + " is damaged"),
              std::string::npos)
        << outcome.refused[2].reason;
    EXPECT_NE(outcome.refused[3].reason.find("holds no files"), std::string::npos)
        << outcome.refused[3].reason;
    EXPECT_NE(outcome.refused[4].reason.find("This is a 7z archive"), std::string::npos)
        << outcome.refused[4].reason;
    EXPECT_EQ(temp.List(test::kLibrary), (Names{"ZT0", "ZT1", "ZT2"}));
    EXPECT_EQ(temp.List(), (Names{"Game", "broken.zip", "empty.zip", "evil.zip", "pack.zip",
                                  "renamed.zip", "short.zip"}))
        << "nothing written beside the downloads";
    EXPECT_EQ(outcome.ExitCode(), 1);

    // The same pack again: each of its skies is known by its files, their starts compared first.
    ApplyAdded(state, outcome);
    const AddOutcome again = AddDownloads(state, services, {temp.Join("pack.zip")});
    EXPECT_TRUE(again.added.empty());
    ASSERT_EQ(again.refused.size(), 2U);
    EXPECT_NE(again.refused[1].reason.find("already in your library as ZT2"), std::string::npos)
        << again.refused[1].reason;
}

}  // namespace
}  // namespace skyswap
