#include "add_sets.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "ascii.h"
#include "description.h"
#include "discovery.h"
#include "game_transfers.h"
#include "paths.h"
#include "recognition.h"
#include "transfers.h"

namespace skyswap {

namespace {

// A readme of more than this is not a readme; it stays behind.
constexpr std::uint64_t kLargestTextBytes = 1024 * 1024;
// A picture that cannot be decoded gives way to the next candidate, a few times at most.
constexpr std::size_t kPictureTries = 4;
// Dropping a whole drive by mistake must not walk it for minutes.
constexpr std::size_t kMostFoldersListed = 5000;

const char* const kArchiveKindReason =
    "SkySwap reads ZIP archives; unpack this one and add its folder";

// The lower-case extension with its dot: ".zip"; empty when there is none.
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

std::string MiB(std::uint64_t bytes) {
    return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

enum class FileKind { Sky, Picture, Text, Other };

// One file of a download, folder or archive alike.
struct DownloadFile {
    std::string folder;  // relative to the download's top, "" for the top itself
    std::string name;
    std::uint64_t size = 0;
    FileKind kind = FileKind::Other;
    int sky = -1;           // index in SkyFileNames for a sky file
    std::size_t entry = 0;  // the archive entry it comes from

    std::string Relative() const { return JoinPath(folder, name); }
};

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

// A download that cannot be added at all, or a set of it that cannot: a sentence for the user.
struct Refusal {
    std::string reason;
    bool libraryProtected = false;
};

class Download {
  public:
    virtual ~Download() = default;
    // The whole file; a refusal naming it when it cannot be read.
    virtual std::optional<Refusal> Read(const DownloadFile& file, std::string& bytes) = 0;
    // The same, for a file that is read once: a sky file, which belongs to one set folder only.
    virtual std::optional<Refusal> Take(const DownloadFile& file, std::string& bytes) {
        return Read(file, bytes);
    }

    std::string name;  // the folder's name, or the archive's without its extension
    std::vector<DownloadFile> files;
};

DownloadFile MakeFile(const std::string& folder, const std::string& name) {
    DownloadFile file;
    file.folder = folder;
    file.name = name;
    file.kind = KindOf(name, file.sky);
    return file;
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
                if (entry.isFolder) {
                    if (DepthOf(folder) < kDeepestSetFolder) {
                        pending.push_back(JoinPath(folder, entry.name));
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
            return Refusal{file.Relative() + " is larger than " + MiB(kLargestFileBytes) +
                           ", more than a sky file can be. Nothing was added."};
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
};

// A ZIP archive. Every entry is read and checked before anything is written, so a damaged
// archive is refused whole; the entries a set needs are kept from that reading.
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
                return Refusal{"It holds a file with an unsafe name (" + entry.name +
                               "), so nothing was unpacked."};
            }
            if (entry.isFolder) {
                continue;
            }
            if (entry.encrypted) {
                return Refusal{"Its file " + entry.name +
                               " is encrypted; SkySwap cannot unpack password-protected "
                               "archives."};
            }
            if (entry.size > kLargestFileBytes) {
                return Refusal{"Its file " + entry.name + " is larger than " +
                               MiB(kLargestFileBytes) + ", more than a sky file can be."};
            }
            total += entry.size;
            if (total > kLargestArchiveBytes) {
                return Refusal{"It unpacks to more than " + MiB(kLargestArchiveBytes) +
                               ", more than a sky download can be."};
            }
            std::string relative = entry.name;
            std::replace(relative.begin(), relative.end(), '/', '\\');
            DownloadFile file = MakeFile(ParentOf(relative), LastName(relative));
            file.size = entry.size;
            file.entry = i;
            files.push_back(std::move(file));
        }
        return std::nullopt;
    }

