// The window's system menu: its two items of SkySwap's own, the library folder in Explorer and
// the desktop shortcut "EAW with a random sky", read back through the shell.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "elevation_win.h"
#include "text_win.h"
#include "ui_test_support.h"
#include "window_messages.h"

namespace skyswap::test {
namespace {

using Microsoft::WRL::ComPtr;

struct Shortcut {
    std::wstring target;
    std::wstring arguments;
    std::wstring startIn;
    std::wstring icon;
    int iconIndex = -1;
};

std::optional<Shortcut> ReadShortcut(const std::string& path) {
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&link))) ||
        FAILED(link.As(&file)) || FAILED(file->Load(Utf8ToWide(path).c_str(), STGM_READ))) {
        return std::nullopt;
    }
    Shortcut read;
    wchar_t text[MAX_PATH]{};
    link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
    read.target = text;
    link->GetArguments(text, MAX_PATH);
    read.arguments = text;
    link->GetWorkingDirectory(text, MAX_PATH);
    read.startIn = text;
    link->GetIconLocation(text, MAX_PATH, &read.iconIndex);
    read.icon = text;
    return read;
}

TEST(SystemMenu, ItHasTheLibraryFolderAndTheDesktopShortcutAfterASeparator) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const std::vector<MenuEntry> items = MenuEntries(GetSystemMenu(form->hwnd(), FALSE));
    ASSERT_GE(items.size(), 3u);
    const std::size_t last = items.size() - 1;
    EXPECT_TRUE(items[last - 2].separator);
    EXPECT_EQ(items[last - 1].id, kOpenLibraryCommand);
    EXPECT_EQ(items[last - 1].text, L"&Open the library folder");
    EXPECT_EQ(items[last].id, kDesktopShortcutCommand);
    EXPECT_EQ(items[last].text, L"Create a &desktop shortcut: EAW with a random sky");
}

TEST(SystemMenu, OpenTheLibraryFolderShowsItInExplorerOrSaysItCannot) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    std::vector<std::string> opened;
    bool opens = true;
    MainWindow::Hooks hooks;
    hooks.openFolder = [&](const std::string& folder) {
        opened.push_back(folder);
        return opens;
    };
    StartedForm form(temp, kLibrary, hooks);
    ASSERT_TRUE(form.started);
    SendMessageW(form->hwnd(), WM_SYSCOMMAND, kOpenLibraryCommand, 0);
    EXPECT_EQ(opened, std::vector<std::string>{temp.Join(kLibrary)});
    EXPECT_TRUE(form.messages.empty());

    opens = false;
    SendMessageW(form->hwnd(), WM_SYSCOMMAND, kOpenLibraryCommand, 0);
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_TRUE(form.messages[0].type & MB_ICONWARNING);
    EXPECT_TRUE(IsWindow(form->hwnd()));
}

TEST(SystemMenu, TheDesktopShortcutInstallsARandomSkyAndStartsTheGame) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    temp.MakeFolder("Desktop");
    // An older shortcut of that name is replaced.
    temp.WriteFile("Desktop\\EAW with a random sky.lnk", "stale");
    std::string desktop = temp.Join("Desktop");
    MainWindow::Hooks hooks;
    hooks.desktopFolder = [&] { return desktop; };
    StartedForm form(temp, kLibrary, hooks);
    ASSERT_TRUE(form.started);

    SendMessageW(form->hwnd(), WM_SYSCOMMAND, kDesktopShortcutCommand, 0);
    const std::string path = temp.Join("Desktop\\EAW with a random sky.lnk");
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text, L"The shortcut is on your desktop: " + Utf8ToWide(path));
    const std::optional<Shortcut> shortcut = ReadShortcut(path);
    ASSERT_TRUE(shortcut) << "the shortcut is one the shell reads";
    EXPECT_EQ(shortcut->target, ThisProgramPath());
    EXPECT_EQ(shortcut->arguments, L"/random /play");
    EXPECT_EQ(shortcut->startIn, Utf8ToWide(temp.Join(kLibrary)));
    EXPECT_EQ(shortcut->icon, ThisProgramPath());
    EXPECT_EQ(shortcut->iconIndex, 0);

    // No desktop, or one that cannot be written: a warning, and the window goes on.
    for (const std::string& where : {std::string(), temp.Join("No Such Desktop")}) {
        desktop = where;
        SendMessageW(form->hwnd(), WM_SYSCOMMAND, kDesktopShortcutCommand, 0);
        ASSERT_EQ(form.messages.size(), 2u) << where;
        EXPECT_TRUE(form.messages[1].type & MB_ICONWARNING) << where;
        form.messages.pop_back();
    }
    EXPECT_TRUE(IsWindow(form->hwnd()));
}

}  // namespace
}  // namespace skyswap::test
