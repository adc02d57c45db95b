// Per-monitor DPI, with fallbacks for systems older than Windows 10 1607, where the newer
// functions are missing.
#pragma once

#include <windows.h>

namespace skyswap {

constexpr UINT kDefaultDpi = 96;
constexpr double kTwipsPerInch = 1440.0;

// Asks for per-monitor (v2) DPI awareness; the manifest asks too, this covers a missing one.
void EnablePerMonitorDpiAwareness();

// Whether the process must fall back to system DPI awareness (SetProcessDPIAware) after asking
// for per-monitor v2: only when Windows lacks SetProcessDpiAwarenessContext or refused it for a
// reason other than "access denied", which says the awareness is set already (by the manifest).
bool NeedsSystemDpiFallback(bool contextFunctionFound, bool contextSet, DWORD error);

// The DPI of the monitor the window is on.
UINT WindowDpi(HWND window);

// A system metric (an icon's size, say) as it is at the given DPI.
int SystemMetricForDpi(int index, UINT dpi);

// The fonts of menus, captions, tooltips and message boxes as they are at the given DPI.
NONCLIENTMETRICSW NonClientMetricsForDpi(UINT dpi);

// The outer size of a window whose client area is `client`.
SIZE OuterSizeForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi);

}  // namespace skyswap