    // Reads every entry once, checking each; `keep` says which entries' bytes are kept.
    std::optional<Refusal> ReadAll(const std::vector<bool>& keep) {
        const std::vector<ArchiveEntry>& entries = archive_->Entries();
        for (const DownloadFile& file : files) {
            std::string bytes;
            const bool kept = keep[file.entry];
            const ArchiveStatus status = archive_->Read(
                file.entry, static_cast<std::size_t>(file.size), kept ? &bytes : nullptr);
            if (!status.ok()) {
                return Refusal{EntryFailure(entries[file.entry].name, status)};
            }
            if (kept) {
                contents_[file.entry] = std::move(bytes);
            }
        }
        return std::nullopt;
    }

    std::optional<Refusal> Read(const DownloadFile& file, std::string& bytes) override {
        const auto kept = contents_.find(file.entry);
        if (kept == contents_.end()) {
            return Refusal{file.Relative() + " was not unpacked. Nothing was added."};
        }
        bytes = kept->second;
        return std::nullopt;
    }

    // Hands over the unpacked bytes instead of copying them: 10 MiB of sky files are not
    // copied again.
    std::optional<Refusal> Take(const DownloadFile& file, std::string& bytes) override {
        const auto kept = contents_.find(file.entry);
        if (kept == contents_.end()) {
            return Read(file, bytes);
        }
        bytes = std::move(kept->second);
        contents_.erase(kept);
        return std::nullopt;
    }

