#include "zip_archive.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

namespace skyswap {

namespace {

// minizip asks for a few bytes at a time while it reads headers; one read of the file fills a
// window of this size. Small enough to come from the heap's reused blocks: a window of a megabyte
// would be memory handed out afresh for every archive, which Wine makes slow to touch.
constexpr std::size_t kReadWindow = 64 * 1024;
constexpr std::size_t kInflateChunk = 64 * 1024;
// Bit 0 of an entry's flags: encrypted; bit 11: its name is UTF-8.
constexpr unsigned long kEncryptedFlag = 1U << 0;
constexpr unsigned long kUtf8NameFlag = 1U << 11;
constexpr unsigned long kStored = 0;
// The end of the central directory: a signature, then counts, sizes and offsets, then the
// archive's comment of up to 65,535 bytes, which ends the file.
constexpr char kEndSignature[] = "PK\x05\x06";
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kLongestComment = 0xFFFF;

// The archive's file as minizip's I/O functions see it: the file, kept open through the program's
// FileSystem, behind three windows used in turn, the one used least recently refilled. minizip
// goes back and forth between the central directory at the end of the file and each entry's
// data, so the directory's window stays while an entry is found and opened; an entry longer than
// two windows moves it out, and the next entry reads it again. Every part of the file is read
// about once.
class FileSource {
  public:
    FileSource(FileSystem& fs, const std::string& path, std::uint64_t size)
        : file_(fs.OpenToRead(path)), size_(size) {}

    const FsStatus& failure() const { return failure_; }

    // The file as minizip sees it ends here: see EndOfDirectory.
    void EndAt(std::uint64_t size) { size_ = std::min(size_, size); }

    // `count` bytes from `offset`, fewer where the file ends; false when it cannot be read.
    bool ReadRange(std::uint64_t offset, std::size_t count, std::string& bytes) {
        bytes.assign(count, '\0');
        position_ = offset;
        bytes.resize(Read(bytes.data(), static_cast<unsigned long>(count)));
        return !Failed();
    }

    unsigned long Read(void* buffer, unsigned long size) {
        auto* out = static_cast<char*>(buffer);
        unsigned long done = 0;
        while (done < size && position_ < size_) {
            const Window* window = WindowAt(position_);
            if (window == nullptr) {
                break;
            }
            const std::size_t offset = static_cast<std::size_t>(position_ - window->start);
            const std::size_t count =
                std::min<std::size_t>(size - done, window->bytes.size() - offset);
            std::memcpy(out + done, window->bytes.data() + offset, count);
            done += static_cast<unsigned long>(count);
            position_ += count;
        }
        return done;
    }

    long Seek(std::uint64_t offset, int origin) {
        std::uint64_t base = 0;
        switch (origin) {
            case ZLIB_FILEFUNC_SEEK_SET:
                break;
            case ZLIB_FILEFUNC_SEEK_CUR:
                base = position_;
                break;
            case ZLIB_FILEFUNC_SEEK_END:
                base = size_;
                break;
            default:
                return -1;
        }
        if (offset > std::numeric_limits<std::uint64_t>::max() - base) {
            return -1;
        }
        position_ = base + offset;
        return 0;
    }

    std::uint64_t Tell() const { return position_; }
    bool Failed() const { return !failure_.ok(); }

  private:
    struct Window {
        std::uint64_t start = 0;
        std::string bytes;
        std::uint64_t lastUse = 0;
    };

    // The window that holds `position`, read into the one used least recently when none does;
    // null when the file cannot be read there.
    const Window* WindowAt(std::uint64_t position) {
        ++uses_;
        for (Window& window : windows_) {
            if (position >= window.start && position - window.start < window.bytes.size()) {
                window.lastUse = uses_;
                return &window;
            }
        }
        Window& oldest = *std::min_element(
            windows_.begin(), windows_.end(),
            [](const Window& a, const Window& b) { return a.lastUse < b.lastUse; });
        // Aligned, so that minizip's backward search for the directory's end stays in one window.
        oldest.start = position - position % kReadWindow;
        oldest.lastUse = uses_;
        const FsStatus status = file_->ReadAt(oldest.start, kReadWindow, oldest.bytes);
        if (!status.ok() || position - oldest.start >= oldest.bytes.size()) {
            failure_ = status.ok() ? FsStatus{FsError::Other, "the file ended early"} : status;
            oldest.bytes.clear();
            return nullptr;
        }
        return &oldest;
    }

