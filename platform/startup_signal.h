// Tells whoever started the program (the start-up timing, the demo and the screenshots) that the
// first page is on the screen. The program does this only when the environment variable names an
// event for it; otherwise the call does nothing.
#pragma once

#include <windows.h>

#include <string>

namespace skyswap {

// The variable holding the name of the event to set, e.g. "Local\SkySwapFirstPaint-42".
constexpr wchar_t kFirstPaintEventVariable[] = L"SKYSWAP_SIGNAL_FIRST_PAINT";

// Call once the window has painted, or is about to paint, the filled first page. When the
// variable is set, the window's pending painting (its children's included) is finished first and
// the event is then set; the variable is read once, and only the first call signals.
void SignalFirstPaintIfAsked(HWND window);

// The same without the environment: finishes the pending painting of `window` (when not null)
// and sets the named event. False when there is no such event.
bool SignalFirstPaint(HWND window, const std::wstring& eventName);

// The waiting side: makes the event `eventName` (manual reset, not set) and names it in this
// process's environment, so that a program started from here afterwards signals it. Null when
// the event cannot be made; the caller closes the handle.
HANDLE ExpectFirstPaint(const std::wstring& eventName);

}  // namespace skyswap
