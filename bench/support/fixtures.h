// What the benchmarks work on: game folders, sky sets and libraries on disk, and the options
// every benchmark program takes besides Google Benchmark's own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "image_elements.h"
#include "test_support.h"

namespace skyswap::bench {

struct BenchOptions {
    // One iteration of each benchmark on small sizes: proves they run, measures nothing.
    bool smoke = false;
    // A library folder made beforehand (its parent holds eaw.ini); empty: make one.
    std::string library;
    // Number of sets in the library made for the discovery benchmark.
    int sets = 10000;
    // With --make-library: make a library of `sets` sets in this folder's "Game\Skies", then end.
    std::string makeLibraryIn;
};

// Takes this program's own options out of argv, leaving Google Benchmark's.
BenchOptions ParseBenchOptions(int& argc, char** argv);

// The game folder and the library folder inside a fixture folder.
constexpr const char* kGameFolder = "Game";
constexpr const char* kLibraryFolder = "Game\\Skies";

// Bytes that do not repeat, so that no layer below can shortcut the copy.
std::string PseudoRandomBytes(std::size_t size, uint32_t seed);

// A game folder holding eaw.ini and ten older sky files, and a library with two sets of ten new
// ones, every file `fileSize` bytes.
class TransferFixture {
  public:
    explicit TransferFixture(std::size_t fileSize);
    const std::string& game() const { return game_; }
    // Set 0 or 1; installing them in turn replaces different contents every time.
    const std::string& set(int n) const { return sets_[n % 2]; }

  private:
    test::TempFolder temp_;
    std::string game_;
    std::array<std::string, 2> sets_;
};

// A one-line description as a library author writes them, different for every set.
std::string DescriptionText(int set);

// Makes `folder`\Game\eaw.ini and the library `folder`\Game\Skies with nosky.jpg, ZTDef and the
// sets ZT0 to ZT(sets-1), each folder holding its description ZTn.txt. Returns the library path.
std::string MakeSetLibrary(const std::string& folder, int sets);

// The image elements of a window that only keeps the tooltips it is given.
class ToolTipRecorder final : public ImageElements {
  public:
    bool LoadPlaceholder(const std::string&) override { return true; }
    void ShowPlaceholder(int) override {}
    bool LoadPicture(int, const std::string&) override { return true; }
    void SetVisible(int, bool) override {}
    void SetToolTip(int element, const std::string& text) override {
        if (element >= 0 && element < kImageElementCount) {
            toolTips_[element] = text;
        }
    }
    const std::string& ToolTip(int element) const { return toolTips_[element]; }

  private:
    std::array<std::string, kImageElementCount> toolTips_;
};

}  // namespace skyswap::bench
