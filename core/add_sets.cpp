#include "add_sets.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "description.h"
#include "discovery.h"
#include "download.h"
#include "download_sets.h"
#include "game_transfers.h"
#include "paths.h"
#include "recognition.h"
#include "transfers.h"

namespace skyswap {

namespace {

// A picture that cannot be decoded gives way to the next candidate, a few times at most.
constexpr std::size_t kPictureTries = 4;

const char* const kArchiveKindReason =
    "SkySwap reads ZIP archives; unpack this one and add its folder";

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
            return ListFolderDownload(fs, path, download);
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
        return ReadArchiveDownload(std::move(archive), StemOf(LastName(path)), EntriesNeeded,
                                   download);
    }

    // The entries whose bytes a set will take: its sky files, texts and pictures.
    static std::vector<bool> EntriesNeeded(const Download& download) {
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
