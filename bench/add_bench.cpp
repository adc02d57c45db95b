// Adding a downloaded ZIP beside its baseline, a plain unzip of the same archive into a folder of
// the same library: minizip's own file functions, each entry read into memory and written with
// one write call. Each iteration adds a new set; the set (or the unzipped folder) is removed
// again outside the timed part, so every iteration does the same work and the sky is never taken
// for one the library already holds.
#include "add_bench.h"

#include <minizip/unzip.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "add_sets.h"
#include "fixtures.h"
#include "paths.h"
#include "platform.h"
#include "timing_file_system.h"
#include "transfers.h"
#include "zip_archive.h"
#include "zip_maker.h"

namespace skyswap::bench {
namespace {

constexpr std::size_t kDownloadFileSize = 1 << 20;
constexpr std::size_t kSmokeDownloadFileSize = 64 << 10;
// The library's sets hold files of the download's size, so the check for a sky the library
// already has must read a little of each before it can tell them apart.
constexpr int kLibrarySets = 3;

class AddFixture {
  public:
    explicit AddFixture(std::size_t fileSize) {
        const std::string game = temp_.Join(kGameFolder);
        library_ = temp_.Join(kLibraryFolder);
        Require(MakeFolder(game) && MakeFolder(library_) &&
                WriteWholeFile(game + "\\eaw.ini", "[EAW]\r\n"));
        uint32_t seed = 1;
        for (int n = 0; n < kLibrarySets; ++n) {
            const std::string set = library_ + "\\ZT" + std::to_string(n);
            Require(MakeFolder(set));
            for (const char* name : SkyFileNames) {
                Require(WriteWholeFile(JoinPath(set, name), PseudoRandomBytes(fileSize, seed++)));
            }
        }
        // Incompressible, as sky textures nearly are: the archive is as large as its files.
        std::vector<test::ZipItem> items;
        for (const char* name : SkyFileNames) {
            items.push_back(
                {std::string("Evening Sky/") + name, PseudoRandomBytes(fileSize, seed++)});
        }
        zip_ = temp_.Join("Evening Sky.zip");
        Require(WriteWholeFile(zip_, test::MakeZip(items)));
    }

    const std::string& library() const { return library_; }
    const std::string& zip() const { return zip_; }

    // Removes a folder of the library with the files in it.
    void RemoveFolder(const std::string& name) const {
        auto fs = test::MakePlatformFileSystem();
        const std::string folder = library_ + "\\" + name;
        std::vector<FolderEntry> entries;
        fs->ListFolder(folder, entries);
        for (const FolderEntry& entry : entries) {
            fs->RemoveFile(folder + "\\" + entry.name);
        }
        fs->RemoveFolder(folder);
    }

  private:
    static void Require(bool done) {
        if (!done) {
            throw std::runtime_error("cannot make the adding fixture");
        }
    }
    test::TempFolder temp_;
    std::string library_;
    std::string zip_;
};

class NoPictures final : public PictureScaler {
  public:
    bool ScaleToCover(const std::string&, int, int, std::string&) override { return false; }
};

void AddZip(benchmark::State& state, const AddFixture* fixture) {
    auto platform = test::MakePlatformFileSystem();
    TimingFileSystem fs(*platform);
    const auto archives = MakeZipArchiveOpener();
    NoPictures pictures;
    AppState app;
    app.libraryFolder = fixture->library();
    app.setCount = kLibrarySets;
    for (int n = 0; n < kLibrarySets; ++n) {
        app.setNumbers.push_back(n);
    }
    int turns = 0;
    for (auto _ : state) {
        const AddOutcome outcome = AddDownloads(app, {fs, *archives, pictures}, {fixture->zip()});
        if (outcome.added.size() != 1) {
            state.SkipWithError(outcome.refused.empty() ? "nothing was added"
                                                        : outcome.refused[0].reason.c_str());
            break;
        }
        ++turns;
        state.PauseTiming();
        fixture->RemoveFolder("ZT" + std::to_string(outcome.added[0].set));
        state.ResumeTiming();
    }
    // Where adding spends its time, in ms per ZIP: reading the archive, writing the new files
    // with their flush, making and renaming the folder, probes.
    const std::map<std::string, std::string> counters = {{"read", "zipread_ms"},
                                                         {"write", "flushedwrite_ms"},
                                                         {"create", "folder_ms"},
                                                         {"move", "folder_ms"},
                                                         {"probe", "probe_ms"}};
    for (const auto& [kind, seconds] : fs.Seconds()) {
        const auto counter = counters.find(kind);
        if (counter != counters.end() && turns > 0) {
            state.counters[counter->second] += seconds * 1000 / turns;
        }
    }
}

std::string MinizipPath(const std::string& path) {
#ifdef _WIN32
    return path;  // minizip's fopen takes the ANSI path, which the fixture's is
#else
    return ToNative(path);
#endif
}

bool PlainUnzipOnce(const std::string& zipPath, const std::string& folder, Flush flush) {
    if (!MakeFolder(folder)) {
        return false;
    }
    const unzFile zip = unzOpen64(zipPath.c_str());
    if (zip == nullptr) {
        return false;
    }
    bool ok = true;
    std::string bytes;
    for (int status = unzGoToFirstFile(zip); ok && status == UNZ_OK;
         status = unzGoToNextFile(zip)) {
        unz_file_info64 info{};
        char name[512];
        ok = unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) ==
                 UNZ_OK &&
             unzOpenCurrentFile(zip) == UNZ_OK;
        if (!ok) {
            break;
        }
        bytes.resize(static_cast<std::size_t>(info.uncompressed_size));
        const int got = unzReadCurrentFile(zip, bytes.data(), static_cast<unsigned>(bytes.size()));
        ok = unzCloseCurrentFile(zip) == UNZ_OK && got == static_cast<int>(bytes.size());
        const std::string entry = name;
        ok = ok && WriteNewFile(ToNative(folder + "\\" + entry.substr(entry.rfind('/') + 1)), bytes,
                                flush);
    }
    unzClose(zip);
    return ok;
}

void PlainUnzip(benchmark::State& state, const AddFixture* fixture, Flush flush) {
    const std::string zip = MinizipPath(fixture->zip());
    const std::string folder = fixture->library() + "\\unzipped";
    for (auto _ : state) {
        if (!PlainUnzipOnce(zip, folder, flush)) {
            state.SkipWithError("the plain unzip failed");
            break;
        }
        state.PauseTiming();
        fixture->RemoveFolder("unzipped");
        state.ResumeTiming();
    }
}

}  // namespace

void RegisterAddBenchmarks(bool smoke,
                           const std::function<void(benchmark::internal::Benchmark*)>& shape) {
    static std::unique_ptr<AddFixture> fixture;
    fixture = std::make_unique<AddFixture>(smoke ? kSmokeDownloadFileSize : kDownloadFileSize);
    shape(benchmark::RegisterBenchmark("AddZip", AddZip, fixture.get()));
    shape(benchmark::RegisterBenchmark("PlainUnzip", PlainUnzip, fixture.get(), Flush::No));
    shape(benchmark::RegisterBenchmark("FlushedUnzip", PlainUnzip, fixture.get(), Flush::Yes));
}

}  // namespace skyswap::bench