  private:
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
};

// A folder of the download that becomes a set.
struct SetSource {
    std::string folder;
    std::vector<const DownloadFile*> skyFiles;  // by SkyFileNames index, null where absent
};

// Case-insensitive, folder by folder: "Pack\Sky 2" before "Pack\sky 3", and "Pack\A" (a folder
// inside "Pack") before "Pack A".
bool FolderBefore(const std::string& a, const std::string& b) {
    const auto key = [](const std::string& path) {
        std::string lower = AsciiLower(path);
        std::replace(lower.begin(), lower.end(), '\\', '\x01');
        return lower;
    };
    return key(a) < key(b);
}

std::vector<SetSource> SetSourcesOf(const Download& download) {
    std::map<std::string, SetSource> byFolder;
    for (const DownloadFile& file : download.files) {
        if (file.kind != FileKind::Sky || DepthOf(file.folder) > kDeepestSetFolder) {
            continue;
        }
        SetSource& source = byFolder[file.folder];
        source.folder = file.folder;
        source.skyFiles.resize(SkyFileNames.size(), nullptr);
        // Two names that differ only in case: the first in name order counts.
        const DownloadFile*& slot = source.skyFiles[static_cast<std::size_t>(file.sky)];
        if (slot == nullptr || file.name < slot->name) {
            slot = &file;
        }
    }
    std::vector<SetSource> sources;
    for (auto& [folder, source] : byFolder) {
        sources.push_back(std::move(source));
    }
    std::stable_sort(sources.begin(), sources.end(), [](const SetSource& a, const SetSource& b) {
        return FolderBefore(a.folder, b.folder);
    });
    return sources;
}

std::string NoSkyFilesReason() {
    std::string names;
    for (const char* name : SkyFileNames) {
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    return "It holds none of the sky files SkySwap looks for (" + names +
           ", in any letter case), neither in its own folder nor in folders up to " +
           std::to_string(kDeepestSetFolder) + " levels below.";
}

// The set number a folder of another library stands for ("ZT7" -> 7).
std::optional<int32_t> OtherLibrarySet(const Download& download, const std::string& folder) {
    return SetNumberFromFolderName(folder.empty() ? download.name : LastName(folder));
}

const DownloadFile* FileNamed(const Download& download, const std::string& folder,
                              const std::string& name) {
    const std::string lower = AsciiLower(name);
    for (const DownloadFile& file : download.files) {
        if (file.folder == folder && AsciiLower(file.name) == lower) {
            return &file;
        }
    }
    return nullptr;
}

// Keeps a description to one field between double quotes: a double quote inside becomes a
// single one, and control characters go.
std::string Printable(const std::string& text) {
    std::string result;
    for (const char c : text) {
        if (c == '"') {
            result += '\'';
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            result += c;
        }
    }
    return result;
}

std::string DescriptionOf(Download& download, const SetSource& source, bool pack) {
    if (const std::optional<int32_t> other = OtherLibrarySet(download, source.folder)) {
        const std::string name = SetFolderName(*other) + ".txt";
        if (const DownloadFile* file = FileNamed(download, source.folder, name)) {
            std::string bytes;
            if (!download.Read(*file, bytes)) {
                const std::string field = Printable(FirstField(bytes));
                if (!field.empty()) {
                    return field;
                }
            }
        }
    }
    std::string description = download.name;
    if (pack && !source.folder.empty()) {
        description += " - " + LastName(source.folder);
    }
    return Printable(description);
}

bool NameSays(const std::string& name) {
    const std::string stem = AsciiLower(StemOf(name));
    for (const char* word : {"preview", "thumb", "screen", "sky"}) {
        if (stem.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// The pictures to try for a set's thumbnail, the best first: another library's thumbnail, then
// the set folder's own pictures (those whose name says what they show before the largest), then
// those of each folder above it up to the download's top, which may stand for a whole pack.
std::vector<const DownloadFile*> PictureCandidates(const Download& download,
                                                   const SetSource& source) {
    std::vector<const DownloadFile*> candidates;
    const auto add = [&](const DownloadFile* file) {
        if (file != nullptr &&
            std::find(candidates.begin(), candidates.end(), file) == candidates.end()) {
            candidates.push_back(file);
        }
    };
    if (const std::optional<int32_t> other = OtherLibrarySet(download, source.folder)) {
        add(FileNamed(download, source.folder, SetFolderName(*other) + ".bmp"));
    }
    const auto picturesIn = [&](const std::string& folder) {
        std::vector<const DownloadFile*> pictures;
        for (const DownloadFile& file : download.files) {
            if (file.kind == FileKind::Picture && file.folder == folder) {
                pictures.push_back(&file);
            }
        }
        std::stable_sort(
            pictures.begin(), pictures.end(), [](const DownloadFile* a, const DownloadFile* b) {
                return a->size != b->size ? a->size > b->size : FolderBefore(a->name, b->name);
            });
        return pictures;
    };
    for (std::string folder = source.folder;; folder = ParentOf(folder)) {
        const std::vector<const DownloadFile*> pictures = picturesIn(folder);
        for (const DownloadFile* file : pictures) {
            if (NameSays(file->name)) {
                add(file);
            }
        }
        for (const DownloadFile* file : pictures) {
            add(file);
        }
        if (folder.empty()) {
            break;
        }
    }
    return candidates;
}

// A name Windows can hold as a file, for the texts copied along.
bool PlainFileName(const std::string& name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 ||
               std::string("<>:\"/\\|?*").find(c) != std::string::npos;
    });
}

// The readme and credits of the set's folder and of the folders above it up to the download's
// top, the nearest first; a description file of another library stays behind.
std::vector<const DownloadFile*> TextsFor(const Download& download, const SetSource& source) {
    std::vector<const DownloadFile*> texts;
    std::set<std::string> names;
    std::string folder = source.folder;
    for (;;) {
        for (const DownloadFile& file : download.files) {
            if (file.kind != FileKind::Text || file.folder != folder ||
                file.size > kLargestTextBytes || !PlainFileName(file.name) ||
                (ExtensionOf(file.name) == ".txt" && SetNumberFromFolderName(StemOf(file.name)))) {
                continue;
            }
            if (names.insert(AsciiLower(file.name)).second) {
                texts.push_back(&file);
            }
        }
        if (folder.empty()) {
            break;
        }
        folder = ParentOf(folder);
    }
    return texts;
}

std::string WriteFailure(const std::string& file, const FsStatus& status) {
    switch (status.error) {
        case FsError::DiskFull:
            return "There is not enough room on the disk for " + file + ". Nothing was added.";
        case FsError::ReadOnly:
            return file + " cannot be written: the disk is read-only. Nothing was added.";
        default:
            break;
    }
    return file + " cannot be written" +
           (status.message.empty() ? std::string() : ": " + status.message) +
           ". Nothing was added.";
}

Refusal LibraryRefused(const std::string& library, const std::string& file,
                       const FsStatus& status) {
    if (status.error == FsError::AccessDenied) {
        return {"Windows protects the library folder " + library +
                    ". SkySwap needs administrator rights to add sets there. Nothing was added.",
                true};
    }
    return {WriteFailure(file, status)};
}

// A set folder being built under its temporary name; removed again unless it is finished.
class StagedSet {
  public:
    StagedSet(FileSystem& fs, std::string library, int32_t n)
        : fs_(fs),
          library_(std::move(library)),
          setName_(SetFolderName(n)),
          final_(library_ + "\\" + setName_),
          building_(final_ + kStagedSuffix) {}
    ~StagedSet() {
        if (!finished_) {
            Remove();
        }
    }
    StagedSet(const StagedSet&) = delete;
    StagedSet& operator=(const StagedSet&) = delete;

    const std::string& setName() const { return setName_; }

    // Removes what an attempt that was cut short (a crash, a power cut) left under the temporary
    // name; the program alone makes folders with this suffix, so the files in it go. False when
    // the folder stays.
    bool ClearLeftover() {
        if (!fs_.IsFolder(building_)) {
            return true;
        }
        std::vector<FolderEntry> entries;
        fs_.ListFolder(building_, entries);
        for (const FolderEntry& entry : entries) {
            if (!entry.isFolder) {
                fs_.RemoveFile(building_ + "\\" + entry.name);
            }
        }
        return fs_.RemoveFolder(building_).ok() || !fs_.IsFolder(building_);
    }

    std::optional<Refusal> Create() {
        const FsStatus status = fs_.CreateFolder(building_);
        if (!status.ok()) {
            return LibraryRefused(library_, setName_, status);
        }
        created_ = true;
        return std::nullopt;
    }

    std::optional<Refusal> Write(const std::string& name, const std::string& bytes) {
        written_.push_back(name);
        const FsStatus status = fs_.WriteFlushed(building_ + "\\" + name, bytes);
        if (!status.ok()) {
            return LibraryRefused(library_, setName_ + "\\" + name, status);
        }
        return std::nullopt;
    }

    std::optional<Refusal> Finish() {
        const FsStatus status = fs_.RenameFolder(building_, final_);
        if (!status.ok()) {
            return LibraryRefused(library_, setName_, status);
        }
        finished_ = true;
        return std::nullopt;
    }

  private:
    void Remove() {
        for (const std::string& name : written_) {
            fs_.RemoveFile(building_ + "\\" + name);
        }
        if (created_) {
            fs_.RemoveFolder(building_);
        }
    }

    FileSystem& fs_;
    std::string library_;
    std::string setName_;
    std::string final_;
    std::string building_;
    std::vector<std::string> written_;
    bool created_ = false;
    bool finished_ = false;
};

class Adder {
  public:
    Adder(const AppState& state, const AddServices& services) : services_(services) {
        library_.libraryFolder = state.libraryFolder;
        library_.setCount = state.setCount;
        library_.setNumbers = state.setNumbers;
    }

    void AddPath(const std::string& path, AddOutcome& outcome) {
        const std::size_t before = outcome.added.size();
        std::unique_ptr<Download> download;
        if (std::optional<Refusal> refusal = OpenDownload(path, download)) {
            Refuse(path, *refusal, outcome);
        } else {
            AddSets(path, *download, outcome);
        }
        if (outcome.added.size() == before) {
            ++outcome.pathsWithoutSet;
        }
    }

  private:
    static void Refuse(const std::string& path, const Refusal& refusal, AddOutcome& outcome) {
        outcome.refused.push_back({path, refusal.reason});
        outcome.libraryProtected = outcome.libraryProtected || refusal.libraryProtected;
    }

    std::optional<Refusal> OpenDownload(const std::string& given,
                                        std::unique_ptr<Download>& download) {
        std::string path = given;
        while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) {
            path.pop_back();
        }
        FileSystem& fs = services_.fs;
        if (fs.IsFolder(path)) {
            auto folder = std::make_unique<FolderDownload>(fs, path);
            folder->name = LastName(path);
            std::optional<Refusal> refusal = folder->List();
            download = std::move(folder);
            return refusal;
        }
        if (!fs.IsFile(path)) {
            return Refusal{"It cannot be found."};
        }
        const std::string extension = ExtensionOf(LastName(path));
        if (extension == ".7z" || extension == ".rar") {
            return Refusal{kArchiveKindReason};
        }
        if (extension != ".zip") {
            return Refusal{"It is neither a folder nor a ZIP archive."};
        }
        ArchiveStatus status;
        std::unique_ptr<Archive> archive = services_.archives.Open(fs, path, status);
        if (!archive) {
            if (status.error == ArchiveError::Unreadable) {
                return Refusal{
                    "It cannot be read" +
                    (status.fs.message.empty() ? std::string() : ": " + status.fs.message) + "."};
            }
            return Refusal{"It is not a ZIP archive, or the archive is damaged."};
        }
        auto zip = std::make_unique<ArchiveDownload>(std::move(archive));
        zip->name = StemOf(LastName(path));
        std::optional<Refusal> refusal = zip->List();
        if (!refusal) {
            refusal = zip->ReadAll(NeededEntries(*zip));
        }
        download = std::move(zip);
        return refusal;
    }

    // The entries whose bytes a set will take: its sky files, texts and pictures.
    static std::vector<bool> NeededEntries(const Download& download) {
        std::size_t count = 0;
        for (const DownloadFile& file : download.files) {
            count = std::max(count, file.entry + 1);
        }
        std::vector<bool> needed(count, false);
        for (const SetSource& source : SetSourcesOf(download)) {
            for (const DownloadFile* file : source.skyFiles) {
                if (file != nullptr) {
                    needed[file->entry] = true;
                }
            }
            const std::vector<const DownloadFile*> pictures = PictureCandidates(download, source);
            for (std::size_t i = 0; i < pictures.size() && i < kPictureTries; ++i) {
                needed[pictures[i]->entry] = true;
            }
            for (const DownloadFile* file : TextsFor(download, source)) {
                needed[file->entry] = true;
            }
            if (const std::optional<int32_t> other = OtherLibrarySet(download, source.folder)) {
                if (const DownloadFile* file =
                        FileNamed(download, source.folder, SetFolderName(*other) + ".txt")) {
                    needed[file->entry] = true;
                }
            }
        }
        return needed;
    }

    void AddSets(const std::string& path, Download& download, AddOutcome& outcome) {
        const std::vector<SetSource> sources = SetSourcesOf(download);
        if (sources.empty()) {
            Refuse(path, {NoSkyFilesReason()}, outcome);
            return;
        }
        for (const SetSource& source : sources) {
            const std::string description = DescriptionOf(download, source, sources.size() > 1);
            if (std::optional<Refusal> refusal = AddSet(download, source, description)) {
                Refuse(path, *refusal, outcome);
                if (refusal->libraryProtected) {
                    return;  // the other sets of this download would be refused alike
                }
                continue;
            }
            outcome.added.push_back({library_.setNumbers.back(), description, path});
        }
    }

    std::optional<Refusal> AddSet(Download& download, const SetSource& source,
                                  const std::string& description) {
        SkyFileContents contents;
        for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
            if (const DownloadFile* file = source.skyFiles[i]) {
                std::string bytes;
                if (std::optional<Refusal> refusal = download.Take(*file, bytes)) {
                    return refusal;
                }
                contents[i] = std::move(bytes);
            }
        }
        FileSystem& fs = services_.fs;
        if (const std::optional<int32_t> same =
                SetHoldingFiles(fs, library_.libraryFolder, library_.setNumbers, contents)) {
            return Refusal{description + " is already in your library as " + SetFolderName(*same)};
        }
        // A number whose temporary folder is still there and cannot be cleared (something else
        // was put in it) is passed over for the next free one.
        std::optional<StagedSet> building;
        int32_t n = -1;
        for (AppState from = library_;; from.setCount = n + 1) {
            n = FreeSetNumber(from, fs);
            if (n < 0) {
                return Refusal{"Every set number up to " + SetFolderName(kHighestSetNumber) +
                               " is taken."};
            }
            building.emplace(fs, library_.libraryFolder, n);
            if (building->ClearLeftover()) {
                break;
            }
        }
        StagedSet& staged = *building;
        std::optional<Refusal> refusal = staged.Create();
        for (std::size_t i = 0; i < SkyFileNames.size() && !refusal; ++i) {
            if (contents[i]) {
                refusal = staged.Write(SkyFileNames[i], *contents[i]);
            }
        }
        for (const DownloadFile* text : TextsFor(download, source)) {
            std::string bytes;
            if (!refusal) {
                refusal = download.Read(*text, bytes);
            }
            if (!refusal) {
                refusal = staged.Write(text->name, bytes);
            }
        }
        if (!refusal) {
            if (std::optional<std::string> thumbnail = ThumbnailFor(download, source)) {
                refusal = staged.Write(staged.setName() + ".bmp", *thumbnail);
            }
        }
        if (!refusal) {
            refusal = staged.Write(staged.setName() + ".txt", "\"" + description + "\"\r\n");
        }
        if (!refusal) {
            refusal = staged.Finish();
        }
        if (refusal) {
            return refusal;
        }
        library_.setNumbers.push_back(n);
        library_.setCount = n + 1;
        return std::nullopt;
    }

    // The first candidate picture that decodes, as a thumbnail file; nothing when none does,
    // and the set shows the placeholder.
    std::optional<std::string> ThumbnailFor(Download& download, const SetSource& source) {
        std::size_t tries = 0;
        for (const DownloadFile* file : PictureCandidates(download, source)) {
            if (tries++ == kPictureTries) {
                break;
            }
            std::string bytes;
            std::string pixels;
            if (download.Read(*file, bytes) ||
                !services_.pictures.ScaleToCover(bytes, kThumbnailWidth, kThumbnailHeight,
                                                 pixels) ||
                pixels.size() != static_cast<std::size_t>(kThumbnailWidth) * kThumbnailHeight * 3) {
                continue;  // an unreadable or broken picture: the next one may do
            }
            return BmpFile24(kThumbnailWidth, kThumbnailHeight, pixels);
        }
        return std::nullopt;
    }

    const AddServices& services_;
    AppState library_;  // libraryFolder, setCount and setNumbers, following the sets made
};

}  // namespace

