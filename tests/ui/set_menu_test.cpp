// The thumbnails' context menu: its items for each kind of element, and what they do in the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "description.h"
#include "description_dialog.h"
#include "set_menu.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

// A key pressed on the focused control and taken through the dialog manager, as the program's
// message loop does: F10 comes as a system key, as Windows sends it. Only its press is sent:
// its release alone would open the system menu's keyboard mode.
void PressMenuKey(HWND window, UINT key, bool shift) {
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    const bool system = key == VK_F10;
    const std::vector<UINT> messages =
        system ? std::vector<UINT>{WM_SYSKEYDOWN} : std::vector<UINT>{WM_KEYDOWN, WM_KEYUP};
    for (UINT message : messages) {
        MSG event{};
        event.hwnd = GetFocus() != nullptr ? GetFocus() : window;
        event.message = message;
        event.wParam = key;
        event.lParam = message == WM_KEYUP || message == WM_SYSKEYUP ? LPARAM{0xC0000001} : 1;
        if (!IsDialogMessageW(window, &event)) {
            TranslateMessage(&event);
            DispatchMessageW(&event);
        }
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

// A screenshot of the whole screen as SKYSWAP_SHOTS/<name>.png, when SKYSWAP_SHOTS names a
// folder (a Linux one: under Wine, ImageMagick's import takes it from the X server).
void SaveScreen(const std::string& name) {
    const char* folder = std::getenv("SKYSWAP_SHOTS");
    if (folder == nullptr) {
        return;
    }
    std::wstring line =
        L"import -window root \"" + Utf8ToWide(folder) + L"/" + Utf8ToWide(name) + L".png\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(L"Z:\\usr\\bin\\import", line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process)) {
        // Messages go on being handled while it takes the picture.
        while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 10000, QS_ALLINPUT) ==
               WAIT_OBJECT_0 + 1) {
            MSG event{};
            while (PeekMessageW(&event, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&event);
                DispatchMessageW(&event);
            }
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

// Runs `step` from a timer inside whatever modal loop (a menu, a dialog) the window enters next.
std::function<void()>* pendingStep = nullptr;
void CALLBACK RunPendingStep(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (pendingStep != nullptr) {
        std::function<void()> step = std::move(*pendingStep);
        pendingStep = nullptr;
        step();
    }
}
void WhenModal(std::function<void()>& step, UINT delay = 200) {
    pendingStep = &step;
    SetTimer(nullptr, 0, delay, RunPendingStep);
}

// The dialog this thread shows now, if any.
HWND OpenDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM into) {
            wchar_t name[32]{};
            GetClassNameW(window, name, 32);
            if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(into) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void TypeInto(HWND edit, const std::wstring& text) {
    for (wchar_t c : text) {
        PostMessageW(edit, WM_CHAR, c, 1);
    }
}
void PostKeyTo(HWND control, UINT key) {
    PostMessageW(control, WM_KEYDOWN, key, 1);
    PostMessageW(control, WM_KEYUP, key, LPARAM{0xC0000001});
}

TEST(SetMenu, ASetOffersFiveItemsLoadFirstTheRandomImageOnlyLoad) {
    const std::vector<SetMenuItem> set = SetMenuItems(MenuTarget::Set, {false, true});
    const UniqueMenu menu = BuildSetMenu(set);
    const std::vector<MenuEntry> shown = MenuEntries(menu.get());
    const std::vector<std::wstring> texts{L"&Load to EAW", L"&Edit description...",
                                          L"E&xport as ZIP...", L"&Open folder",
                                          L"Move to &Recycle Bin..."};
    ASSERT_EQ(shown.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(shown[i].text, texts[i]);
        EXPECT_TRUE(shown[i].enabled) << i;
        EXPECT_EQ(shown[i].isDefault, i == 0) << i;
    }
    EXPECT_EQ(SetMenuItems(MenuTarget::Random, {}).size(), 1u);
    EXPECT_TRUE(SetMenuItems(MenuTarget::None, {}).empty());
    // Export needs a ZIP writer; removal waits for adding.
    const std::vector<SetMenuItem> limited = SetMenuItems(MenuTarget::Set, {true, false});
    EXPECT_FALSE(limited[2].enabled);
    EXPECT_FALSE(limited[4].enabled);
    EXPECT_TRUE(limited[0].enabled && limited[1].enabled && limited[3].enabled);
    EXPECT_TRUE(SetMenuTrackFlags() & TPM_RETURNCMD);
}

TEST(SetMenu, ARightClickOnAThumbnailOpensItsMenuAndOpenFolderShowsTheSet) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    std::vector<std::vector<MenuEntry>> menus;
    std::wstring pick;
    std::vector<std::string> shownFolders;
    MainWindow::Hooks hooks;
    hooks.trackMenu = [&](HMENU menu, UINT, POINT, HWND) -> UINT {
        menus.push_back(MenuEntries(menu));
        for (const MenuEntry& item : menus.back()) {
            if (item.text == pick) {
                return item.id;
            }
        }
        return 0;
    };
    hooks.showInFolder = [&](const std::string& path) {
        shownFolders.push_back(path);
        return true;
    };
    StartedForm form(temp, kLibrary, hooks);
    ASSERT_TRUE(form.started);
    pick = L"&Open folder";
    Click(form->ImageElement(2), MouseButton::Right);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].size(), 5u);
    EXPECT_EQ(shownFolders, std::vector<std::string>{temp.Join(std::string(kLibrary) + "\\ZT2")});
    Click(form->ImageElement(kRandomElement), MouseButton::Right);
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[1].size(), 1u);
    // An empty slot and the preview have none.
    Click(form->ImageElement(5), MouseButton::Right);
    Click(form->Control(L"Preview"), MouseButton::Right);
    EXPECT_EQ(menus.size(), 2u);
    EXPECT_TRUE(form.messages.empty());
}

