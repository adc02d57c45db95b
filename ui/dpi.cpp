#include "dpi.h"

#include <initializer_list>

#include "win_handles.h"

namespace skyswap {

namespace {

template <typename Function>
Function User32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 != nullptr
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
               : nullptr;
}

}  // namespace

bool NeedsSystemDpiFallback(bool contextFunctionFound, bool contextSet, DWORD error) {
    return !contextFunctionFound || (!contextSet && error != ERROR_ACCESS_DENIED);
}

void EnablePerMonitorDpiAwareness() {
    using SetContext = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    const auto set = User32Function<SetContext>("SetProcessDpiAwarenessContext");
    const bool contextSet = set != nullptr && set(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    if (NeedsSystemDpiFallback(set != nullptr, contextSet, contextSet ? 0 : GetLastError())) {
        SetProcessDPIAware();
    }
}

UINT WindowDpi(HWND window) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const GetDpi getDpiForWindow = User32Function<GetDpi>("GetDpiForWindow");
    if (getDpiForWindow != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) {
            return dpi;
        }
    }
    WindowDc dc(window);
    const int dpi = dc.get() != nullptr ? GetDeviceCaps(dc.get(), LOGPIXELSX) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

namespace {

// Without the ...ForDpi functions the system answers for the DPI the process started at.
UINT SystemDpi() {
    WindowDc dc(nullptr);
    const int dpi = dc.get() != nullptr ? GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

int SystemMetricForDpi(int index, UINT dpi) {
    using GetMetric = int(WINAPI*)(int, UINT);
    static const GetMetric getForDpi = User32Function<GetMetric>("GetSystemMetricsForDpi");
    if (getForDpi != nullptr) {
        return getForDpi(index, dpi);
    }
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

NONCLIENTMETRICSW NonClientMetricsForDpi(UINT dpi) {
    using GetParameter = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const GetParameter getForDpi =
        User32Function<GetParameter>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (getForDpi != nullptr &&
        getForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        return metrics;
    }
    metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        const int from = static_cast<int>(SystemDpi());
        for (LOGFONTW* font :
             {&metrics.lfCaptionFont, &metrics.lfSmCaptionFont, &metrics.lfMenuFont,
              &metrics.lfStatusFont, &metrics.lfMessageFont}) {
            font->lfHeight = MulDiv(font->lfHeight, static_cast<int>(dpi), from);
        }
    }
    return metrics;
}

SIZE OuterSizeForClient(SIZE client, DWORD style, DWORD exStyle, UINT dpi) {
    using Adjust = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const Adjust adjustForDpi = User32Function<Adjust>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, client.cx, client.cy};
    if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, dpi)) {
        rect = {0, 0, client.cx, client.cy};
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace skyswap
