#include "startup_signal.h"

#include <vector>

namespace skyswap {
namespace {

std::wstring EventNameFromEnvironment() {
    const DWORD length = GetEnvironmentVariableW(kFirstPaintEventVariable, nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::vector<wchar_t> buffer(length);
    const DWORD copied = GetEnvironmentVariableW(kFirstPaintEventVariable, buffer.data(), length);
    return copied > 0 && copied < length ? std::wstring(buffer.data(), copied) : std::wstring();
}

}  // namespace

bool SignalFirstPaint(HWND window, const std::wstring& eventName) {
    if (window != nullptr) {
        // What the message loop would paint next, painted now, so the signal follows the paint.
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        GdiFlush();
    }
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName.c_str());
    if (event == nullptr) {
        return false;
    }
    const bool set = SetEvent(event) != 0;
    CloseHandle(event);
    return set;
}

HANDLE ExpectFirstPaint(const std::wstring& eventName) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    if (event != nullptr && !SetEnvironmentVariableW(kFirstPaintEventVariable, eventName.c_str())) {
        CloseHandle(event);
        return nullptr;
    }
    return event;
}

void SignalFirstPaintIfAsked(HWND window) {
    static bool asked = true;
    if (!asked) {
        return;
    }
    asked = false;
    const std::wstring eventName = EventNameFromEnvironment();
    if (!eventName.empty()) {
        SignalFirstPaint(window, eventName);
    }
}

}  // namespace skyswap