TEST(SetMenu, ShiftF10AndTheMenuKeyOpenTheFocusedThumbnailsMenuBelowIt) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    std::vector<POINT> shownAt;
    MainWindow::Hooks hooks;
    hooks.trackMenu = [&](HMENU, UINT, POINT screen, HWND) -> UINT {
        shownAt.push_back(screen);
        return 0;
    };
    StartedForm form(temp, kLibrary, hooks);
    ASSERT_TRUE(form.started);
    const HWND thumbnails = form->ImageGridWindow();
    SetFocus(thumbnails);
    PressKey(form->hwnd(), VK_RIGHT);
    ASSERT_EQ(FocusedElement(*form), 1);
    PressMenuKey(form->hwnd(), VK_F10, true);
    EXPECT_EQ(shownAt.size(), 1u) << "Shift+F10";
    // Windows turns the menu key into this message of the focused window; Wine does not.
    SendMessageW(thumbnails, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(thumbnails),
                 MAKELPARAM(-1, -1));
    RECT place = form->ImageElement(1).rect();
    MapWindowPoints(thumbnails, nullptr, reinterpret_cast<POINT*>(&place), 2);
    const bool rightAligned = (SetMenuTrackFlags() & TPM_RIGHTALIGN) != 0;
    ASSERT_EQ(shownAt.size(), 2u);
    for (const POINT& point : shownAt) {
        EXPECT_EQ(point.x, rightAligned ? place.right : place.left);
        EXPECT_EQ(point.y, place.bottom);
    }
    EXPECT_EQ(FocusedElement(*form), 1);
}

