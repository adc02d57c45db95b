// Recognition of the installed sky beside two baselines. The library's sets all hold ten files of
// one size (as the game's textures do), so the sizes never rule a set out and every set costs a
// read; the game holds the last set, so every set is compared before the match. The floor that
// any recognition pays then: reading the game's ten files once, one bare listing of every set
// folder and the first 4 KiB of one file of each set. The older, lower baseline (the game's
// files and one listing of the library) is still reported.
#include "recognition_bench.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "fixtures.h"
#include "paths.h"
#include "platform.h"
#include "recognition.h"
#include "transfers.h"

namespace skyswap::bench {
namespace {

constexpr std::size_t kRecognitionFileSize = 16 << 10;
constexpr std::size_t kSmokeRecognitionFileSize = 1 << 10;

class RecognitionFixture {
  public:
    RecognitionFixture(int sets, std::size_t fileSize) {
        const std::string game = temp_.Join(kGameFolder);
        const std::string library = temp_.Join(kLibraryFolder);
        Require(MakeFolder(game) && MakeFolder(library) &&
                WriteWholeFile(game + "\\eaw.ini", "[EAW]\r\n") && MakeFolder(library + "\\ZTDef"));
        for (int n = 0; n < sets; ++n) {
            const std::string set = library + "\\ZT" + std::to_string(n);
            Require(MakeFolder(set));
            uint32_t seed = static_cast<uint32_t>(n) * 16 + 1;
            for (const char* name : SkyFileNames) {
                const std::string bytes = PseudoRandomBytes(fileSize, seed++);
                Require(WriteWholeFile(JoinPath(set, name), bytes));
                if (n == sets - 1) {
                    Require(WriteWholeFile(JoinPath(game, name), bytes));
                }
            }
            snapshot_.setNumbers.push_back(n);
        }
        snapshot_.gameFolder = game;
        snapshot_.libraryFolder = library;
        snapshot_.defaultFolder = library + "\\ZTDef";
    }
    const LibrarySnapshot& snapshot() const { return snapshot_; }

  private:
    static void Require(bool done) {
        if (!done) {
            throw std::runtime_error("cannot make the recognition fixture");
        }
    }
    test::TempFolder temp_;
    LibrarySnapshot snapshot_;
};

void Recognize(benchmark::State& state, const RecognitionFixture* fixture) {
    auto fs = test::MakePlatformFileSystem();
    const int32_t expected = fixture->snapshot().setNumbers.back();
    for (auto _ : state) {
        const Recognition result = RecognizeInstalled(*fs, fixture->snapshot());
        if (result.installed != InstalledSky::OfSet(expected)) {
            state.SkipWithError("the installed set was not recognised");
            break;
        }
    }
    state.counters["sets"] = static_cast<double>(fixture->snapshot().setNumbers.size());
}

// The game's ten files, read once each as recognition does; false when one cannot be.
class GameFileReads {
  public:
    explicit GameFileReads(const LibrarySnapshot& library) {
        for (const char* name : SkyFileNames) {
            paths_.push_back(ToNative(JoinPath(library.gameFolder, name)));
        }
    }
    bool Read(benchmark::State& state, std::string& bytes) const {
        for (const NativePath& path : paths_) {
            if (!BareRead(path, kRecognitionFileSize, bytes)) {
                state.SkipWithError("a game file cannot be read");
                return false;
            }
            benchmark::DoNotOptimize(bytes.data());
        }
        return true;
    }

  private:
    std::vector<NativePath> paths_;
};

void GameReadAndListing(benchmark::State& state, const RecognitionFixture* fixture) {
    const GameFileReads game(fixture->snapshot());
    const NativePath library = ToNative(fixture->snapshot().libraryFolder);
    std::string bytes;
    for (auto _ : state) {
        if (!game.Read(state, bytes)) {
            return;
        }
        if (BareListing(library) < 0) {
            state.SkipWithError("the library cannot be listed");
            return;
        }
    }
}

// The floor described above.
void RecognitionFloor(benchmark::State& state, const RecognitionFixture* fixture) {
    const LibrarySnapshot& library = fixture->snapshot();
    const GameFileReads game(library);
    std::vector<NativePath> setFolders;
    std::vector<NativePath> firstFiles;
    for (const int32_t n : library.setNumbers) {
        const std::string folder = library.libraryFolder + "\\ZT" + std::to_string(n);
        setFolders.push_back(ToNative(folder));
        firstFiles.push_back(ToNative(JoinPath(folder, SkyFileNames[0])));
    }
    constexpr std::size_t kFirstBytes = 4 * 1024;
    std::string bytes;
    for (auto _ : state) {
        if (!game.Read(state, bytes)) {
            return;
        }
        for (std::size_t i = 0; i < setFolders.size(); ++i) {
            if (BareListing(setFolders[i]) < 0 || !BareRead(firstFiles[i], kFirstBytes, bytes)) {
                state.SkipWithError("a set cannot be listed or read");
                return;
            }
            benchmark::DoNotOptimize(bytes.data());
        }
    }
}

}  // namespace

void RegisterRecognitionBenchmarks(
    bool smoke, const std::function<void(benchmark::internal::Benchmark*)>& shape) {
    // Made once for the program's run; the benchmarks only read them.
    static std::vector<std::unique_ptr<RecognitionFixture>> fixtures;
    const std::vector<int> sizes = smoke ? std::vector<int>{100} : std::vector<int>{100, 1000};
    for (const int sets : sizes) {
        fixtures.push_back(std::make_unique<RecognitionFixture>(
            sets, smoke ? kSmokeRecognitionFileSize : kRecognitionFileSize));
        const std::string suffix = std::to_string(sets);
        shape(benchmark::RegisterBenchmark(("RecognizeInstalled" + suffix).c_str(), Recognize,
                                           fixtures.back().get()));
        shape(benchmark::RegisterBenchmark(("GameReadAndListing" + suffix).c_str(),
                                           GameReadAndListing, fixtures.back().get()));
        shape(benchmark::RegisterBenchmark(("RecognitionFloor" + suffix).c_str(), RecognitionFloor,
                                           fixtures.back().get()));
    }
}

}  // namespace skyswap::bench
