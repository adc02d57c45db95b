#include "recognition.h"

#include <algorithm>
#include <array>

namespace skyswap {

namespace {

constexpr std::size_t kSkyFileCount = 10;
// Sets that differ mostly differ at once: the first read is small, the later ones large.
constexpr std::size_t kFirstCompareChunk = 4 * 1024;
constexpr std::size_t kCompareChunk = 64 * 1024;

// For each of the ten names: its size, or nothing when the file is absent.
struct FolderFacts {
    std::array<std::optional<std::uint64_t>, kSkyFileCount> sizes;
    bool readable = true;  // false when a file's size could not be learned
    bool anyPresent = false;
};

std::optional<std::uint64_t> SizeOf(FileSystem& fs, const std::string& path, bool& readable) {
    std::uint64_t size = 0;
    const FsStatus status = fs.FileSize(path, size);
    if (status.ok()) {
        return size;
    }
    if (status.error != FsError::NotFound) {
        readable = false;
    }
    return std::nullopt;
}

FolderFacts FactsOf(FileSystem& fs, const std::string& folder) {
    FolderFacts facts;
    for (std::size_t i = 0; i < kSkyFileCount; ++i) {
        facts.sizes[i] = SizeOf(fs, folder + SkyFileSet[i], facts.readable);
        facts.anyPresent = facts.anyPresent || facts.sizes[i].has_value();
    }
    return facts;
}

// The game's ten files, their sizes taken once and their bytes read when a set first needs them.
class GameFiles {
  public:
    GameFiles(FileSystem& fs, const std::string& folder) : fs_(fs), folder_(folder) {
        facts_ = FactsOf(fs, folder);
    }
    // Files that are already in memory, from a download being added; they are read in place.
    GameFiles(FileSystem& fs, const SkyFileContents& files) : fs_(fs), given_(&files) {
        for (std::size_t i = 0; i < kSkyFileCount; ++i) {
            if (files[i]) {
                facts_.sizes[i] = files[i]->size();
                facts_.anyPresent = true;
            }
        }
    }

    const FolderFacts& facts() const { return facts_; }

    // The whole file i, or nothing when it cannot be read in full.
    const std::string* Bytes(std::size_t i) {
        if (given_ != nullptr) {
            return (*given_)[i] ? &*(*given_)[i] : nullptr;
        }
        if (!loaded_[i]) {
            loaded_[i] = true;
            const std::uint64_t size = *facts_.sizes[i];
            std::string& bytes = bytes_[i];
            readOk_[i] =
                fs_.ReadAt(folder_ + SkyFileSet[i], 0, static_cast<std::size_t>(size), bytes)
                    .ok() &&
                bytes.size() == size;
        }
        return readOk_[i] ? &bytes_[i] : nullptr;
    }

  private:
    FileSystem& fs_;
    std::string folder_;
    FolderFacts facts_;
    const SkyFileContents* given_ = nullptr;
    std::array<std::string, kSkyFileCount> bytes_;
    std::array<bool, kSkyFileCount> loaded_{};
    std::array<bool, kSkyFileCount> readOk_{};
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

// Whether `folder` holds the game's ten files: the cheap facts name by name first, stopping at
// the first that differs, then the bytes.
bool FolderMatchesGame(FileSystem& fs, GameFiles& game, const std::string& folder) {
    const FolderFacts& gameFacts = game.facts();
    for (std::size_t i = 0; i < kSkyFileCount; ++i) {
        bool readable = true;
        if (SizeOf(fs, folder + SkyFileSet[i], readable) != gameFacts.sizes[i] || !readable) {
            return false;
        }
    }
    for (std::size_t i = 0; i < kSkyFileCount; ++i) {
        if (!gameFacts.sizes[i]) {
            continue;
        }
        const std::string* expected = game.Bytes(i);
        if (expected == nullptr || !SameBytes(fs, folder + SkyFileSet[i], *expected)) {
            return false;
        }
    }
    return true;
}

std::string SetFolderIn(const LibrarySnapshot& library, int32_t n) {
    return library.libraryFolder + "\\ZT" + std::to_string(n);
}

bool NothingChanged(const TransferReport& report) {
    return report.status != TransferStatus::Done &&
           report.status != TransferStatus::SomeFilesFailed;
}

}  // namespace

LibrarySnapshot SnapshotOf(const AppState& state) {
    return {state.Dest, state.MainPath, state.MyDefaultPath, state.SetNumbers};
}

Recognition RecognizeInstalled(FileSystem& fs, const LibrarySnapshot& library,
                               const std::atomic<bool>* cancel) {
    Recognition result;
    GameFiles game(fs, library.gameFolder);
    if (!game.facts().readable) {
        // A game file that cannot even be looked at matches nothing; keeping it will say why.
        result.installed = InstalledSky::NotInLibrary();
        return result;
    }
    if (!game.facts().anyPresent) {
        result.installed = InstalledSky::GameOwn();
        return result;
    }
    for (const int32_t n : library.setNumbers) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            result.cancelled = true;
            return result;
        }
        if (FolderMatchesGame(fs, game, SetFolderIn(library, n))) {
            result.installed = InstalledSky::OfSet(n);
            if (FolderMatchesGame(fs, game, library.defaultFolder)) {
                result.personalDefault = result.installed;
            }
            return result;
        }
    }
    if (FolderMatchesGame(fs, game, library.defaultFolder)) {
        result.installed = InstalledSky::PersonalDefault();
        result.personalDefault = result.installed;
    } else {
        result.installed = InstalledSky::NotInLibrary();
    }
    return result;
}

std::optional<int32_t> SetHoldingFiles(FileSystem& fs, const std::string& libraryFolder,
                                       const std::vector<int32_t>& setNumbers,
                                       const SkyFileContents& files) {
    GameFiles reference(fs, files);
    for (const int32_t n : setNumbers) {
        if (FolderMatchesGame(fs, reference, libraryFolder + "\\ZT" + std::to_string(n))) {
            return n;
        }
    }
    return std::nullopt;
}

bool GameHolds(FileSystem& fs, const LibrarySnapshot& library, const InstalledSky& sky) {
    GameFiles game(fs, library.gameFolder);
    if (!game.facts().readable) {
        return false;
    }
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
