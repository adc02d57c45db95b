// A small interface to read an archive (a ZIP file) that the user gives to be added, so that the
// core can choose what to take from it without knowing the archive library. The archive's own
// file is read through the FileSystem, so its path is the program's (UTF-8, joined with "\").
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "file_system.h"

namespace skyswap {

struct ArchiveEntry {
    std::string name;        // as stored, decoded to UTF-8; "/" or "\" between folders
    std::uint64_t size = 0;  // uncompressed, as the archive declares it
    bool isFolder = false;   // a name that ends in "/"
    bool encrypted = false;
};

enum class ArchiveError {
    None,
    Unreadable,    // the archive's file could not be read: `fs` says why
    NotAnArchive,  // the bytes are not an archive of this kind
    Damaged,       // an entry's data is broken: a CRC error, a bad stream, a size that lies
    Encrypted,     // the entry needs a password
    TooLarge,      // the entry holds more than the reader was allowed to take
};

// What a file that is no ZIP archive is instead, as its first bytes tell: a 7z or RAR archive
// renamed .zip is a common mistake.
enum class ForeignArchive { Unknown, SevenZip, Rar, Gzip, Tar };

struct ArchiveStatus {
    ArchiveError error = ArchiveError::None;
    FsStatus fs;                                       // for Unreadable
    ForeignArchive foreign = ForeignArchive::Unknown;  // for NotAnArchive

    bool ok() const { return error == ArchiveError::None; }
};

class Archive {
  public:
    virtual ~Archive() = default;
    // Every entry, in the archive's order.
    virtual const std::vector<ArchiveEntry>& Entries() const = 0;
    // Reads entry `index` in full and checks it against its CRC. More than `maxBytes`, or a size
    // other than the declared one, is an error. `bytes` may be null: the entry is only checked.
    virtual ArchiveStatus Read(std::size_t index, std::size_t maxBytes, std::string* bytes) = 0;
    // The first `count` bytes of entry `index`, all of a shorter one. Only an entry read to its
    // end is checked against its CRC. The default reads the entry whole.
    virtual ArchiveStatus ReadStart(std::size_t index, std::size_t count, std::string& bytes) {
        const std::vector<ArchiveEntry>& entries = Entries();
        const std::uint64_t size = index < entries.size() ? entries[index].size : 0;
        const ArchiveStatus status = Read(index, static_cast<std::size_t>(size), &bytes);
        if (bytes.size() > count) {
            bytes.resize(count);
        }
        return status;
    }
};

class ArchiveOpener {
  public:
    virtual ~ArchiveOpener() = default;
    // Opens the archive at `path`, read through `fs`; null with `status` saying why.
    virtual std::unique_ptr<Archive> Open(FileSystem& fs, const std::string& path,
                                          ArchiveStatus& status) = 0;
};

// Whether an entry name may be unpacked below a folder without reaching out of it, naming
// something else than a file, or naming another file than it says: no absolute path, no drive
// letter or other ":", no "..", no control character (a NUL included), none of * ? < > | ",
// no name part ending in a dot or a space (Windows drops those), no 8.3 short-name form
// ("CLOUD1~1.TER", which may stand for another file), no device name (CON, NUL, COM0-COM9,
// LPT0-LPT9, and those with a superscript digit, with or without an extension or trailing
// spaces).
bool IsSafeEntryName(const std::string& name);

// A name as a message shows it: control characters, which a message cannot show (a NUL would
// end it), become their visible symbols from U+2400 on: a NUL shows as the symbol NUL.
std::string ShownName(const std::string& name);

}  // namespace skyswap
