#include "set_menu.h"

namespace skyswap {

std::vector<SetMenuItem> SetMenuItems(MenuTarget target, const SetMenuState& state) {
    switch (target) {
        case MenuTarget::Set:
            return {
                {SetMenuCommand::LoadToGame, L"&Load to EAW", true},
                {SetMenuCommand::EditDescription, L"&Edit description...", true},
                {SetMenuCommand::Export, L"E&xport as ZIP...", state.canExport},
                {SetMenuCommand::OpenFolder, L"&Open folder", true},
                // A set added meanwhile is numbered from the library as it was at the start.
                {SetMenuCommand::Remove, L"Move to &Recycle Bin...", !state.adding},
            };
        case MenuTarget::Random:
            return {{SetMenuCommand::LoadToGame, L"&Load to EAW", true}};
        case MenuTarget::None:
            break;
    }
    return {};
}

UniqueMenu BuildSetMenu(const std::vector<SetMenuItem>& items) {
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) {
        return menu;
    }
    for (const SetMenuItem& item : items) {
        AppendMenuW(menu.get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED),
                    static_cast<UINT_PTR>(item.command), item.text);
    }
    if (!items.empty()) {
        SetMenuDefaultItem(menu.get(), static_cast<UINT>(items.front().command), FALSE);
    }
    return menu;
}

UINT SetMenuTrackFlags() {
    const UINT side = GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    return TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_TOPALIGN | side;
}

UINT TrackSetMenu(HMENU menu, UINT flags, POINT screen, HWND owner) {
    return static_cast<UINT>(TrackPopupMenuEx(menu, flags, screen.x, screen.y, owner, nullptr));
}

}  // namespace skyswap
