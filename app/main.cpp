// SkySwap's entry point: creates the main window and runs its messages.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <optional>
#include <string>
#include <utility>

#include "command_line_win.h"
#include "console_win.h"
#include "dpi.h"
#include "elevation_win.h"
#include "main_window.h"
#include "library_lock.h"
#include "listing_ahead.h"
#include "messages.h"
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

// A library that holds this set takes longer to list than a thread takes to start.
constexpr char kManySetsProbe[] = "\\ZT500";
// How long a restarted SkySwap waits for the one that started it to end.
constexpr DWORD kRestartWaitMs = 10000;
// How long a second start looks for the first one's window, which may still be in the making.
constexpr DWORD kFindWindowMs = 3000;

void ShowMessage(const std::string& text, UINT icon) {
    skyswap::ShowProgramMessage(nullptr, text, MB_OK | icon);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Before anything can load a DLL: none comes from the .exe's own folder.
    skyswap::LoadLibrariesFromSystemOnly();
    // A switch runs its action without the window.
    const skyswap::CommandLine command = skyswap::ProcessCommandLine(skyswap::ProgramArguments());
    if (!command.ok() || !command.OpensTheWindow()) {
        return skyswap::RunFromCommandLine(command, skyswap::CommandFront::Window);
    }
    skyswap::EnablePerMonitorDpiAwareness();

    // A restart with administrator rights names its library folder and VirtualStore.
    if (const std::optional<std::string> problem = skyswap::EnterLibraryFolder(command)) {
        ShowMessage(*problem, MB_ICONERROR);
        return skyswap::kExitBadCommandLine;
    }
    const std::string folder = skyswap::WindowsFileSystem().CurrentFolder().value_or(std::string());
    skyswap::SingleInstance library(skyswap::Utf8ToWide(folder));
    if (library.state() == skyswap::SingleInstance::State::InUse &&
        !(command.library && library.WaitToBeFirst(kRestartWaitMs))) {
        const skyswap::HolderVerdict verdict = library.ActivateHolder(kFindWindowMs);
        if (verdict == skyswap::HolderVerdict::BringToFront ||
            verdict == skyswap::HolderVerdict::AnotherUsersWindow) {
            return 0;
        }
        if (verdict != skyswap::HolderVerdict::Taken) {
            ShowMessage(
                skyswap::AlreadyOpenMessage(folder, verdict, false, library.holderComputer()),
                MB_ICONINFORMATION);
            return skyswap::kExitFailed;
        }
    }
    // A lock file that is there but is not taken never lets the window run without the lock.
    if (library.state() == skyswap::SingleInstance::State::Refused) {
        ShowMessage(skyswap::LockRefusedMessage(folder, library.refusal(),
                                                skyswap::SystemMessage(library.error()), false),
                    MB_ICONERROR);
        return skyswap::kExitFailed;
    }
    // Where the library folder refuses even the lock file (a protected folder, without
    // administrator rights), the window cannot write there either: it starts unless a window of
    // this session has the folder open, and its transfers meet that refusal and offer the
    // restart as administrator, which takes the lock.
    if (library.state() == skyswap::SingleInstance::State::Unavailable && !command.library &&
        library.ActivateWindowOfTheSameFolder()) {
        return 0;
    }

    // Listing a library of thousands of sets takes as long as building and showing the window,
    // so it is done meanwhile. A thread costs memory of its own (over a megabyte under Wine), so
    // a small library is listed when it is asked for.
    skyswap::WindowsFileSystem fileSystem;
    skyswap::ListingAhead files(fileSystem);
    if (fileSystem.IsFolder(folder + kManySetsProbe)) {
        files.Start(folder);
    }
    // Only now, so that the listing runs meanwhile: under Wine these two take 30 ms, and nothing
    // before needs them.
    ComScope com;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    skyswap::system32::InitCommonControlsEx(&controls);
    skyswap::MainWindow::Hooks hooks;
    hooks.fileSystem = &files;
    skyswap::MainWindow form(instance, std::move(hooks));
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
