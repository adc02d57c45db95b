// The first-paint signal: the start-up timing stops its clock on it and the demo takes its
// screenshot on it, so it must come after the paint, exactly once, and never trouble a program
// that nobody is waiting for.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "startup_signal.h"

namespace {

struct Event {
    explicit Event(const std::wstring& eventName)
        : name(eventName), handle(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str())) {}
    ~Event() { CloseHandle(handle); }
    bool IsSet() const { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }

    std::wstring name;
    HANDLE handle;
};

std::wstring UniqueName(const wchar_t* what) {
    return std::wstring(L"Local\\SkySwapSignalTest-") + what + L"-" +
           std::to_wstring(GetCurrentProcessId());
}

// A shown window that notes whether the event was already set when it painted.
class PaintedWindow {
  public:
    explicit PaintedWindow(const Event& event) : event_(event) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SkySwapSignalTestWindow";
        RegisterClassW(&windowClass);
        hwnd = CreateWindowExW(0, windowClass.lpszClassName, L"test", WS_OVERLAPPEDWINDOW, 0, 0,
                               200, 100, nullptr, nullptr, windowClass.hInstance, this);
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    }
    ~PaintedWindow() { DestroyWindow(hwnd); }

    HWND hwnd = nullptr;
    int paints = 0;
    bool eventSetBeforePaint = false;

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        auto* self = reinterpret_cast<PaintedWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_PAINT && self != nullptr) {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            ++self->paints;
            self->eventSetBeforePaint = self->eventSetBeforePaint || self->event_.IsSet();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    const Event& event_;
};

TEST(StartupSignal, TheEventIsSetAfterThePendingPaint) {
    Event event(UniqueName(L"paint"));
    PaintedWindow window(event);
    ASSERT_NE(window.hwnd, nullptr) << "the test needs a display (Xvfb)";
    InvalidateRect(window.hwnd, nullptr, TRUE);

    EXPECT_TRUE(skyswap::SignalFirstPaint(window.hwnd, event.name));

    EXPECT_GE(window.paints, 1) << "the invalid window was painted before the signal";
    EXPECT_FALSE(window.eventSetBeforePaint);
    EXPECT_TRUE(event.IsSet());
}

TEST(StartupSignal, AMissingEventIsNoFailureOfTheProgram) {
    EXPECT_FALSE(skyswap::SignalFirstPaint(nullptr, UniqueName(L"nobody-waits")));
    EXPECT_FALSE(skyswap::SignalFirstPaint(nullptr, L""));
}

TEST(StartupSignal, TheWaitersVariableNamesTheEventAndOnlyTheFirstCallSignals) {
    // The waiting side makes the event and names it for the programs it starts, which inherit
    // its environment.
    const HANDLE event = skyswap::ExpectFirstPaint(UniqueName(L"variable"));
    ASSERT_NE(event, nullptr);
    const auto isSet = [&] { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; };
    EXPECT_FALSE(isSet()) << "a fresh event waits for the paint";

    skyswap::SignalFirstPaintIfAsked(nullptr);
    EXPECT_TRUE(isSet());

    ResetEvent(event);
    skyswap::SignalFirstPaintIfAsked(nullptr);
    EXPECT_FALSE(isSet()) << "later paints are not the first page";
    SetEnvironmentVariableW(skyswap::kFirstPaintEventVariable, nullptr);
    CloseHandle(event);
}

}  // namespace
