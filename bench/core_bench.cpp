// The core's work that a user waits for, each timed beside its baseline: the plainest code that
// does the same work with the same system calls. Google Benchmark, natively and in the Windows
// build under Wine.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "add_bench.h"
#include "app_state.h"
#include "description.h"
#include "discovery.h"
#include "fixtures.h"
#include "paging.h"
#include "paths.h"
#include "platform.h"
#include "recognition_bench.h"
#include "timing_file_system.h"
#include "transfers.h"

namespace skyswap::bench {
namespace {

constexpr std::size_t kSkyFileSize = 1 << 20;
constexpr std::size_t kSmokeSkyFileSize = 64 << 10;
constexpr int kSmokeSets = 100;
// The slot the mouse is over; its set has a description file.
constexpr int kHoveredSlot = 3;

void InstallTransfer(benchmark::State& state, const TransferFixture* fixture) {
    auto platform = test::MakePlatformFileSystem();
    // The clock calls it adds are a few dozen per transfer of ten files, lost in the noise.
    TimingFileSystem fs(*platform);
    AppState app;
    app.gameFolder = fixture->game();
    int turn = 0;
    for (auto _ : state) {
        app.selectedSet = turn % 2;
        app.selectedFolder = fixture->set(turn);
        ++turn;
        if (!InstallSelected(app, fs).ok()) {
            state.SkipWithError("the transfer failed");
            break;
        }
    }
    // Where a transfer spends its time, in ms per transfer: staged copies with their flush,
    // renames over the old files, deletions (of left-overs that are normally absent), probes.
    for (const auto& [kind, seconds] : fs.Seconds()) {
        state.counters[kind + "_ms"] = turn > 0 ? seconds * 1000 / turn : 0;
    }
}

// The baselines of the transfer: the plain copy of the ten files; the same copy with a flush of
// each file, which is what durability costs before any renaming; and the least a transfer that
// never leaves a half-written sky must do: each file copied to a new name with its flush, then
// renamed over the old one.
enum class BaselineCopy { Plain, Flushed, CopyAndRename };

void InstallBaseline(benchmark::State& state, const TransferFixture* fixture, BaselineCopy kind) {
    std::array<std::array<NativePath, SkyFileNames.size()>, 2> sources;
    std::array<NativePath, SkyFileNames.size()> targets;
    std::array<NativePath, SkyFileNames.size()> newNames;
    for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
        sources[0][i] = ToNative(JoinPath(fixture->set(0), SkyFileNames[i]));
        sources[1][i] = ToNative(JoinPath(fixture->set(1), SkyFileNames[i]));
        targets[i] = ToNative(JoinPath(fixture->game(), SkyFileNames[i]));
        newNames[i] = ToNative(JoinPath(fixture->game(), std::string(SkyFileNames[i]) + ".new"));
    }
    const Flush flush = kind == BaselineCopy::Plain ? Flush::No : Flush::Yes;
    const bool rename = kind == BaselineCopy::CopyAndRename;
    int turn = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < SkyFileNames.size(); ++i) {
            const NativePath& written = rename ? newNames[i] : targets[i];
            if (!PlainCopy(sources[turn % 2][i], written, flush) ||
                (rename && !RenameOver(written, targets[i]))) {
                state.SkipWithError("the baseline copy failed");
                return;
            }
        }
        ++turn;
    }
}

void StartupDiscovery(benchmark::State& state, std::string library) {
    auto fs = test::MakePlatformFileSystem();
    test::CurrentFolderScope current(library);
    int32_t sets = 0;
    for (auto _ : state) {
        AppState app;
        if (DiscoverLibrary(app, *fs) != DiscoveryResult::Ok) {
            state.SkipWithError("discovery failed");
            break;
        }
        sets = app.setCount;
        benchmark::DoNotOptimize(sets);
    }
    state.counters["sets"] = sets;
}

void BareListingBaseline(benchmark::State& state, std::string library) {
    const NativePath folder = ToNative(library);
    long entries = 0;
    for (auto _ : state) {
        entries = BareListing(folder);
        if (entries < 0) {
            state.SkipWithError("the listing failed");
            break;
        }
        benchmark::DoNotOptimize(entries);
    }
    state.counters["entries"] = static_cast<double>(entries);
}

