#include "description_dialog.h"

#include <cstdint>
#include <vector>

namespace skyswap {

namespace {

// A DLGTEMPLATE and its items, written as the WORD stream DialogBoxIndirectParam reads.
class DialogTemplate {
  public:
    DialogTemplate(const std::wstring& title, short width, short height) {
        const DWORD style =
            DS_SHELLFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        AddDword(style);
        AddDword(0);  // extended style
        countAt_ = words_.size();
        words_.push_back(0);  // the item count, filled in by Add
        for (short value : {short{0}, short{0}, width, height}) {
            words_.push_back(static_cast<WORD>(value));
        }
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        AddText(title);
        words_.push_back(8);  // points
        AddText(L"MS Shell Dlg");
    }

    // `classAtom`: 0x80 button, 0x81 edit, 0x82 static.
    void Add(WORD classAtom, int id, DWORD style, short x, short y, short width, short height,
             const std::wstring& text) {
        if (words_.size() % 2 != 0) {
            words_.push_back(0);  // each item starts on a DWORD
        }
        AddDword(style | WS_CHILD | WS_VISIBLE);
        AddDword(0);
        for (short value : {x, y, width, height}) {
            words_.push_back(static_cast<WORD>(value));
        }
        words_.push_back(static_cast<WORD>(id));
        words_.push_back(0xFFFF);
        words_.push_back(classAtom);
        AddText(text);
        words_.push_back(0);  // no creation data
        ++words_[countAt_];
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    void AddDword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void AddText(const std::wstring& text) {
        words_.insert(words_.end(), text.begin(), text.end());
        words_.push_back(0);
    }

    std::vector<WORD> words_;  // WORD-aligned from the vector's allocation, DWORD as well
    std::size_t countAt_ = 0;
};

struct DialogState {
    std::wstring text;
    const std::function<bool(HWND, const std::wstring&)>* accept;
};

std::wstring EditText(HWND dialog) {
    HWND edit = GetDlgItem(dialog, kDescriptionEditId);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

void FocusAllText(HWND dialog) {
    HWND edit = GetDlgItem(dialog, kDescriptionEditId);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK DescriptionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            state = reinterpret_cast<DialogState*>(lParam);
            SetDlgItemTextW(dialog, kDescriptionEditId, state->text.c_str());
            FocusAllText(dialog);
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (state == nullptr) {
                break;
            }
            if (LOWORD(wParam) == IDOK) {
                std::wstring text = EditText(dialog);
                if ((*state->accept)(dialog, text)) {
                    state->text = std::move(text);
                    EndDialog(dialog, IDOK);
                } else {
                    FocusAllText(dialog);
                }
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

std::optional<std::wstring> EditDescription(
    HWND owner, const std::wstring& title, const std::wstring& text,
    const std::function<bool(HWND dialog, const std::wstring& text)>& accept) {
    // In dialog units; the label before the edit names it for screen readers.
    DialogTemplate dialog(title, 240, 62);
    dialog.Add(0x82, kDescriptionLabelId, SS_LEFT, 7, 8, 226, 9, L"&Description:");
    dialog.Add(0x81, kDescriptionEditId, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_GROUP, 7, 19,
               226, 14, L"");
    dialog.Add(0x80, IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 129, 41, 50, 14, L"OK");
    dialog.Add(0x80, IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 183, 41, 50, 14, L"Cancel");
    DialogState state{text, &accept};
    const INT_PTR result = DialogBoxIndirectParamW(
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE)), dialog.get(), owner,
        DescriptionDialogProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) {
        return std::nullopt;
    }
    return state.text;
}

}  // namespace skyswap
