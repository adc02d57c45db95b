#include "description.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>

#include "fuzz/utf8_check.h"
#include "support/test_support.h"

namespace skyswap {
namespace {

struct Case {
    std::string bytes;
    std::string field;
};

void ExpectFields(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(FirstField(c.bytes), c.field) << "bytes: " << testing::PrintToString(c.bytes);
    }
}

// Notepad's "Unicode" and "Unicode big endian": a byte-order mark, then UTF-16.
std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

TEST(FirstFieldTest, FieldEndsAtCommaLineEndOrClosingQuote) {
    ExpectFields({
        {"Stormy dusk over Kent\r\nSecond line", "Stormy dusk over Kent"},
        {"Clear sky, by Jane\r\n", "Clear sky"},
        {"\"Clear sky, by Jane\"\r\n", "Clear sky, by Jane"},
        {"\"Quoted\" then more, and more", "Quoted"},
        {"   Leading spaces\r\n", "Leading spaces"},
        {"  \"  inner spaces stay \", rest", "  inner spaces stay "},
        {"Trailing spaces   , rest", "Trailing spaces"},
        {"No line end", "No line end"},
        {"", ""},
        {"   ", ""},
        {"\"\"", ""},
        {"\r\nOnly the second line has text", ""},
        {"Unix line\nnext", "Unix line"},
        {"Old Mac line\rnext", "Old Mac line"},
        {"\"Two\r\nlines, one tooltip\"", "Two lines, one tooltip"},
        {"\"Unclosed quote, runs\non to the end", "Unclosed quote, runs on to the end"},
        {"Tab\tinside", "Tab inside"},
        {"Bell\x07 and escape\x1B gone\x7F", "Bell and escape gone"},
        {"Says \"hello\" unquoted", "Says \"hello\" unquoted"},
    });
}

TEST(FirstFieldTest, DecodesUtf8Utf16AndWindows1252) {
    ExpectFields({
        // Windows-1252, as the descriptions of older sets are written.
        {"Ciel d'\xE9t\xE9, Provence\r\n", "Ciel d'été"},
        {"caf\xE9", "café"},
        // Every byte from 0x80 to 0x9F; the five the code page leaves undefined are dropped.
        {"\x80\x81\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8D\x8E\x8F"
         "\x90\x91\x92\x93\x94\x95\x96\x97\x98\x99\x9A\x9B\x9C\x9D\x9E\x9F",
         "€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ"},
        // UTF-8, with and without a byte-order mark.
        {"Ciel d’été, Provence", "Ciel d’été"},
        {"\xEF\xBB\xBF"
         "Ciel d’été, Provence",
         "Ciel d’été"},
        {"\xEF\xBB\xBF\"Quoted, after the mark\"", "Quoted, after the mark"},
        {"\xEF\xBB\xBF"
         "caf\xE9 au lait",
         "caf\uFFFD au lait"},
        // Valid UTF-8 only in the first field: the rest does not decide the encoding.
        {"Ciel d’été\r\ncaf\xE9", "Ciel d’été"},
        {"Overlong \xC0\xAF is not UTF-8", "Overlong À¯ is not UTF-8"},
        // UTF-16 with a byte-order mark.
        {Utf16(u"Ciel d’été, Provence\r\n", false), "Ciel d’été"},
        {Utf16(u"Ciel d’été, Provence\r\n", true), "Ciel d’été"},
        {Utf16(u"\"Sky \U0001F324, sun\"", false), "Sky \U0001F324, sun"},
        {Utf16(u"Lone \xD800 surrogate", false), "Lone \uFFFD surrogate"},
        {Utf16(u"Odd", false) + "\x41", "Odd"},
    });
}

TEST(FirstFieldTest, BinaryDataGivesEmptyText) {
    ExpectFields({
        {std::string("GIF89a\x01\0\x01\0", 10), ""},
        {std::string("Looks like text\0", 16), ""},
        {std::string("\xFF\xFE"
                     "A\0\0\0",
                     6),
         ""},
    });
}

TEST(FirstFieldTest, LooksNoFurtherThanTheReadLimit) {
    const std::size_t limit = kDescriptionReadLimit;
    const std::string a(limit - 1, 'a');
    ExpectFields({
        {std::string(limit + 1000, 'x') + ",after", std::string(limit, 'x')},
        // A sequence cut by the limit is dropped, not taken for Windows-1252 ("â‚").
        {a + "\xE2\x82", a},
        {a + "\xE2", a},
        // The same bytes in a short file are not cut: they are Windows-1252.
        {"short\xE2\x82", "shortâ‚"},
        {Utf16(std::u16string(limit / 2 - 2, u'u') + u'\xD83C', false),
         std::string(limit / 2 - 2, 'u')},
    });
}

TEST(FirstFieldTest, AnyBytesGiveBoundedToolTipText) {
    std::mt19937 random(20240611);
    const std::string alphabet = std::string(
                                     "ab ,\"\r\n\t\x01\x7F\x80\x81\x9F\xA0\xC3\xA9\xE2\x82"
                                     "\xAC\xED\xA0\xF0\x9F\xF4\x90\xFE\xFF\xEF\xBB\xBF") +
                                 std::string(1, '\0');
    const std::string prefixes[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    for (int run = 0; run < 3000; ++run) {
        std::string bytes = prefixes[random() % 4];
        const std::size_t length = random() % (kDescriptionReadLimit + 200);
        const bool anyByte = run % 2 == 0;
        const bool noNul = run % 3 != 0;  // else almost every input would count as binary
        while (bytes.size() < length) {
            char byte =
                anyByte ? static_cast<char>(random() & 0xFF) : alphabet[random() % alphabet.size()];
            if (noNul && byte == '\0') {
                byte = 'z';
            }
            bytes += byte;
        }
        const std::string field = FirstField(bytes);
        ASSERT_TRUE(test::IsToolTipText(field)) << testing::PrintToString(bytes);
        ASSERT_LE(field.size(), 3 * kDescriptionReadLimit);
    }
}

// The platform's file system, noting the largest read that was asked of it.
class ReadSpy final : public FileSystem {
  public:
    std::size_t largestRead = 0;

    std::optional<std::string> CurrentFolder() override { return real_->CurrentFolder(); }
    bool CanOpenForReading(const std::string& path) override {
        return real_->CanOpenForReading(path);
    }
    FsStatus ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) override {
        return real_->ListFolder(folder, entries);
    }
    bool IsFolder(const std::string& path) override { return real_->IsFolder(path); }
    bool IsFile(const std::string& path) override { return real_->IsFile(path); }
    FsStatus CreateFolder(const std::string& path) override { return real_->CreateFolder(path); }
    FsStatus RemoveFile(const std::string& path) override { return real_->RemoveFile(path); }
    FsStatus CopyToStaged(const std::string& source, const std::string& staged) override {
        return real_->CopyToStaged(source, staged);
    }
    FsStatus MoveStagedOver(const std::string& staged, const std::string& target) override {
        return real_->MoveStagedOver(staged, target);
    }
    FsStatus ReadPrefix(const std::string& path, std::size_t maxBytes,
                        std::string& bytes) override {
        largestRead = std::max(largestRead, maxBytes);
        return real_->ReadPrefix(path, maxBytes, bytes);
    }
    FsStatus WriteFlushed(const std::string& path, const std::string& bytes) override {
        return real_->WriteFlushed(path, bytes);
    }
    FsStatus RenameFolder(const std::string& from, const std::string& to) override {
        return real_->RenameFolder(from, to);
    }
    FsStatus RemoveFolder(const std::string& path) override { return real_->RemoveFolder(path); }
    void Pause(int milliseconds) override { real_->Pause(milliseconds); }

  private:
    std::unique_ptr<FileSystem> real_ = test::MakePlatformFileSystem();
};

TEST(ReadDescriptionTest, ReadsOnlyTheStartOfAnExistingFile) {
    test::TempFolder folder;
    folder.WriteFile("plain.txt", "Evening haze, by Tom\r\n");
    folder.WriteFile("empty.txt", "");
    folder.WriteFile("huge.txt", std::string(50u << 20, 'x'));
    folder.MakeFolder("folder.txt");
    ReadSpy fs;

    EXPECT_EQ(ReadDescription(fs, folder.Join("plain.txt")), "Evening haze");
    EXPECT_EQ(ReadDescription(fs, folder.Join("empty.txt")), "");
    EXPECT_EQ(ReadDescription(fs, folder.Join("missing.txt")), "");
    EXPECT_EQ(ReadDescription(fs, folder.Join("folder.txt")), "");
    EXPECT_EQ(ReadDescription(fs, folder.Join("huge.txt")), std::string(kDescriptionReadLimit, 'x'))
        << "a 50 MB line is read only as far as the limit";
    EXPECT_LE(fs.largestRead, kDescriptionReadLimit);
}

}  // namespace
}  // namespace skyswap