AppState PageOfLibrary(const std::string& library, int sets) {
    AppState app;
    app.libraryFolder = library;
    app.setCount = sets;
    app.pageFirst = 0;
    return app;
}

void MouseMoveOverSlot(benchmark::State& state, std::string library, int sets) {
    auto fs = test::MakePlatformFileSystem();
    const AppState app = PageOfLibrary(library, sets);
    ToolTipRecorder images;
    for (auto _ : state) {
        DescribeSlot(app, *fs, images, kHoveredSlot);
        benchmark::DoNotOptimize(images.ToolTip(kHoveredSlot).data());
    }
    if (images.ToolTip(kHoveredSlot).empty()) {
        state.SkipWithError("no description was read");
    }
}

void BareDescriptionRead(benchmark::State& state, std::string library, int sets) {
    const NativePath path = ToNative(DescriptionPath(PageOfLibrary(library, sets), kHoveredSlot));
    std::string bytes;
    for (auto _ : state) {
        if (!BareRead(path, kDescriptionReadLimit, bytes)) {
            state.SkipWithError("the description cannot be read");
            break;
        }
        benchmark::DoNotOptimize(bytes.data());
    }
}

int Run(int argc, char** argv) {
    BenchOptions options = ParseBenchOptions(argc, argv);
    if (options.smoke) {
        options.sets = std::min(options.sets, kSmokeSets);
    }
    if (!options.makeLibraryIn.empty()) {
        std::printf("%s\n", MakeSetLibrary(options.makeLibraryIn, options.sets).c_str());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }

    const TransferFixture transfer(options.smoke ? kSmokeSkyFileSize : kSkyFileSize);
    std::unique_ptr<test::TempFolder> ownLibrary;
    if (options.library.empty()) {
        ownLibrary = std::make_unique<test::TempFolder>();
        options.library = MakeSetLibrary(ownLibrary->Join("fixture"), options.sets);
    }
    SettleDisk();

    const auto shape = [&](benchmark::internal::Benchmark* benchmark, benchmark::TimeUnit unit) {
        benchmark->Unit(unit)->UseRealTime();
        if (options.smoke) {
            benchmark->Iterations(1);
        }
    };
    shape(benchmark::RegisterBenchmark("InstallTransfer", InstallTransfer, &transfer),
          benchmark::kMillisecond);
    shape(benchmark::RegisterBenchmark("InstallPlainCopy", InstallBaseline, &transfer,
                                       BaselineCopy::Plain),
          benchmark::kMillisecond);
    shape(benchmark::RegisterBenchmark("InstallFlushedCopy", InstallBaseline, &transfer,
                                       BaselineCopy::Flushed),
          benchmark::kMillisecond);
    shape(benchmark::RegisterBenchmark("InstallCopyAndRename", InstallBaseline, &transfer,
                                       BaselineCopy::CopyAndRename),
          benchmark::kMillisecond);
    shape(benchmark::RegisterBenchmark("StartupDiscovery", StartupDiscovery, options.library),
          benchmark::kMillisecond);
    shape(benchmark::RegisterBenchmark("BareListing", BareListingBaseline, options.library),
          benchmark::kMillisecond);
    shape(benchmark::RegisterBenchmark("MouseMoveOverSlot", MouseMoveOverSlot, options.library,
                                       options.sets),
          benchmark::kMicrosecond);
    shape(benchmark::RegisterBenchmark("BareDescriptionRead", BareDescriptionRead, options.library,
                                       options.sets),
          benchmark::kMicrosecond);
    RegisterRecognitionBenchmarks(options.smoke, [&](benchmark::internal::Benchmark* benchmark) {
        shape(benchmark, benchmark::kMillisecond);
    });
    RegisterAddBenchmarks(options.smoke, [&](benchmark::internal::Benchmark* benchmark) {
        shape(benchmark, benchmark::kMillisecond);
    });
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace
}  // namespace skyswap::bench

int main(int argc, char** argv) {
    try {
        return skyswap::bench::Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "core_bench: %s\n", error.what());
        return 1;
    }
}
