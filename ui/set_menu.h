// The context menu of a thumbnail: what it offers for the element right-clicked (or focused when
// Shift+F10 or the context-menu key was pressed), in which order, and which of its items can work.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace skyswap {

// The items' command ids, as TrackPopupMenuEx with TPM_RETURNCMD returns them; 0 is no choice.
enum class SetMenuCommand : UINT {
    None = 0,
    LoadToGame,
    EditDescription,
    Export,
    OpenFolder,
    Remove,
};

// What the element under the menu shows.
enum class MenuTarget {
    None,    // an empty slot, an arrow, the preview: no menu
    Set,     // a slot showing a set
    Random,  // the random image
};

struct SetMenuState {
    bool adding = false;     // downloads are being added
    bool canExport = false;  // the session has a ZIP writer
};

struct SetMenuItem {
    SetMenuCommand command;
    const wchar_t* text;
    bool enabled;
};

// The items for `target`, in menu order; the first is the default one. None for MenuTarget::None.
std::vector<SetMenuItem> SetMenuItems(MenuTarget target, const SetMenuState& state);

struct MenuDeleter {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDeleter>;

// A popup menu of `items`, the first one the default (drawn bold).
UniqueMenu BuildSetMenu(const std::vector<SetMenuItem>& items);

// TrackPopupMenuEx's flags: the command returned, not sent, and the menu opening on the side the
// user's settings put menus (SM_MENUDROPALIGNMENT, right-aligned for right-handed tablet users).
UINT SetMenuTrackFlags();

// The menu shown at `screen` for `owner`, waiting for the choice; 0 when none was made.
UINT TrackSetMenu(HMENU menu, UINT flags, POINT screen, HWND owner);

}  // namespace skyswap
