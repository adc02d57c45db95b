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
#include "staged_set.h"
#include "transfers.h"

namespace skyswap {

namespace {

// A picture that cannot be decoded gives way to the next candidate, a few times at most.
constexpr std::size_t kPictureTries = 4;

const char* const kArchiveKindReason =
    "SkySwap reads ZIP archives; unpack this one and add its folder";

// A .zip that is another kind of archive says which: a 7z or RAR archive renamed .zip is a common
// mistake.
std::string NotAZipReason(ForeignArchive foreign) {
    const char* kind = nullptr;
    switch (foreign) {
        case ForeignArchive::SevenZip:
            kind = "a 7z archive";
            break;
        case ForeignArchive::Rar:
            kind = "a RAR archive";
            break;
        case ForeignArchive::Gzip:
            kind = "a gzip-compressed file";
            break;
        case ForeignArchive::Tar:
            kind = "a tar archive";
            break;
        case ForeignArchive::Unknown:
            return "It is not a ZIP archive, or the archive is damaged.";
    }
    return "This is " + std::string(kind) + ", though its name says ZIP. " + kArchiveKindReason +
           ".";
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

// Only a refused staging folder is Windows' protection of the library, which administrator
// rights lift; a file refused inside the folder we just made, or a rename refused past every
// retry, is another program at work in it.
Refusal StagingRefused(const std::string& library, const StagingResult& result) {
    switch (result.failedStep) {
        case StagingStep::MakeFolder:
            if (result.status.error == FsError::AccessDenied) {
                return {"Windows protects the library folder " + library +
                            ". SkySwap needs administrator rights to add sets there. Nothing was "
                            "added.",
                        true};
            }
            break;
        case StagingStep::ChooseNumber:
            return {"Every set number up to " + SetFolderName(kHighestSetNumber) + " is taken."};
        case StagingStep::NameFolder:
            return {result.name + " cannot be written: " +
                    HeldFolderReason(result.name, result.status) + ". Nothing was added."};
        case StagingStep::None:
        case StagingStep::WriteFile:
        case StagingStep::CopySkyFiles:
            break;
    }
    return {WriteFailure(result.name, result.status)};
}

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
        outcome.refused.push_back({path, refusal.reason, refusal.libraryProtected});
        outcome.libraryProtected = outcome.libraryProtected || refusal.libraryProtected;
    }

    std::optional<Refusal> OpenDownload(const std::string& given,
                                        std::unique_ptr<Download>& download) {
        // "Z:/Downloads/Dawn Patrol.zip" is the same path to Windows, and names the same
        // download; a trailing separator ("C:\Downloads\Stormy Evening\") names the folder, but
        // the one after a drive ("C:\") is the root itself.
        std::string path = given;
        std::replace(path.begin(), path.end(), '/', '\\');
        while (path.size() > 1 && path.back() == '\\' && path[path.size() - 2] != ':') {
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
            return Refusal{NotAZipReason(status.foreign)};
        }
        return ReadArchiveDownload(std::move(archive), StemOf(LastName(path)), EntryUsesOf,
                                   download);
    }

    // What the first reading of an archive does with each entry. A set's texts and pictures are
    // kept. Its sky files are unpacked one by one as they are written, so that they never all
    // exist in memory at once: a single set's only then, as a damaged one removes what was
    // staged; a pack's are checked first as well, so that a damaged one refuses the whole pack
    // before any of its sets is made.
    static std::vector<EntryUse> EntryUsesOf(const Download& download) {
        std::size_t count = 0;
        for (const DownloadFile& file : download.files) {
            count = std::max(count, file.entry + 1);
        }
        std::vector<EntryUse> uses(count, EntryUse::Check);
        const std::vector<SetSource> sources = SetSourcesOf(download);
        if (sources.size() == 1) {
            for (const DownloadFile* file : sources[0].skyFiles) {
                if (file != nullptr) {
                    uses[file->entry] = EntryUse::Later;
                }
            }
        }
        for (const SetSource& source : sources) {
            const std::vector<const DownloadFile*> pictures = PictureCandidates(download, source);
            for (std::size_t i = 0; i < pictures.size() && i < kPictureTries; ++i) {
                uses[pictures[i]->entry] = EntryUse::Keep;
            }
            for (const DownloadFile* file : TextsFor(download, source)) {
                uses[file->entry] = EntryUse::Keep;
            }
            if (const std::optional<int32_t> other = OtherLibrarySet(download, source.folder)) {
                if (const DownloadFile* file =
                        FileNamed(download, source.folder, SetFolderName(*other) + ".txt")) {
                    uses[file->entry] = EntryUse::Keep;
                }
            }
        }
        return uses;
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
        PendingSkyFiles pending;
        for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
            if (const DownloadFile* file = source.skyFiles[i]) {
                pending.sizes[i] = file->size;
            }
        }
        pending.read = [&download, &source](std::size_t i, std::string& bytes) {
            return !download.Read(*source.skyFiles[i], bytes);
        };
        pending.readStart = [&download, &source](std::size_t i, std::size_t count,
                                                 std::string& bytes) {
            return !download.ReadStart(*source.skyFiles[i], count, bytes);
        };
        FileSystem& fs = services_.fs;
        if (const std::optional<int32_t> same =
                SetHoldingFiles(fs, library_.libraryFolder, library_.setNumbers, pending)) {
            return Refusal{description + " is already in your library as " + SetFolderName(*same)};
        }
        StagedSet staged(fs, library_);
        StagingResult result = staged.Create();
        std::string bytes;  // one buffer for every sky file in turn
        for (std::size_t i = 0; i < SkyFileNames.size() && result.ok(); ++i) {
            if (const DownloadFile* file = source.skyFiles[i]) {
                if (std::optional<Refusal> refusal = download.Take(*file, bytes)) {
                    return refusal;
                }
                result = staged.Write(SkyFileNames[i], bytes);
            }
        }
        const std::vector<const DownloadFile*> texts = TextsFor(download, source);
        const std::vector<std::string> textNames = TextFileNames(texts);
        for (std::size_t i = 0; i < texts.size() && result.ok(); ++i) {
            if (std::optional<Refusal> refusal = download.Read(*texts[i], bytes)) {
                return refusal;
            }
            result = staged.Write(textNames[i], bytes);
        }
        if (result.ok()) {
            if (std::optional<std::string> thumbnail = ThumbnailFor(download, source)) {
                result = staged.Write(staged.setName() + ".bmp", *thumbnail);
            }
        }
        if (result.ok()) {
            result = staged.Write(staged.setName() + ".txt", "\"" + description + "\"\r\n");
        }
        if (result.ok()) {
            result = staged.Finish();
        }
        if (!result.ok()) {
            return StagingRefused(library_.libraryFolder, result);
        }
        const int32_t n = staged.set();
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