    std::unique_ptr<OpenFile> file_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
    std::array<Window, 3> windows_;
    std::uint64_t uses_ = 0;
    FsStatus failure_;
};

FileSource& SourceOf(voidpf stream) {
    return *static_cast<FileSource*>(stream);
}

extern "C" {
voidpf ZCALLBACK OpenSource(voidpf opaque, const void* /*filename*/, int mode) {
    // The reader only reads.
    return (mode & ZLIB_FILEFUNC_MODE_READ) != 0 ? opaque : nullptr;
}
uLong ZCALLBACK ReadSource(voidpf /*opaque*/, voidpf stream, void* buffer, uLong size) {
    return SourceOf(stream).Read(buffer, size);
}
uLong ZCALLBACK WriteSource(voidpf, voidpf, const void*, uLong) {
    return 0;
}
ZPOS64_T ZCALLBACK TellSource(voidpf /*opaque*/, voidpf stream) {
    return SourceOf(stream).Tell();
}
long ZCALLBACK SeekSource(voidpf /*opaque*/, voidpf stream, ZPOS64_T offset, int origin) {
    return SourceOf(stream).Seek(offset, origin);
}
int ZCALLBACK CloseSource(voidpf, voidpf) {
    return 0;
}
int ZCALLBACK SourceError(voidpf /*opaque*/, voidpf stream) {
    return SourceOf(stream).Failed() ? 1 : 0;
}
}

// Unicode of the high half of code page 437.
constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsUtf8(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t follow = 0;
        char32_t value = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
            value = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            value = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            value = c & 0x07;
        } else {
            return false;
        }
        if (i + follow >= text.size()) {
            return false;
        }
        for (std::size_t k = 1; k <= follow; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            value = (value << 6) | (next & 0x3F);
        }
        const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (value < least[follow] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        i += follow + 1;
    }
    return true;
}

std::uint32_t Little(const std::string& bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// Where the record that ends the central directory starts, from the end of the file: minizip
// searches only the last 65,535 bytes, which misses the record behind a comment longer than
// 65,513 bytes. The record whose comment reaches the end of the file is the one; failing
// that (bytes appended after the archive), the last signature, as minizip would take. `tail` is
// the file's end, which starts at `tailStart`.
std::optional<std::uint64_t> EndOfDirectory(const std::string& tail, std::uint64_t tailStart) {
    std::optional<std::uint64_t> last;
    for (std::size_t at = tail.size() < kEndRecordSize ? 0 : tail.size() - kEndRecordSize + 1;
         at-- > 0;) {
        if (tail.compare(at, 4, kEndSignature, 4) != 0) {
            continue;
        }
        if (at + kEndRecordSize + Little(tail, at + 20, 2) == tail.size()) {
            return tailStart + at;
        }
        if (!last) {
            last = tailStart + at;
        }
    }
    return last;
}

bool IsEmptyDirectory(const std::string& endRecord) {
    // This disk's entries, all entries, the directory's size.
    return Little(endRecord, 8, 2) == 0 && Little(endRecord, 10, 2) == 0 &&
           Little(endRecord, 12, 4) == 0;
}

// What a file that holds no ZIP archive is, by its first bytes.
ForeignArchive ForeignArchiveOf(const std::string& start) {
    const auto startsWith = [&](const char* signature, std::size_t size, std::size_t at = 0) {
        return start.size() >= at + size && start.compare(at, size, signature, size) == 0;
    };
    if (startsWith("7z\xBC\xAF\x27\x1C", 6)) {
        return ForeignArchive::SevenZip;
    }
    if (startsWith("Rar!\x1A\x07", 6)) {  // then 0 for RAR 4, 1 0 for RAR 5
        return ForeignArchive::Rar;
    }
    if (startsWith("\x1F\x8B", 2)) {
        return ForeignArchive::Gzip;
    }
    if (startsWith("ustar", 5, 257)) {
        return ForeignArchive::Tar;
    }
    return ForeignArchive::Unknown;
}

std::string DecodeName(const std::string& raw, unsigned long flags,
                       const ZipNameDecoder& decodeName) {
    if ((flags & kUtf8NameFlag) != 0 && IsUtf8(raw)) {
        return raw;
    }
    const bool ascii = std::all_of(raw.begin(), raw.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return raw;
    }
    return decodeName(raw);
}

// An archive without entries (minizip cannot open one: it takes a directory's end at the
// file's first byte for none at all) has no `zip`.
class ZipArchive final : public Archive {
  public:
    ZipArchive(std::unique_ptr<FileSource> source, unzFile zip)
        : source_(std::move(source)), zip_(zip) {}
    ~ZipArchive() override {
        if (zip_ != nullptr) {
            unzClose(zip_);
        }
    }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Reads the central directory; false when it is not one.
    bool List(const ZipNameDecoder& decodeName) {
        if (zip_ == nullptr) {
            return true;
        }
        for (int status = unzGoToFirstFile(zip_); status != UNZ_END_OF_LIST_OF_FILE;
             status = unzGoToNextFile(zip_)) {
            if (status != UNZ_OK) {
                return false;
            }
            unz_file_info64 info{};
            std::string raw(65536, '\0');
            if (unzGetCurrentFileInfo64(zip_, &info, raw.data(), static_cast<uLong>(raw.size()),
                                        nullptr, 0, nullptr, 0) != UNZ_OK) {
                return false;
            }
            // The whole stored name, a NUL inside it included: cut at the NUL, "a.txt\0../x.ter"
            // would pass for "a.txt".
            raw.resize(std::min<std::size_t>(info.size_filename, raw.size()));
            unz64_file_pos position{};
            if (unzGetFilePos64(zip_, &position) != UNZ_OK) {
                return false;
            }
            ArchiveEntry entry;
            entry.name = DecodeName(raw, info.flag, decodeName);
            entry.size = info.uncompressed_size;
            // Of the decoded name: in code page 932 a name's last byte may be 0x5C ("\") as the
            // second half of a character.
            entry.isFolder =
                !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
            entry.encrypted = (info.flag & kEncryptedFlag) != 0;
            entries_.push_back(std::move(entry));
            positions_.push_back(position);
            methods_.push_back(info.compression_method);
        }
        return true;
    }

    const std::vector<ArchiveEntry>& Entries() const override { return entries_; }

    ArchiveStatus Read(std::size_t index, std::size_t maxBytes, std::string* bytes) override {
        if (bytes != nullptr) {
            bytes->clear();
        }
        if (const ArchiveStatus opened = OpenEntry(index, maxBytes); !opened.ok()) {
            return opened;
        }
        const std::uint64_t declared = entries_[index].size;
        // A kept entry is inflated straight into its buffer, one that is only checked through a
        // chunk; either way no more than the declared size is taken.
        std::string chunk(bytes != nullptr ? 16 : kInflateChunk, '\0');
        if (bytes != nullptr) {
            bytes->resize(static_cast<std::size_t>(declared));
        }
        std::uint64_t total = 0;
        ArchiveError error = ArchiveError::None;
        for (;;) {
            const bool intoEntry = bytes != nullptr && total < declared;
            char* target = intoEntry ? bytes->data() + total : chunk.data();
            const std::uint64_t room =
                intoEntry ? std::min<std::uint64_t>(declared - total, 1U << 30) : chunk.size();
            const int got = unzReadCurrentFile(zip_, target, static_cast<unsigned>(room));
            if (got < 0) {
                error = ArchiveError::Damaged;
                break;
            }
            if (got == 0) {
                break;
            }
            total += static_cast<std::uint64_t>(got);
            if (total > declared) {
                error = ArchiveError::Damaged;
                break;
            }
        }
        // Closing checks the CRC once the whole entry was read.
        const int closed = unzCloseCurrentFile(zip_);
        if (error == ArchiveError::None && (closed != UNZ_OK || total != entries_[index].size)) {
            error = ArchiveError::Damaged;
        }
        if (error != ArchiveError::None) {
            if (bytes != nullptr) {
                bytes->clear();
            }
            return Failure(error);
        }
        return {};
    }

    ArchiveStatus ReadStart(std::size_t index, std::size_t count, std::string& bytes) override {
        bytes.clear();
        if (const ArchiveStatus opened = OpenEntry(index, std::numeric_limits<std::size_t>::max());
            !opened.ok()) {
            return opened;
        }
        const std::uint64_t declared = entries_[index].size;
        bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(count, declared)));
        std::size_t total = 0;
        int got = 1;
        while (total < bytes.size() && got > 0) {
            got = unzReadCurrentFile(
                zip_, bytes.data() + total,
                static_cast<unsigned>(std::min<std::size_t>(bytes.size() - total, 1U << 30)));
            total += got > 0 ? static_cast<std::size_t>(got) : 0;
        }
        // An entry read to its end is checked by closing it; a start cannot be.
        const int closed = unzCloseCurrentFile(zip_);
        if (got < 0 || total != bytes.size() || (total == declared && closed != UNZ_OK)) {
            bytes.clear();
            return Failure(ArchiveError::Damaged);
        }
        return {};
    }

