// The 24 controls of the main window, in the order they are created, with their design geometry
// in twips; and the arithmetic that turns design geometry into pixels. Creation, stacking, tab
// order, fonts, tooltips and (later) scaling all read this one table.
#pragma once

#include <windows.h>

#include <array>
#include <string_view>

namespace skyswap {

enum class ControlKind { Frame, Rectangle, ImageArea, Button, Line };
enum class FontRole { None, Window, FrameCaption, ExitCaption };

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

struct TwipsPoint {
    int x;
    int y;
};

constexpr int kNoIndex = -1;        // not an element of a control array
constexpr int kFormContainer = -1;  // placed in the window's client area
constexpr int kNoTabIndex = -1;

struct ControlEntry {
    ControlKind kind;
    std::wstring_view name;  // "ImageElement", "LoadMyDefault"
    int arrayIndex;          // element of the control array, or kNoIndex
    int container;           // row of the frame that holds it, or kFormContainer
    TwipsRect rect;          // relative to the container; all zero for the line
    TwipsPoint from;         // the line's end points, relative to the container
    TwipsPoint to;
    std::wstring_view caption;
    COLORREF face;  // buttons' face colour
    FontRole font;
    int tabIndex;
};

constexpr int kControlCount = 24;
constexpr int kClientWidthTwips = 9120;
constexpr int kClientHeightTwips = 6435;
constexpr int kTwipsPerPoint = 20;
constexpr int kLineThicknessPixels = 2;

namespace table_rows {
constexpr ControlEntry Frame(std::wstring_view name, TwipsRect rect, std::wstring_view caption,
                             int tabIndex) {
    return {ControlKind::Frame,     name,    kNoIndex, kFormContainer, rect, {}, {}, caption, 0,
            FontRole::FrameCaption, tabIndex};
}
constexpr ControlEntry Shape(int index, int container, TwipsRect rect) {
    return {ControlKind::Rectangle, L"ArrowOutline",  index, container, rect, {}, {}, {}, 0,
            FontRole::None,         kNoTabIndex};
}
constexpr ControlEntry Image(std::wstring_view name, int index, int container, TwipsRect rect) {
    return {ControlKind::ImageArea, name,       index, container, rect, {}, {}, {}, 0,
            FontRole::None,         kNoTabIndex};
}
constexpr ControlEntry Button(std::wstring_view name, int container, TwipsRect rect,
                              std::wstring_view caption, COLORREF face, FontRole font,
                              int tabIndex) {
    return {ControlKind::Button,
            name,
            kNoIndex,
            container,
            rect,
            {},
            {},
            caption,
            face,
            font,
            tabIndex};
}
constexpr ControlEntry Line(std::wstring_view name, int container, TwipsPoint from, TwipsPoint to) {
    return {ControlKind::Line, name,       kNoIndex, container, {}, from, to, {}, 0,
            FontRole::None,    kNoTabIndex};
}
}  // namespace table_rows

// Rows 0 (LibraryFrame) and 16 (SelectionFrame) are the containers.
inline constexpr std::array<ControlEntry, kControlCount> kControls{{
    table_rows::Frame(L"LibraryFrame", {135, 225, 6405, 6000}, L"CLICK TO SELECT", 5),
    table_rows::Shape(1, 0, {5265, 4455, 1005, 1365}),
    table_rows::Shape(0, 0, {135, 4455, 1005, 1365}),
    table_rows::Image(L"ImageElement", 10, 0, {3240, 4500, 1995, 1275}),
    table_rows::Image(L"ImageElement", 12, 0, {5310, 4815, 915, 735}),
    table_rows::Image(L"ImageElement", 11, 0, {180, 4815, 915, 690}),
    table_rows::Image(L"ImageElement", 9, 0, {1170, 4500, 1995, 1275}),
    table_rows::Image(L"ImageElement", 8, 0, {4275, 3105, 1995, 1275}),
    table_rows::Image(L"ImageElement", 7, 0, {2205, 3105, 1995, 1275}),
    table_rows::Image(L"ImageElement", 6, 0, {135, 3105, 1995, 1275}),
    table_rows::Image(L"ImageElement", 5, 0, {4275, 1710, 1995, 1275}),
    table_rows::Image(L"ImageElement", 4, 0, {2205, 1710, 1995, 1275}),
    table_rows::Image(L"ImageElement", 3, 0, {135, 1710, 1995, 1275}),
    table_rows::Image(L"ImageElement", 2, 0, {4275, 315, 1995, 1275}),
    table_rows::Image(L"ImageElement", 1, 0, {2205, 315, 1995, 1275}),
    table_rows::Image(L"ImageElement", 0, 0, {135, 315, 1995, 1275}),
    table_rows::Frame(L"SelectionFrame", {6615, 225, 2355, 6000}, L"SELECTED", 0),
    table_rows::Button(L"LoadGameDefault", 16, {180, 3420, 2040, 465}, L"LOAD EAW DEFAULT",
                       RGB(255, 255, 0), FontRole::Window, 6),
    table_rows::Button(L"Exit", 16, {540, 5040, 1275, 735}, L"EXIT", RGB(255, 0, 0),
                       FontRole::ExitCaption, 4),
    table_rows::Button(L"LoadMyDefault", 16, {270, 4050, 1860, 465}, L"LOAD MY DEFAULT",
                       RGB(255, 255, 192), FontRole::Window, 3),
    table_rows::Button(L"SaveMyDefault", 16, {180, 2385, 2040, 465}, L"SAVE AS MY DEFAULT",
                       RGB(192, 255, 192), FontRole::Window, 2),
    table_rows::Button(L"LoadToGame", 16, {270, 1710, 1860, 465}, L"LOAD TO EAW", RGB(0, 192, 0),
                       FontRole::Window, 1),
    table_rows::Image(L"Preview", kNoIndex, 16, {180, 315, 1995, 1275}),
    table_rows::Line(L"Divider", 16, {90, 3150}, {2250, 3150}),
}};

// The row of a control, or -1 when the table has no such control.
constexpr int RowOf(std::wstring_view name, int arrayIndex = kNoIndex) {
    for (int row = 0; row < kControlCount; ++row) {
        if (kControls[row].name == name && kControls[row].arrayIndex == arrayIndex) {
            return row;
        }
    }
    return -1;
}

// The rows of the controls the window handles by name.
constexpr int kLibraryFrame = RowOf(L"LibraryFrame");
constexpr int kSelectionFrame = RowOf(L"SelectionFrame");
constexpr int kLoadToGameButton = RowOf(L"LoadToGame");
constexpr int kSaveMyDefaultButton = RowOf(L"SaveMyDefault");
constexpr int kLoadMyDefaultButton = RowOf(L"LoadMyDefault");
constexpr int kLoadGameDefaultButton = RowOf(L"LoadGameDefault");
constexpr int kExitButton = RowOf(L"Exit");
constexpr int kPreview = RowOf(L"Preview");
static_assert(kLibraryFrame >= 0 && kSelectionFrame >= 0 && kLoadToGameButton >= 0 &&
                  kSaveMyDefaultButton >= 0 && kLoadMyDefaultButton >= 0 &&
                  kLoadGameDefaultButton >= 0 && kExitButton >= 0 && kPreview >= 0,
              "the table lacks a control the window uses");

// Faces to try in order: the first one installed is used.
struct FontChoice {
    std::array<const wchar_t*, 6> faces;
    double points;
    bool bold;
    bool italic;
};

const FontChoice& FontFor(FontRole role);

// A control's geometry as it stands: in twips, relative to its container (the line by its end
// points), and its font size in points. It starts as the design; the layout scaling changes it.
struct ControlGeometry {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    float fontPoints = 0;  // 0 for a control without a font
};
using LayoutGeometry = std::array<ControlGeometry, kControlCount>;

LayoutGeometry DesignGeometry();

struct PixelRect {
    int left;
    int top;
    int width;
    int height;
};

// twips / twips per pixel, to the nearest pixel, halves to even.
int ToPixels(double twips, double twipsPerPixel);

// A control's rectangle in the client area: its container's position plus its own.
PixelRect PlaceControl(int row, const LayoutGeometry& geometry, double twipsPerPixelX,
                       double twipsPerPixelY);

// The client area's design size in pixels.
SIZE DesignClientSize(double twipsPerPixelX, double twipsPerPixelY);

// The side of the icon image to draw in a box of the given size: the nearest of the sizes the
// arrow icons hold, the larger one on a tie.
int NearestIconSize(int width, int height);

// A font's cell height in pixels, for LOGFONT's negative lfHeight.
int FontPixelHeight(double points, double twipsPerPixelY);

}  // namespace skyswap
