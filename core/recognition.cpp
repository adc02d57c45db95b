#include "recognition.h"

#include <algorithm>
#include <array>

#include "ascii.h"
#include "paths.h"

namespace skyswap {

namespace {

constexpr std::size_t kSkyFileCount = 10;
// Sets that differ mostly differ at once: the first read is small, the later ones large.
constexpr std::size_t kFirstCompareChunk = 4 * 1024;
constexpr std::size_t kCompareChunk = 64 * 1024;

// Whether a listed name is sky file i ("CLOUD1.TER" is "cloud1.ter": Windows ignores the case).
bool IsSkyFile(const std::string& listed, std::size_t i) {
    return SameAsciiText(listed, SkyFileNames[i]);
}

// One of the ten files as a folder holds it.
struct FileFacts {
    bool present = false;
    std::optional<std::uint64_t> size;  // nothing when it could not be learned
    std::string path;                   // as listed, in the listing's letter case
};

struct FolderFacts {
    std::array<FileFacts, kSkyFileCount> files;
    bool listed = true;  // false when the folder could not be looked at
    bool anyPresent = false;
};

// A set folder's ten files from one listing of it: names and sizes in one call.
FolderFacts ListedFacts(FileSystem& fs, const std::string& folder) {
    FolderFacts facts;
    std::vector<FolderEntry> entries;
    if (!fs.ListFolder(folder, entries).ok()) {
        facts.listed = false;
        return facts;
    }
    for (const FolderEntry& entry : entries) {
        if (entry.isFolder) {
            continue;
        }
        for (std::size_t i = 0; i < kSkyFileCount; ++i) {
            if (IsSkyFile(entry.name, i)) {
                facts.files[i] = {true, entry.size, folder + "\\" + entry.name};
                facts.anyPresent = true;
                break;
            }
        }
    }
    return facts;
}

// The game's ten files, asked for one by one: the game folder is looked at through the game's
// view, which shows a shadow copy in place of a file.
FolderFacts AskedFacts(FileSystem& fs, const std::string& folder) {
    FolderFacts facts;
    for (std::size_t i = 0; i < kSkyFileCount; ++i) {
        FileFacts& file = facts.files[i];
        file.path = JoinPath(folder, SkyFileNames[i]);
        std::uint64_t size = 0;
        const FsStatus status = fs.FileSize(file.path, size);
        // A file whose size cannot be learned is there all the same: it is no built-in sky.
        file.present = status.error != FsError::NotFound;
        if (status.ok()) {
            file.size = size;
        }
        facts.anyPresent = facts.anyPresent || file.present;
    }
    return facts;
}

// The game's ten files, their sizes taken once and their bytes read when a set first needs them.
class GameFiles {
  public:
    GameFiles(FileSystem& fs, const std::string& folder)
        : fs_(fs), facts_(AskedFacts(fs, folder)) {}
    // The files of a download being added, read through `files` when first needed.
    GameFiles(FileSystem& fs, const PendingSkyFiles& files) : fs_(fs), pending_(&files) {
        for (std::size_t i = 0; i < kSkyFileCount; ++i) {
            if (files.sizes[i]) {
                facts_.files[i] = {true, files.sizes[i], std::string()};
                facts_.anyPresent = true;
            }
        }
    }

    const FolderFacts& facts() const { return facts_; }

    enum class Read { Whole, Held, Failed };

    // File i in full. A file another program holds open cannot be read, nor replaced or removed
    // by a transfer: it is judged by the size its folder gives. Any other failure, or a read
    // that ends before the size, matches nothing.
    Read Bytes(std::size_t i, const std::string*& bytes) {
        if (!loaded_[i]) {
            loaded_[i] = true;
            const FileFacts& file = facts_.files[i];
            std::string& read = bytes_[i];
            if (pending_ != nullptr) {
                read_[i] = pending_->read(i, read) && read.size() == *file.size ? Read::Whole
                                                                                : Read::Failed;
            } else {
                const FsStatus status =
                    fs_.ReadAt(file.path, 0, static_cast<std::size_t>(*file.size), read);
                if (status.error == FsError::InUse) {
                    read_[i] = Read::Held;
                } else {
                    read_[i] =
                        status.ok() && read.size() == *file.size ? Read::Whole : Read::Failed;
                }
            }
        }
        bytes = &bytes_[i];
        return read_[i];
    }