  private:
    // Makes entry `index` the one minizip reads, refusing what cannot be read and an entry larger
    // than maxBytes.
    ArchiveStatus OpenEntry(std::size_t index, std::size_t maxBytes) {
        if (index >= entries_.size()) {
            return {ArchiveError::Damaged, {}};
        }
        if (entries_[index].encrypted) {
            return {ArchiveError::Encrypted, {}};
        }
        if (methods_[index] != kStored && methods_[index] != Z_DEFLATED) {
            return {ArchiveError::Damaged, {}};
        }
        if (entries_[index].size > maxBytes) {
            return {ArchiveError::TooLarge, {}};
        }
        if (unzGoToFilePos64(zip_, &positions_[index]) != UNZ_OK ||
            unzOpenCurrentFile(zip_) != UNZ_OK) {
            return Failure(ArchiveError::Damaged);
        }
        return {};
    }

    // A read of the archive's own file that failed says so, rather than calling it damaged.
    ArchiveStatus Failure(ArchiveError error) const {
        if (source_->Failed()) {
            return {ArchiveError::Unreadable, source_->failure()};
        }
        return {error, {}};
    }

    std::unique_ptr<FileSource> source_;
    unzFile zip_;
    std::vector<ArchiveEntry> entries_;
    std::vector<unz64_file_pos> positions_;
    std::vector<unsigned long> methods_;
};

