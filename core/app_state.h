// The program's one record of paths, counters, the selection and the layout-scaling state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace skyswap {

// Highest set number that discovery accepts in a folder name ("ZT99999").
constexpr int32_t kHighestSetNumber = 99999;

// What the layout scaling remembers of each control: the geometry and font it had at its first
// scaling, so that every later size is computed from the design and rounding never accumulates.
struct ControlDesign {
    std::optional<float> left, top, width, height, fontSize;
    std::optional<float> x1, y1, x2, y2;  // a control placed by end points
};

struct LayoutMemory {
    // The ratios every control is scaled by now, relative to its design.
    float ratioX = 1.0F;
    float ratioY = 1.0F;
    // The window's outer size and the ratios right after the start-up fitting: later ratios are
    // taken from these, so a window sized back is laid out exactly as before.
    float baseWidth = 0.0F;
    float baseHeight = 0.0F;
    float baseRatioX = 1.0F;
    float baseRatioY = 1.0F;
    std::vector<std::optional<ControlDesign>> controls;  // by control index, read at first pass
};

struct AppState {
    std::string libraryFolder;           // the current folder at start
    std::string gameFolder;              // libraryFolder's parent
    std::string myDefaultFolder;         // libraryFolder + "\ZTDef"
    int32_t setCount = 0;                // highest set number found + 1
    int32_t pageFirst = 0;               // set shown in thumbnail slot 0
    int32_t pageLast = 0;                // set shown in the last filled slot
    std::optional<int32_t> selectedSet;  // the chosen set's number
    std::string selectedFolder;          // folder of the chosen set
    // The random image was chosen: a set is drawn at install time. selectedSet and
    // selectedFolder keep the choice made before it, which "SAVE AS MY DEFAULT" saves.
    bool randomPending = false;

    // Numbers of the set folders that discovery found, ascending. With a gap in the numbering
    // it is shorter than setCount; the random draw picks among these only.
    std::vector<int32_t> setNumbers;
    // Names of the "ZTn.skyswap-tmp" folders that discovery found: left by keeping a sky when it
    // was cut short, and removed once this SkySwap holds the library.
    std::vector<std::string> unfinishedSets;

    // Layout scaling.
    int16_t designWidth = 0;
    int16_t designHeight = 0;
    int32_t savedWidth = 0;
    int32_t savedHeight = 0;
    int16_t twipsPerPixelX = 0;
    int16_t twipsPerPixelY = 0;
    int16_t screenWidthPx = 0;
    int16_t screenHeightPx = 0;
    bool moveWindowOnScale = false;
    bool resizeArmed = false;
    LayoutMemory layout;
};

// The folder of set n: libraryFolder + "\" + SetFolderName(n).
std::string SetFolder(const AppState& state, int32_t n);

// The thumbnail picture and the description file of set n.
std::string ThumbnailPath(const AppState& state, int32_t n);
std::string DescriptionPath(const AppState& state, int32_t n);

}  // namespace skyswap
