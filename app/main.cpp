// SkySwap's entry point: creates the main window and runs its messages.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "command_line_win.h"
#include "dpi.h"
#include "form1.h"
#include "startup_signal.h"

namespace {

// COM for the Windows Imaging Component, for the lifetime of the program.
class ComScope {
  public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool initialised_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // A switch runs its action without the window.
    const skyswap::CommandLine command = skyswap::ProcessCommandLine();
    if (!command.ok() || command.action != skyswap::CommandAction::Window) {
        return skyswap::RunFromCommandLine(command);
    }
    skyswap::EnablePerMonitorDpiAwareness();
    ComScope com;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    skyswap::Form1 form(instance);
    if (!form.Create(showCommand)) {
        return 1;
    }
    // Only for the start-up timing harness; nothing happens unless it asks.
    skyswap::SignalFirstPaintIfAsked(form.hwnd());
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The dialog manager gives the window Tab, Shift+Tab and Enter between its buttons.
        if (!IsDialogMessageW(form.hwnd(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
