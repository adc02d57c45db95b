// SkySwap's entry point: creates the main window and runs its messages.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "command_line_win.h"
#include "dpi.h"
#include "elevation_win.h"
#include "form1.h"
#include "single_instance_win.h"
#include "startup_signal.h"
#include "system_library_win.h"
#include "text_win.h"
#include "windows_file_system.h"

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

// How long a restarted SkySwap waits for the one that started it to end.
constexpr DWORD kRestartWaitMs = 10000;
// How long a second start looks for the first one's window, which may still be in the making.
constexpr DWORD kFindWindowMs = 3000;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Before anything can load a DLL: none comes from the .exe's own folder.
    skyswap::LoadLibrariesFromSystemOnly();
    // A switch runs its action without the window.
    const skyswap::CommandLine command = skyswap::ProcessCommandLine();
    if (!command.ok() || command.action != skyswap::CommandAction::Window) {
        return skyswap::RunFromCommandLine(command);
    }
    skyswap::EnablePerMonitorDpiAwareness();
    ComScope com;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    skyswap::system32::InitCommonControlsEx(&controls);

    // A restart with administrator rights names its library folder and VirtualStore.
    if (command.library) {
        SetCurrentDirectoryW(skyswap::Utf8ToWide(*command.library).c_str());
    }
    skyswap::SingleInstance library(
        skyswap::Utf8ToWide(skyswap::WindowsFileSystem().CurrentFolder().value_or(std::string())));
    if (!library.IsFirst() && (!command.library || !library.WaitToBeFirst(kRestartWaitMs))) {
        library.ActivateHolder(kFindWindowMs);
        return 0;
    }

    skyswap::Form1 form(instance);
    form.UseVirtualStore(command.virtualStore.value_or(std::string()));
    form.ResumeAfterRestart(command.resume);
    if (!form.Create(showCommand)) {
        return 1;
    }
    library.MarkWindow(form.hwnd());
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
