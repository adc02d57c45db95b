// The small dialog that edits a set's description: a label, a one-line edit, OK and Cancel. It is
// made from a template in memory in the shell's dialog font, so Windows scales it for the
// monitor's DPI as it does any dialog of a per-monitor aware program.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace skyswap {

// Control ids inside the dialog (OK and Cancel are IDOK and IDCANCEL).
constexpr int kDescriptionLabelId = 100;
constexpr int kDescriptionEditId = 101;

// Shows the dialog over `owner` with `text` in the edit, selected. OK hands the text to `accept`,
// which says (to the user, over the dialog given) why it refuses one, and returns false to keep
// the dialog open with the text as typed. The text accepted, or nothing after Cancel.
std::optional<std::wstring> EditDescription(
    HWND owner, const std::wstring& title, const std::wstring& text,
    const std::function<bool(HWND dialog, const std::wstring& text)>& accept);

}  // namespace skyswap
