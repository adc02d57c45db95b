// The thumbnails' context menu: its items for each kind of element, and what they do in the window.
#include <windows.h>

#include <gtest/gtest.h>

#include "set_menu.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

struct ShownItem {
    UINT id;
    std::wstring text;
    bool enabled;
    bool isDefault;
};

std::vector<ShownItem> ItemsOf(HMENU menu) {
    std::vector<ShownItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256]{};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        items.push_back(
            {info.wID, text, (info.fState & MFS_DISABLED) == 0, (info.fState & MFS_DEFAULT) != 0});
    }
    return items;
}

TEST(SetMenu, ASetOffersFiveItemsLoadFirstTheRandomImageOnlyLoad) {
    const std::vector<SetMenuItem> set = SetMenuItems(MenuTarget::Set, {false, true});
    const UniqueMenu menu = BuildSetMenu(set);
    const std::vector<ShownItem> shown = ItemsOf(menu.get());
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
    std::vector<std::vector<ShownItem>> menus;
    std::wstring pick;
    std::vector<std::string> shownFolders;
    MainWindow::Hooks hooks;
    hooks.trackMenu = [&](HMENU menu, UINT, POINT, HWND) -> UINT {
        menus.push_back(ItemsOf(menu));
        for (const ShownItem& item : menus.back()) {
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
    auto rightClick = [&](HWND control) {
        RECT client{};
        GetClientRect(control, &client);
        const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
        SendMessageW(control, WM_RBUTTONDOWN, MK_RBUTTON, middle);
        SendMessageW(control, WM_RBUTTONUP, 0, middle);
    };
    pick = L"&Open folder";
    rightClick(form->Control(L"ImageElement", 2));
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].size(), 5u);
    EXPECT_EQ(shownFolders, std::vector<std::string>{temp.Join(std::string(kLibrary) + "\\ZT2")});
    rightClick(form->Control(L"ImageElement", kRandomElement));
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[1].size(), 1u);
    // An empty slot and the preview have none.
    rightClick(form->Control(L"ImageElement", 5));
    rightClick(form->Control(L"Preview"));
    EXPECT_EQ(menus.size(), 2u);
    EXPECT_TRUE(form.messages.empty());
}

}  // namespace
}  // namespace skyswap::test
