#include "download.h"

#include <algorithm>
#include <map>
#include <set>

#include "add_sets.h"
#include "ascii.h"
#include "transfers.h"

namespace skyswap {

namespace {

// Dropping a whole drive by mistake must not walk it for minutes.
constexpr std::size_t kMostFoldersListed = 5000;

std::string MiB(std::uint64_t bytes) {
    return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

int SkyIndexOf(const std::string& name) {
    const std::string lower = AsciiLower(name);
    for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
        if (lower == SkyFileNames[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

FileKind KindOf(const std::string& name, int& sky) {
    sky = SkyIndexOf(name);
    if (sky >= 0) {
        return FileKind::Sky;
    }
    const std::string extension = ExtensionOf(name);
    static const std::set<std::string> pictures = {".bmp", ".jpg", ".jpeg", ".png",
                                                   ".gif", ".tif", ".tiff"};
    static const std::set<std::string> texts = {".txt", ".nfo", ".md"};
    if (pictures.count(extension) != 0) {
        return FileKind::Picture;
    }
    return texts.count(extension) != 0 ? FileKind::Text : FileKind::Other;
}

DownloadFile MakeFile(const std::string& folder, const std::string& name) {
    DownloadFile file;
    file.folder = folder;
    file.name = name;
    file.kind = KindOf(name, file.sky);
    return file;
}

// Windows' letter case of a name, as it compares names in a folder: ASCII, Latin-1, Latin
// Extended-A, Greek and Cyrillic fold; other bytes stay as they are.
std::string FoldedName(const std::string& name) {
    std::string folded;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        // All the letters that fold past ASCII are two bytes of UTF-8.
        if (lead < 0xC0 || lead >= 0xE0 || i + 1 >= name.size()) {
            folded += AsciiLower(name[i]);
            ++i;
            continue;
        }
        char32_t c = ((lead & 0x1FU) << 6) | (static_cast<unsigned char>(name[i + 1]) & 0x3FU);
        if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9) ||
            (c >= 0x410 && c <= 0x42F)) {
            c += 0x20;
        } else if (c >= 0x400 && c <= 0x40F) {
            c += 0x50;
        } else if (c == 0x178) {
            c = 0xFF;
        } else if (c == 0x3C2) {
            c = 0x3C3;  // the final sigma is a sigma
        } else if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && c % 2 == 0) {
            c += 1;
        } else if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) {
            c += 1;
        }
        folded += static_cast<char>(0xC0 | (c >> 6));
        folded += static_cast<char>(0x80 | (c & 0x3F));
        i += 2;
    }
    return folded;
}

// The names of a download, each path once in Windows' letter case: two names that Windows takes
// for one (a file twice, a file and a folder of one name, "Sky" and "SKY") make the download
// ambiguous, whichever of them would be taken.
class NameRegister {
  public:
    // The refusal, naming both, when `path` clashes with a name seen before; `outcome` ends
    // its sentence.
    std::optional<Refusal> Add(const std::string& path, bool isFolder, const char* outcome) {
        const auto [seen, inserted] = seen_.try_emplace(FoldedName(path), Seen{path, isFolder});
        if (inserted || (isFolder && seen->second.isFolder && seen->second.spelling == path)) {
            return std::nullopt;
        }
        if (seen->second.spelling == path) {
            return Refusal{"It holds " + ShownName(path) + " twice, so " + outcome};
        }
        return Refusal{"Its names " + ShownName(seen->second.spelling) + " and " + ShownName(path) +
                       " differ only in letter case, and Windows takes them for one, so " +
                       outcome};
    }

  private:
    struct Seen {
        std::string spelling;
        bool isFolder = false;
    };
    std::map<std::string, Seen> seen_;
};

// A file beyond kLargestFileBytes, in the words that fit what it is.
std::string TooLargeReason(const std::string& file, FileKind kind) {
    return file + " is larger than " + MiB(kLargestFileBytes) +
           (kind == FileKind::Sky ? ", more than a sky file can be"
                                  : ", more than SkySwap takes from a sky download");
}

std::string ReadFailure(const std::string& relative, const FsStatus& status) {
    return relative + " cannot be read" +
           (status.message.empty() ? std::string() : ": " + status.message) +
           ". Nothing was added.";
}

// A folder on disk, walked down to the deepest folder a set may be in.
class FolderDownload final : public Download {
  public:
    FolderDownload(FileSystem& fs, std::string top) : fs_(fs), top_(std::move(top)) {}