AddOutcome AddDownloads(const AppState& state, const AddServices& services,
                        const std::vector<std::string>& paths, const std::atomic<bool>* cancel) {
    AddOutcome outcome;
    Adder adder(state, services);
    for (const std::string& path : paths) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            break;
        }
        adder.AddPath(path, outcome);
    }
    return outcome;
}

void ApplyAdded(AppState& state, const AddOutcome& outcome) {
    for (const AddedSet& set : outcome.added) {
        if (std::find(state.setNumbers.begin(), state.setNumbers.end(), set.set) ==
            state.setNumbers.end()) {
            state.setNumbers.push_back(set.set);
        }
        state.setCount = std::max(state.setCount, set.set + 1);
    }
    std::sort(state.setNumbers.begin(), state.setNumbers.end());
}

std::vector<std::string> AddedLines(const AddOutcome& outcome) {
    std::vector<std::string> lines;
    for (const AddedSet& set : outcome.added) {
        lines.push_back("Added " + SetFolderName(set.set) + ": " + set.description);
    }
    return lines;
}

std::vector<std::string> RefusalLines(const AddOutcome& outcome) {
    std::vector<std::string> lines;
    for (const AddRefusal& refusal : outcome.refused) {
        lines.push_back(refusal.source + ": " + refusal.reason);
    }
    return lines;
}

}  // namespace skyswap
