// Helpers for driving the real main window in-process: libraries with pictures, a started
// MainWindow that records its message boxes, clicks, keys and what an image area shows.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "support/sky_library.h"
#include "support/test_support.h"

namespace skyswap::test {

enum class ImageFormat { Bmp, Jpeg };

// Writes a picture of one colour through the Windows Imaging Component.
void WritePicture(const std::string& path, int width, int height, COLORREF colour,
                  ImageFormat format);

// The colour of set n's thumbnail, and of the placeholder.
COLORREF ThumbnailColour(int set);
constexpr COLORREF kPlaceholderColour = RGB(200, 40, 200);

// MakeLibrary, plus "nosky.jpg", and in each set a thumbnail ZTn.bmp of its own colour and
// size and a description ZTn.txt reading "Sky n".
void MakePictureLibrary(const TempFolder& temp, int count);

// MainWindow created with the current folder in the library, recording instead of showing its
// message boxes and instead of ending the message loop.
class StartedForm {
  public:
    struct Message {
        std::wstring text;
        std::wstring title;
        UINT type;
    };

    // Hooks given are used as they are, except the message box and the end of the program; a
    // window given no isElevated runs without administrator rights.
    // `resume` is what a restart as administrator carries on with.
    explicit StartedForm(const TempFolder& temp, const std::string& folder = kLibrary,
                         MainWindow::Hooks hooks = {}, LibraryRequest resume = {});
    StartedForm(const StartedForm&) = delete;
    StartedForm& operator=(const StartedForm&) = delete;

    MainWindow& operator*() { return *form_; }
    MainWindow* operator->() { return form_.get(); }

    bool started = false;
    bool ended = false;
    std::vector<Message> messages;
    int answer = IDOK;  // what every message box returns, IDYES for example

  private:
    CurrentFolderScope folder_;
    std::unique_ptr<MainWindow> form_;
};

enum class MouseButton { Left, Right };
// A click (button down and up) in the middle of a control, or of an image element in the image
// grid; the left button's unless told.
void Click(HWND control, MouseButton button = MouseButton::Left);
void Click(const GridElement& element, MouseButton button = MouseButton::Left);
// A menu's items, by position, as a test reads them.
struct MenuEntry {
    UINT id = 0;
    std::wstring text;
    bool separator = false;
    bool enabled = true;
    bool isDefault = false;
};
std::vector<MenuEntry> MenuEntries(HMENU menu);
// The mouse moved onto an image element, near its top left corner.
void MouseMove(const GridElement& element);
// A key pressed and released through the dialog manager, as the program's message loop does.
void PressKey(HWND dialog, UINT key, bool shift = false);

// A key posted to the focused control and taken from the queue by a message loop like the
// program's, the dialog manager first; then every posted message is handled.
void PostKey(HWND dialog, UINT key, bool shift = false);
// Runs the program's message loop until the queue is empty.
void PumpMessages(HWND dialog);
// Runs the thread's messages until `done` holds or `milliseconds` pass; false when it never held.
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 2000);
// Twips per pixel of the window's monitor: 15 at 96 DPI, 10 at 144.
double TwipsPerPixelOf(HWND window);

// The ratios the start-up fit gives on this screen: the screen in pixels at 96 DPI over the
// 800 x 600 design screen, whatever the display scaling.
struct FitRatios {
    double x;
    double y;
};
FitRatios ExpectedFitRatios(HWND window);

// A control's rectangle in the client area of `window`.
RECT ClientRectOf(HWND control, HWND window);
// A control's rectangle, or an image element's, by its name in the controls table.
RECT PlacedRect(MainWindow& form, std::wstring_view name, int arrayIndex = kNoIndex);
// Every control's, in the order of the controls table.
std::vector<RECT> ControlRects(MainWindow& form);
// The font a control or the tooltip draws with.
LOGFONTW FontOf(HWND window);

// Changes the window's size, its place left as it is.
void ResizeWindow(HWND window, int width, int height);
// Sends the WM_DPICHANGED of a move to a monitor of `dpi`, with the rectangle Windows suggests:
// the window where it is, its client area scaled by the change. Returns that rectangle.
RECT SendDpiChange(HWND window, UINT dpi);

// The pixels `paint` draws into a 32-bit surface of width x height.
class PaintedPixels {
  public:
    PaintedPixels(int width, int height, const std::function<void(HDC)>& paint);
    // CLR_INVALID outside the surface, or when it could not be made.
    COLORREF At(int x, int y) const;

  private:
    int width_;
    int height_;
    std::vector<COLORREF> pixels_;
};

// The colour in the middle of an image area or an image element as it paints itself.
COLORREF CentreColour(const ImageArea& area);
COLORREF CentreColour(const GridElement& element);
// The colour at a point of an image area or an image element, from its top left corner.
COLORREF ColourAt(const ImageArea& area, int x, int y);
COLORREF ColourAt(const GridElement& element, int x, int y);
bool Near(COLORREF actual, COLORREF expected, int tolerance = 12);

// A path of the build machine as the program sees it: under Wine "/a/b" is "Z:\\a\\b".
std::string HostPath(const std::string& path);

std::wstring ToolTipText(MainWindow& form, int element);
// The image element that has the keyboard focus, or -1.
int FocusedElement(MainWindow& form);
std::wstring WindowText(HWND window);

// The message box titled "SkySwap" that another process shows, waited for up to 30 seconds;
// null when none appears.
HWND FindProgramMessageBox(DWORD processId);
// A window of class `className` that another process shows: a top-level one, or a child of
// `parent`; waited for up to 30 seconds. Null when none appears.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, HWND parent = nullptr);
// Waits up to 30 seconds for another process to end (a test failure and its end when it does
// not), then closes its handles.
void AwaitEnd(PROCESS_INFORMATION& process);
struct MessageBoxContents {
    std::vector<std::wstring> texts;    // static controls with text
    std::vector<std::wstring> buttons;  // captions of the buttons
};
MessageBoxContents ContentsOf(HWND box);

// What the game folder holds of the ten files, as tags (see TagsIn).
std::vector<std::string> GameTags(const TempFolder& temp, int setCount,
                                  const std::vector<std::string>& extraTags = {});
std::vector<std::string> Repeated(const std::string& tag);

}  // namespace skyswap::test
