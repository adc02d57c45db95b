// Names of ZIP entries without the UTF-8 flag, as Windows' own compressed folders write them on
// a Russian or a Japanese system, read in that system's OEM code page.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "support/zip_maker.h"
#include "zip_archive.h"
#include "zip_names_win.h"

namespace skyswap {
namespace {

using test::ZipItem;

TEST(ZipNames, NamesAreReadInTheOemCodePageTheArchiveWasMadeIn) {
    test::TempFolder temp;
    const std::unique_ptr<FileSystem> fs = test::MakePlatformFileSystem();
    struct Case {
        unsigned int codePage;
        std::string raw;
        std::string name;  // UTF-8
        bool isFolder;
    };
    const std::vector<Case> cases = {
        // "Небо/облака.ter"
        {866, "\x8D\xA5\xA1\xAE/\xAE\xA1\xAB\xA0\xAA\xA0.ter",
         "\xD0\x9D\xD0\xB5\xD0\xB1\xD0\xBE/"
         "\xD0\xBE\xD0\xB1\xD0\xBB\xD0\xB0\xD0\xBA\xD0\xB0.ter",
         false},
        // "空/" and "空/表": the second byte of 表 is "\", no folder's end.
        {932, "\x8B\xF3/", "\xE7\xA9\xBA/", true},
        {932, "\x8B\xF3/\x95\x5C", "\xE7\xA9\xBA/\xE8\xA1\xA8", false},
        // A lead byte with nothing after it is no text in 932: code page 437 reads every byte.
        {932, "sky\x81", "sky\xC3\xBC", false},
        {850, "\x9B.txt", "\xC3\xB8.txt", false},  // 437 would say a cent sign
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        temp.WriteFile("names.zip", test::MakeZip({{test.raw, "bytes", true, false}}));
        ArchiveStatus status;
        const std::unique_ptr<Archive> archive =
            MakeZipArchiveOpener(CodePageZipNameDecoder(test.codePage))
                ->Open(*fs, temp.Join("names.zip"), status);
        ASSERT_TRUE(archive);
        ASSERT_EQ(archive->Entries().size(), 1U);
        EXPECT_EQ(archive->Entries()[0].name, test.name);
        EXPECT_EQ(archive->Entries()[0].isFolder, test.isFolder);
    }
}

}  // namespace
}  // namespace skyswap