    // Whether the files' starts are to be compared before the files: a download's, whose file is
    // unpacked whole only for a set that begins as it does.
    bool ComparesStartsFirst() const { return pending_ != nullptr && pending_->readStart; }
    // The first kFirstCompareChunk bytes of file i; false when they cannot be read.
    bool Start(std::size_t i, const std::string*& bytes) {
        if (!startLoaded_[i]) {
            startLoaded_[i] = true;
            startRead_[i] = pending_->readStart(i, kFirstCompareChunk, starts_[i]) &&
                            starts_[i].size() ==
                                std::min<std::uint64_t>(kFirstCompareChunk, *facts_.files[i].size);
        }
        bytes = &starts_[i];
        return startRead_[i];
    }

  private:
    FileSystem& fs_;
    FolderFacts facts_;
    const PendingSkyFiles* pending_ = nullptr;
    std::array<std::string, kSkyFileCount> bytes_;
    std::array<bool, kSkyFileCount> loaded_{};
    std::array<Read, kSkyFileCount> read_{};
    std::array<std::string, kSkyFileCount> starts_;
    std::array<bool, kSkyFileCount> startLoaded_{};
    std::array<bool, kSkyFileCount> startRead_{};
};

bool SameBytes(FileSystem& fs, const std::string& path, const std::string& expected) {
    std::string chunk;
    std::size_t length = 0;
    for (std::size_t offset = 0; offset < expected.size(); offset += length) {
        length =
            std::min(offset == 0 ? kFirstCompareChunk : kCompareChunk, expected.size() - offset);
        if (!fs.ReadAt(path, offset, length, chunk).ok() || chunk.size() != length ||
            expected.compare(offset, length, chunk) != 0) {
            return false;
        }
    }
    return true;
}

// Whether `folder` holds the game's ten files: names and the sizes its listing gives first,
// stopping at the first that differs; then file by file a size the listing did not give and the
// bytes. A file whose size cannot be learned matches nothing.
bool FolderMatchesGame(FileSystem& fs, GameFiles& game, const std::string& folder) {
    const FolderFacts& gameFacts = game.facts();
    FolderFacts setFacts = ListedFacts(fs, folder);
    if (!setFacts.listed) {
        return false;
    }
    for (std::size_t i = 0; i < kSkyFileCount; ++i) {
        const FileFacts& ours = gameFacts.files[i];
        FileFacts& theirs = setFacts.files[i];
        if (ours.present && !theirs.present) {
            // A listing leaves out hidden files, which a transfer copies all the same.
            std::uint64_t size = 0;
            const std::string path = JoinPath(folder, SkyFileNames[i]);
            if (fs.FileSize(path, size).ok()) {
                theirs = {true, size, path};
            }
        }
        if (ours.present != theirs.present ||
            (ours.present && (!ours.size || (theirs.size && *ours.size != *theirs.size)))) {
            return false;
        }
    }
    for (std::size_t i = 0; i < kSkyFileCount; ++i) {
        if (!gameFacts.files[i].present) {
            continue;
        }
        FileFacts& theirs = setFacts.files[i];
        if (!theirs.size) {
            std::uint64_t size = 0;
            if (!fs.FileSize(theirs.path, size).ok() || size != *gameFacts.files[i].size) {
                return false;
            }
        }
        const std::string* expected = nullptr;
        if (game.ComparesStartsFirst() &&
            (!game.Start(i, expected) || !SameBytes(fs, theirs.path, *expected))) {
            return false;
        }
        switch (game.Bytes(i, expected)) {
            case GameFiles::Read::Held:
                continue;
            case GameFiles::Read::Failed:
                return false;
            case GameFiles::Read::Whole:
                break;
        }
        if (!SameBytes(fs, theirs.path, *expected)) {
            return false;
        }
    }
    return true;
}

std::string SetFolderIn(const LibrarySnapshot& library, int32_t n) {
    return JoinPath(library.libraryFolder, SetFolderName(n));
}

bool NothingChanged(const TransferReport& report) {
    return report.status != TransferStatus::Done &&
           report.status != TransferStatus::SomeFilesFailed;
}

}  // namespace

LibrarySnapshot SnapshotOf(const AppState& state) {
    return {state.gameFolder, state.libraryFolder, state.myDefaultFolder, state.setNumbers};
}

namespace {

// The lowest set whose files are the game's; nothing when none is, or when cancelled.
std::optional<int32_t> FirstMatchingSet(FileSystem& fs, GameFiles& game,
                                        const LibrarySnapshot& library,
                                        const std::atomic<bool>* cancel, bool& cancelled) {
    for (const int32_t n : library.setNumbers) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            cancelled = true;
            return std::nullopt;
        }
        if (FolderMatchesGame(fs, game, SetFolderIn(library, n))) {
            return n;
        }
    }
    return std::nullopt;
}

}  // namespace