// Every item, chosen from the menu of a thumbnail: the dialog typed into by keys, the Save
// dialog and the Recycle Bin answered by fakes.
TEST(SetMenu, EachItemDoesItsWorkAndTheSkyInTheGameIsNotRemoved) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    std::wstring pick;
    bool hasBin = true;
    std::vector<std::pair<std::string, bool>> removed;
    MainWindow::Hooks hooks;
    hooks.trackMenu = [&](HMENU menu, UINT, POINT, HWND) -> UINT {
        for (const MenuEntry& item : MenuEntries(menu)) {
            if (item.text == pick) {
                return item.enabled ? item.id : 0;
            }
        }
        return 0;
    };
    const std::string zip = temp.Join("exports\\Sky 1.zip");
    std::vector<std::string> suggested;
    hooks.chooseExportFile = [&](const std::string& name,
                                 const std::string&) -> std::optional<std::string> {
        suggested.push_back(name);
        return zip;
    };
    hooks.hasRecycleBin = [&](const std::string&) { return hasBin; };
    hooks.removeSetFolder = [&](const std::string& folder, bool toBin) {
        removed.emplace_back(folder, toBin);
        std::filesystem::remove_all(std::filesystem::u8path(folder));
        return FsStatus{};
    };
    StartedForm form(temp, kLibrary, hooks);
    ASSERT_TRUE(form.started);
    auto choose = [&](const std::wstring& item, int element) {
        pick = item;
        form.messages.clear();
        Click(form->ImageElement(element), MouseButton::Right);
        PumpMessages(form->hwnd());
    };

    // Load to EAW: selects the set and installs it.
    choose(L"&Load to EAW", 1);
    EXPECT_EQ(GameTags(temp, 3), Repeated("ZT1"));
    EXPECT_EQ(form->State().selectedSet, 1);

    // Edit description, by keys alone: an empty text is refused and the dialog stays; then the
    // new text is taken, written and shown at once.
    std::wstring dialogTitle;
    int refusalsWhileOpen = 0;
    std::function<void()> typeEmpty;
    std::function<void()> typeText;
    typeEmpty = [&] {
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        dialogTitle = WindowText(dialog);
        HWND edit = GetDlgItem(dialog, kDescriptionEditId);
        EXPECT_EQ(GetFocus(), edit);
        EXPECT_EQ(WindowText(edit), L"Sky 2");
        SaveScreen("description-dialog");
        TypeInto(edit, L"\b");
        PostKeyTo(edit, VK_RETURN);
        WhenModal(typeText);
    };
    typeText = [&] {
        HWND dialog = OpenDialog();
        ASSERT_NE(dialog, nullptr);
        refusalsWhileOpen = static_cast<int>(form.messages.size());
        HWND edit = GetDlgItem(dialog, kDescriptionEditId);
        TypeInto(edit, L"Stormy \"Evening\"");
        PostKeyTo(edit, VK_RETURN);
    };
    WhenModal(typeEmpty);
    choose(L"&Edit description...", 2);
    EXPECT_EQ(dialogTitle, L"Description of ZT2");
    EXPECT_EQ(refusalsWhileOpen, 1);
    WindowsFileSystem files;
    EXPECT_EQ(ReadDescription(files, temp.Join(std::string(kLibrary) + "\\ZT2\\ZT2.txt")),
              "Stormy 'Evening'");
    EXPECT_EQ(ToolTipText(*form, 2), L"Stormy 'Evening'");

    // Cancel (Escape) changes nothing.
    std::function<void()> cancel = [&] {
        PostKeyTo(GetDlgItem(OpenDialog(), kDescriptionEditId), VK_ESCAPE);
    };
    WhenModal(cancel);
    choose(L"&Edit description...", 2);
    EXPECT_EQ(ToolTipText(*form, 2), L"Stormy 'Evening'");

    // Export as ZIP: the suggested name, then the file where the Save dialog said.
    CreateDirectoryW(Utf8ToWide(temp.Join("exports")).c_str(), nullptr);
    choose(L"E&xport as ZIP...", 2);
    EXPECT_EQ(suggested, std::vector<std::string>{"ZT2 - Stormy 'Evening'.zip"});
    EXPECT_NE(GetFileAttributesW(Utf8ToWide(zip).c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));

    // The set whose sky is in the game is refused, and nothing is asked or removed.
    choose(L"Move to &Recycle Bin...", 1);
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_EQ(form.messages[0].text,
              L"ZT1 is the sky in the game now. Load another sky first, then remove ZT1.");
    EXPECT_TRUE(removed.empty());

    // Without a Recycle Bin the question says so; No keeps the set.
    hasBin = false;
    form.answer = IDNO;
    choose(L"Move to &Recycle Bin...", 2);
    ASSERT_EQ(form.messages.size(), 1u);
    EXPECT_NE(form.messages[0].text.find(L"for good"), std::wstring::npos);
    EXPECT_TRUE(removed.empty());

    // Yes to the Recycle Bin: the folder goes there and its slot shows the placeholder.
    hasBin = true;
    form.answer = IDYES;
    choose(L"Move to &Recycle Bin...", 2);
    ASSERT_FALSE(form.messages.empty());
    EXPECT_EQ(form.messages[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], std::make_pair(temp.Join(std::string(kLibrary) + "\\ZT2"), true));
    EXPECT_EQ(form->ImageElement(2).picture(), form->Placeholder());
    // Its slot is empty now: no menu.
    pick = L"&Load to EAW";
    form.messages.clear();
    Click(form->ImageElement(2), MouseButton::Right);
    EXPECT_EQ(GameTags(temp, 3), Repeated("ZT1"));
}

// The real menu, opened by a real right click and closed from inside its loop.
TEST(SetMenu, TheRealMenuOpensAtARightClickAndCloses) {
    TempFolder temp;
    MakePictureLibrary(temp, 3);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    bool menuWasOpen = false;
    std::function<void()> close = [&] {
        GUITHREADINFO gui{};
        gui.cbSize = sizeof(gui);
        GetGUIThreadInfo(GetCurrentThreadId(), &gui);
        menuWasOpen = (gui.flags & GUI_INMENUMODE) != 0;
        EndMenu();
    };
    WhenModal(close, 400);
    Click(form->ImageElement(0), MouseButton::Right);
    EXPECT_TRUE(menuWasOpen);
    EXPECT_TRUE(form.messages.empty());
    EXPECT_EQ(GameTags(temp, 3), std::vector<std::string>(10, ""));  // nothing installed
}

}  // namespace
}  // namespace skyswap::test