    std::optional<Refusal> List() {
        std::vector<std::string> pending = {""};
        std::size_t listed = 0;
        while (!pending.empty()) {
            const std::string folder = pending.back();
            pending.pop_back();
            if (++listed > kMostFoldersListed) {
                return Refusal{"It holds more than " + std::to_string(kMostFoldersListed) +
                               " folders; add the folder of the sky itself."};
            }
            std::vector<FolderEntry> entries;
            const FsStatus status = fs_.ListFolder(JoinPath(top_, folder), entries);
            if (!status.ok()) {
                return Refusal{ReadFailure(folder.empty() ? name : folder, status)};
            }
            for (const FolderEntry& entry : entries) {
                const std::string relative = JoinPath(folder, entry.name);
                if (std::optional<Refusal> clash =
                        names_.Add(relative, entry.isFolder, "nothing was added.")) {
                    return clash;
                }
                if (entry.isLink) {
                    // A junction or symbolic link may lead anywhere: up into a loop, to a whole
                    // drive, to a file of another program. None is entered or taken; a sky file
                    // that is one would leave its set without it, so that refuses the download.
                    if (!entry.isFolder && SkyIndexOf(entry.name) >= 0) {
                        return Refusal{"Its file " + ShownName(relative) +
                                       " is a link to another place, and SkySwap takes no linked "
                                       "file from a download. Nothing was added."};
                    }
                    continue;
                }
                if (entry.isFolder) {
                    if (DepthOf(folder) < kDeepestSetFolder) {
                        pending.push_back(relative);
                    }
                    continue;
                }
                DownloadFile file = MakeFile(folder, entry.name);
                if (file.kind != FileKind::Other) {
                    // The size decides which picture is the largest; a file whose size cannot be
                    // learned counts as empty here and says why when it is read.
                    fs_.FileSize(Path(file), file.size);
                }
                files.push_back(std::move(file));
            }
        }
        return std::nullopt;
    }

    std::optional<Refusal> Read(const DownloadFile& file, std::string& bytes) override {
        std::uint64_t size = 0;
        FsStatus status = fs_.FileSize(Path(file), size);
        if (status.ok() && size > kLargestFileBytes) {
            return Refusal{TooLargeReason(file.Relative(), file.kind) + ". Nothing was added."};
        }
        if (status.ok()) {
            status = fs_.ReadAt(Path(file), 0, static_cast<std::size_t>(size), bytes);
        }
        if (status.ok() && bytes.size() != size) {
            status = {FsError::Other, "it changed while it was read"};
        }
        if (!status.ok()) {
            return Refusal{ReadFailure(file.Relative(), status)};
        }
        return std::nullopt;
    }

  private:
    std::string Path(const DownloadFile& file) const { return JoinPath(top_, file.Relative()); }

    FileSystem& fs_;
    std::string top_;
    NameRegister names_;
};

// A ZIP archive. Every entry is read and checked before anything is written, so a damaged
// archive is refused whole, except those the caller leaves to be checked when they are read; the
// entries the caller names are kept from that reading, and the others unpacked again when read.
class ArchiveDownload final : public Download {
  public:
    explicit ArchiveDownload(std::unique_ptr<Archive> archive) : archive_(std::move(archive)) {}

    // Refuses names that would reach out of the set folder, encrypted entries and sizes beyond
    // the limits, before any byte is unpacked.
    std::optional<Refusal> List() {
        std::uint64_t total = 0;
        const std::vector<ArchiveEntry>& entries = archive_->Entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const ArchiveEntry& entry = entries[i];
            if (!IsSafeEntryName(entry.name)) {
                return Refusal{"It holds a file with an unsafe name (" + ShownName(entry.name) +
                               "), so nothing was unpacked."};
            }
            const std::string relative = RelativeOf(entry.name);
            // Every folder on the way is a name too: "Sky/a.ter" and "SKY/b.ter" are one folder.
            for (std::size_t at = relative.find('\\'); at != std::string::npos;
                 at = relative.find('\\', at + 1)) {
                if (std::optional<Refusal> clash =
                        names_.Add(relative.substr(0, at), true, "nothing was unpacked.")) {
                    return clash;
                }
            }
            if (std::optional<Refusal> clash =
                    names_.Add(relative, entry.isFolder, "nothing was unpacked.")) {
                return clash;
            }
            if (entry.isFolder) {
                continue;
            }
            if (entry.encrypted) {
                return Refusal{"Its file " + ShownName(entry.name) +
                               " is encrypted; SkySwap cannot unpack password-protected "
                               "archives."};
            }
            DownloadFile file = MakeFile(ParentOf(relative), LastName(relative));
            if (entry.size > kLargestFileBytes) {
                return Refusal{"Its file " + TooLargeReason(ShownName(entry.name), file.kind) +
                               "."};
            }
            total += entry.size;
            if (total > kLargestArchiveBytes) {
                return Refusal{"It unpacks to more than " + MiB(kLargestArchiveBytes) +
                               ", more than a sky download can be."};
            }
            file.size = entry.size;
            file.entry = i;
            files.push_back(std::move(file));
        }
        if (files.empty()) {
            return Refusal{"It is an empty ZIP archive: it holds no files."};
        }
        return std::nullopt;
    }