Recognition RecognizeInstalled(FileSystem& fs, const LibrarySnapshot& library,
                               const std::atomic<bool>* cancel) {
    Recognition result;
    GameFiles game(fs, library.gameFolder);
    if (!game.facts().anyPresent) {
        result.installed = InstalledSky::GameOwn();
        return result;
    }
    if (const std::optional<int32_t> n =
            FirstMatchingSet(fs, game, library, cancel, result.cancelled)) {
        result.installed = InstalledSky::OfSet(*n);
        if (FolderMatchesGame(fs, game, library.defaultFolder)) {
            result.personalDefault = result.installed;
        }
        return result;
    }
    if (result.cancelled) {
        return result;
    }
    if (FolderMatchesGame(fs, game, library.defaultFolder)) {
        result.installed = InstalledSky::PersonalDefault();
        result.personalDefault = result.installed;
    } else {
        result.installed = InstalledSky::NotInLibrary();
    }
    return result;
}

InstalledSky RecognizeFolder(FileSystem& fs, const LibrarySnapshot& library,
                             const std::string& folder) {
    GameFiles files(fs, folder);
    if (!files.facts().anyPresent) {
        return InstalledSky::GameOwn();
    }
    bool cancelled = false;
    const std::optional<int32_t> n = FirstMatchingSet(fs, files, library, nullptr, cancelled);
    return n ? InstalledSky::OfSet(*n) : InstalledSky::NotInLibrary();
}

std::optional<int32_t> SetHoldingFiles(FileSystem& fs, const std::string& libraryFolder,
                                       const std::vector<int32_t>& setNumbers,
                                       const PendingSkyFiles& files) {
    GameFiles reference(fs, files);
    for (const int32_t n : setNumbers) {
        if (FolderMatchesGame(fs, reference, JoinPath(libraryFolder, SetFolderName(n)))) {
            return n;
        }
    }
    return std::nullopt;
}

bool GameHolds(FileSystem& fs, const LibrarySnapshot& library, const InstalledSky& sky) {
    GameFiles game(fs, library.gameFolder);
    switch (sky.source) {
        case SkySource::GameOwn:
            return !game.facts().anyPresent;
        case SkySource::Set:
            return game.facts().anyPresent &&
                   FolderMatchesGame(fs, game, SetFolderIn(library, sky.set));
        case SkySource::PersonalDefault:
            return game.facts().anyPresent && FolderMatchesGame(fs, game, library.defaultFolder);
        case SkySource::NotInLibrary:
            break;
    }
    return false;
}

void SkyKnowledge::Learn(const Recognition& recognition) {
    if (recognition.cancelled) {
        return;
    }
    installed = recognition.installed;
    if (recognition.personalDefault) {
        personalDefault = recognition.personalDefault;
    }
}

void SkyKnowledge::AfterInstall(int32_t set, const TransferReport& report) {
    if (NothingChanged(report)) {
        return;
    }
    installed = report.ok() ? std::optional<InstalledSky>(InstalledSky::OfSet(set)) : std::nullopt;
}

void SkyKnowledge::AfterLoadMyDefault(const TransferReport& report) {
    if (NothingChanged(report)) {
        return;
    }
    // Without knowing which set ZTDef equals, recognition has to tell.
    installed = report.ok() ? personalDefault : std::nullopt;
}

void SkyKnowledge::AfterLoadGameDefault(const TransferReport& report) {
    if (NothingChanged(report)) {
        return;
    }
    installed = report.ok() ? std::optional<InstalledSky>(InstalledSky::GameOwn()) : std::nullopt;
}

void SkyKnowledge::AfterSaveMyDefault(int32_t set, const TransferReport& report) {
    if (NothingChanged(report)) {
        return;
    }
    // The game kept the old default's files; when those matched no set, now they match nothing.
    if (installed == InstalledSky::PersonalDefault()) {
        installed =
            report.ok() ? std::optional<InstalledSky>(InstalledSky::NotInLibrary()) : std::nullopt;
    }
    personalDefault =
        report.ok() ? std::optional<InstalledSky>(InstalledSky::OfSet(set)) : std::nullopt;
}

}  // namespace skyswap