class ZipArchiveOpener final : public ArchiveOpener {
  public:
    explicit ZipArchiveOpener(ZipNameDecoder decodeName) : decodeName_(std::move(decodeName)) {}

    std::unique_ptr<Archive> Open(FileSystem& fs, const std::string& path,
                                  ArchiveStatus& status) override {
        std::uint64_t size = 0;
        const FsStatus sized = fs.FileSize(path, size);
        if (!sized.ok()) {
            status = {ArchiveError::Unreadable, sized};
            return nullptr;
        }
        auto source = std::make_unique<FileSource>(fs, path, size);
        const std::uint64_t tailStart =
            size - std::min<std::uint64_t>(size, kEndRecordSize + kLongestComment);
        std::string tail;
        if (!source->ReadRange(tailStart, static_cast<std::size_t>(size - tailStart), tail)) {
            status = {ArchiveError::Unreadable, source->failure()};
            return nullptr;
        }
        const std::optional<std::uint64_t> end = EndOfDirectory(tail, tailStart);
        if (!end) {
            status = NotAZip(*source);
            return nullptr;
        }
        if (IsEmptyDirectory(tail.substr(static_cast<std::size_t>(*end - tailStart)))) {
            status = {};
            return std::make_unique<ZipArchive>(std::move(source), nullptr);
        }
        // minizip is handed the file without the comment, so its own search starts at the record.
        source->EndAt(*end + kEndRecordSize);
        zlib_filefunc64_def functions{};
        functions.zopen64_file = OpenSource;
        functions.zread_file = ReadSource;
        functions.zwrite_file = WriteSource;
        functions.ztell64_file = TellSource;
        functions.zseek64_file = SeekSource;
        functions.zclose_file = CloseSource;
        functions.zerror_file = SourceError;
        functions.opaque = source.get();
        unzFile zip = unzOpen2_64(path.c_str(), &functions);
        if (zip == nullptr) {
            status = NotAZip(*source);
            return nullptr;
        }
        FileSource& reader = *source;
        auto archive = std::make_unique<ZipArchive>(std::move(source), zip);
        if (!archive->List(decodeName_)) {
            status = NotAZip(reader);
            return nullptr;
        }
        status = {};
        return archive;
    }

  private:
    // Unreadable when reading failed; else not a ZIP, named by its first bytes when they tell.
    static ArchiveStatus NotAZip(FileSource& source) {
        std::string start;
        if (source.Failed() || !source.ReadRange(0, 512, start)) {
            return {ArchiveError::Unreadable, source.failure()};
        }
        return {ArchiveError::NotAnArchive, {}, ForeignArchiveOf(start)};
    }

    ZipNameDecoder decodeName_;
};

}  // namespace

std::string Cp437ToUtf8(const std::string& raw) {
    std::string name;
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(name, byte < 0x80 ? byte : kCp437High[byte - 0x80]);
    }
    return name;
}

#ifndef _WIN32
ZipNameDecoder SystemZipNameDecoder() {
    return Cp437ToUtf8;
}
#endif

std::unique_ptr<ArchiveOpener> MakeZipArchiveOpener(ZipNameDecoder decodeName) {
    return std::make_unique<ZipArchiveOpener>(std::move(decodeName));
}

}  // namespace skyswap