    // Reads every entry once as `uses` says.
    std::optional<Refusal> ReadAll(const std::vector<EntryUse>& uses) {
        for (const DownloadFile& file : files) {
            const EntryUse use = file.entry < uses.size() ? uses[file.entry] : EntryUse::Check;
            if (use == EntryUse::Later) {
                continue;
            }
            std::string bytes;
            const bool kept = use == EntryUse::Keep;
            if (std::optional<Refusal> refusal = Unpack(file, kept ? &bytes : nullptr)) {
                return refusal;
            }
            if (kept) {
                contents_[file.entry] = std::move(bytes);
            }
        }
        return std::nullopt;
    }

    // A kept file is copied; any other is unpacked again, straight into `bytes`.
    std::optional<Refusal> Read(const DownloadFile& file, std::string& bytes) override {
        const auto kept = contents_.find(file.entry);
        if (kept == contents_.end()) {
            return Unpack(file, &bytes);
        }
        bytes = kept->second;
        return std::nullopt;
    }

    // Hands over the kept bytes instead of copying them.
    std::optional<Refusal> Take(const DownloadFile& file, std::string& bytes) override {
        const auto kept = contents_.find(file.entry);
        if (kept == contents_.end()) {
            return Unpack(file, &bytes);
        }
        bytes = std::move(kept->second);
        contents_.erase(kept);
        return std::nullopt;
    }

    // Of a file not kept, only as much is unpacked.
    std::optional<Refusal> ReadStart(const DownloadFile& file, std::size_t count,
                                     std::string& bytes) override {
        const auto kept = contents_.find(file.entry);
        if (kept != contents_.end()) {
            bytes = kept->second.substr(0, count);
            return std::nullopt;
        }
        return RefusalFor(file, archive_->ReadStart(file.entry, count, bytes));
    }

  private:
    // The entry's path below the archive's top as the program spells it, "\" between folders,
    // without the empty and "." parts that Windows drops: "Sky/./a.ter" is "Sky\a.ter".
    static std::string RelativeOf(const std::string& name) {
        std::string relative;
        std::size_t start = 0;
        while (start < name.size()) {
            std::size_t end = name.find_first_of("/\\", start);
            if (end == std::string::npos) {
                end = name.size();
            }
            const std::string part = name.substr(start, end - start);
            if (!part.empty() && part != ".") {
                relative = JoinPath(relative, part);
            }
            start = end + 1;
        }
        return relative;
    }

    // Unpacks a file into `bytes`, or only checks it when `bytes` is null.
    std::optional<Refusal> Unpack(const DownloadFile& file, std::string* bytes) {
        return RefusalFor(file,
                          archive_->Read(file.entry, static_cast<std::size_t>(file.size), bytes));
    }

    std::optional<Refusal> RefusalFor(const DownloadFile& file, const ArchiveStatus& status) const {
        if (!status.ok()) {
            return Refusal{EntryFailure(ShownName(archive_->Entries()[file.entry].name), status)};
        }
        return std::nullopt;
    }

    static std::string EntryFailure(const std::string& entry, const ArchiveStatus& status) {
        switch (status.error) {
            case ArchiveError::Encrypted:
                return "Its file " + entry +
                       " is encrypted; SkySwap cannot unpack password-protected archives.";
            case ArchiveError::TooLarge:
            case ArchiveError::Damaged:
            case ArchiveError::NotAnArchive:
                return "Its file " + entry +
                       " is damaged or packed in a way SkySwap cannot unpack, so nothing was "
                       "unpacked.";
            case ArchiveError::Unreadable:
                return "It cannot be read" +
                       (status.fs.message.empty() ? std::string() : ": " + status.fs.message) + ".";
            case ArchiveError::None:
                break;
        }
        return "It cannot be unpacked.";
    }

    std::unique_ptr<Archive> archive_;
    std::map<std::size_t, std::string> contents_;
    NameRegister names_;
};

}  // namespace

std::string ExtensionOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : AsciiLower(name.substr(dot));
}

std::string StemOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int DepthOf(const std::string& folder) {
    return folder.empty() ? 0
                          : 1 + static_cast<int>(std::count(folder.begin(), folder.end(), '\\'));
}

std::optional<Refusal> ListFolderDownload(FileSystem& fs, const std::string& path,
                                          std::unique_ptr<Download>& download) {
    auto folder = std::make_unique<FolderDownload>(fs, path);
    folder->name = LastName(path);
    std::optional<Refusal> refusal = folder->List();
    download = std::move(folder);
    return refusal;
}

std::optional<Refusal> ReadArchiveDownload(std::unique_ptr<Archive> archive, std::string name,
                                           const EntryUses& uses,
                                           std::unique_ptr<Download>& download) {
    auto zip = std::make_unique<ArchiveDownload>(std::move(archive));
    zip->name = std::move(name);
    std::optional<Refusal> refusal = zip->List();
    if (!refusal) {
        refusal = zip->ReadAll(uses(*zip));
    }
    download = std::move(zip);
    return refusal;
}

}  // namespace skyswap
