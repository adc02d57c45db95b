// The messages the program posts to its own window, in one place so that no two share a number.
#pragma once

#include <windows.h>

namespace skyswap {

// The first page is painted: recognise the sky in the game.
constexpr UINT kStartRecognitionMessage = WM_APP + 1;
// Recognition's result is ready.
constexpr UINT kRecognitionDoneMessage = WM_APP + 2;
// The window is up after a restart as administrator: carry on with what was asked.
constexpr UINT kCarryOnMessage = WM_APP + 3;
// Adding downloads has its outcome ready; wParam is the run's number.
constexpr UINT kAddDoneMessage = WM_APP + 4;
// Downloads were handed to an elevated window: ask the user before adding them.
constexpr UINT kConfirmHandedDownloadsMessage = WM_APP + 5;
// A screen reader pressed image element wParam.
constexpr UINT kPressImageElementMessage = WM_APP + 6;

// The system menu's own commands: below 0xF000, where Windows' are, with the low four bits clear,
// which Windows uses itself.
constexpr UINT kOpenLibraryCommand = 0x0010;
constexpr UINT kDesktopShortcutCommand = 0x0020;

}  // namespace skyswap
