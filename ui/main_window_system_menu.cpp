// The window's system menu (Alt+Space, the icon at the top left) carries two items of SkySwap's
// own: the library folder in Explorer, and a desktop shortcut that installs a random sky and
// starts the game ("/random /play").
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "known_folders_win.h"
#include "main_window.h"
#include "paths.h"
#include "text_win.h"
#include "window_messages.h"

namespace skyswap {

namespace {

using Microsoft::WRL::ComPtr;

// With access keys that none of Windows' own items use.
constexpr wchar_t kOpenLibraryItem[] = L"&Open the library folder";
constexpr wchar_t kDesktopShortcutItem[] = L"Create a &desktop shortcut: EAW with a random sky";
constexpr char kShortcutName[] = "EAW with a random sky.lnk";
constexpr wchar_t kShortcutArguments[] = L"/random /play";
constexpr wchar_t kShortcutComment[] = L"Installs a sky set drawn at random, then starts EAW";

bool OpenInExplorer(const std::string& folder) {
    const std::wstring path = Utf8ToWide(folder);
    return reinterpret_cast<INT_PTR>(
               ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

// Writes the shortcut at `path`, replacing one of that name; the failure's HRESULT otherwise.
HRESULT WriteShortcut(const std::wstring& path, const std::wstring& program,
                      const std::wstring& startIn) {
    ComPtr<IShellLinkW> link;
    HRESULT result =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    ComPtr<IPersistFile> file;
    if (SUCCEEDED(result)) {
        link->SetPath(program.c_str());
        link->SetArguments(kShortcutArguments);
        link->SetWorkingDirectory(startIn.c_str());
        link->SetIconLocation(program.c_str(), 0);
        link->SetDescription(kShortcutComment);
        result = link.As(&file);
    }
    if (SUCCEEDED(result)) {
        result = file->Save(path.c_str(), TRUE);
    }
    return result;
}

}  // namespace

void MainWindow::AddSystemMenuItems() {
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    if (menu == nullptr) {
        return;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, kOpenLibraryCommand, kOpenLibraryItem);
    AppendMenuW(menu, MF_STRING, kDesktopShortcutCommand, kDesktopShortcutItem);
}

bool MainWindow::OnSystemCommand(WPARAM command) {
    // Windows uses the low four bits of its own commands; ours have them clear.
    switch (command & 0xFFF0) {
        case kOpenLibraryCommand:
            OpenLibraryFolder();
            return true;
        case kDesktopShortcutCommand:
            CreateDesktopShortcut();
            return true;
        default:
            return false;
    }
}

void MainWindow::OpenLibraryFolder() {
    const std::string& folder = state_.libraryFolder;
    const auto open = hooks_.openFolder ? hooks_.openFolder : OpenInExplorer;
    if (!open(folder)) {
        Say("SkySwap cannot open the library folder " + folder + ".", MB_OK | MB_ICONWARNING);
    }
}

void MainWindow::CreateDesktopShortcut() {
    const std::string desktop = hooks_.desktopFolder ? hooks_.desktopFolder() : DesktopFolder();
    if (desktop.empty()) {
        Say("SkySwap cannot find your desktop folder, so it made no shortcut.",
            MB_OK | MB_ICONWARNING);
        return;
    }
    const std::string path = JoinPath(desktop, kShortcutName);
    const HRESULT result =
        WriteShortcut(Utf8ToWide(path), ThisProgramPath(), Utf8ToWide(state_.libraryFolder));
    if (FAILED(result)) {
        Say("SkySwap cannot write the shortcut " + path + ": " +
                SystemMessage(static_cast<unsigned long>(result)),
            MB_OK | MB_ICONWARNING);
        return;
    }
    Say("The shortcut is on your desktop: " + path, MB_OK | MB_ICONINFORMATION);
}

}  // namespace skyswap
