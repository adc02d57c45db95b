// MainWindow and the care of one set: the thumbnails' context menu (load, describe, export, show
// in Explorer, remove) and the dialogs its items open. The library session does the work and
// words the outcomes; the window asks, then shows.
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>

#include "description.h"
#include "description_dialog.h"
#include "known_folders_win.h"
#include "main_window.h"
#include "paging.h"
#include "paths.h"
#include "set_care.h"
#include "set_menu.h"
#include "text_win.h"

namespace skyswap {

namespace {

using Microsoft::WRL::ComPtr;

bool ShowInExplorer(const std::string& path) {
    PIDLIST_ABSOLUTE item = ILCreateFromPathW(Utf8ToWide(path).c_str());
    if (item == nullptr) {
        return false;
    }
    const HRESULT result = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    ILFree(item);
    return SUCCEEDED(result);
}

// The shell's Save dialog for a ZIP file, opening in `startFolder`.
std::optional<std::string> ChooseZipFile(HWND owner, const std::string& suggestedName,
                                         const std::string& startFolder) {
    ComPtr<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog)))) {
        return std::nullopt;
    }
    const COMDLG_FILTERSPEC types[] = {{L"ZIP archive (*.zip)", L"*.zip"}};
    dialog->SetFileTypes(1, types);
    dialog->SetDefaultExtension(L"zip");
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetFileName(Utf8ToWide(suggestedName).c_str());
    ComPtr<IShellItem> folder;
    if (!startFolder.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(Utf8ToWide(startFolder).c_str(), nullptr,
                                              IID_PPV_ARGS(&folder)))) {
        dialog->SetFolder(folder.Get());
    }
    ComPtr<IShellItem> chosen;
    PWSTR path = nullptr;
    if (FAILED(dialog->Show(owner)) || FAILED(dialog->GetResult(&chosen)) ||
        FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        return std::nullopt;  // cancelled, or no file-system path
    }
    std::string file = WideToUtf8(path);
    CoTaskMemFree(path);
    return file;
}

}  // namespace

int MainWindow::ElementAt(POINT client) const {
    const std::array<RECT, kImageElementCount> rects = ImageElementRects();
    for (int element = 0; element < kImageElementCount; ++element) {
        if (ImageElement(element).visible() && PtInRect(&rects[element], client)) {
            return element;
        }
    }
    return -1;
}

LRESULT MainWindow::OnContextMenu(HWND source, POINT screen) {
    if (source != hwnd_ && !IsChild(hwnd_, source)) {
        return 0;
    }
    int element = -1;
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard (Shift+F10, the context-menu key): the focused element's menu, shown
        // below it.
        element = FocusedImageElement();
        if (element < 0) {
            return 0;
        }
        const PixelRect place = layout_.Place(elementRows_[element]);
        const bool rightAligned = (SetMenuTrackFlags() & TPM_RIGHTALIGN) != 0;
        screen = {place.left + (rightAligned ? place.width : 0), place.top + place.height};
        ClientToScreen(hwnd_, &screen);
    } else {
        POINT client = screen;
        ScreenToClient(hwnd_, &client);
        element = ElementAt(client);
    }
    if (element >= 0) {
        ShowSetMenu(element, screen);
    }
    return 0;
}

void MainWindow::ShowSetMenu(int element, POINT screen) {
    if (!acceptingDownloads_) {
        return;  // no library open
    }
    MenuTarget target = MenuTarget::None;
    const int32_t set = state_.pageFirst + element;
    if (element == kRandomElement) {
        target = MenuTarget::Random;
    } else if (element < kSlotCount &&
               std::binary_search(state_.setNumbers.begin(), state_.setNumbers.end(), set)) {
        target = MenuTarget::Set;
    }
    const std::vector<SetMenuItem> items = SetMenuItems(target, {Adding(), session_.CanExport()});
    if (items.empty()) {
        return;
    }
    const UniqueMenu menu = BuildSetMenu(items);
    if (!menu) {
        return;
    }
    const auto track = hooks_.trackMenu ? hooks_.trackMenu : TrackSetMenu;
    const auto command =
        static_cast<SetMenuCommand>(track(menu.get(), SetMenuTrackFlags(), screen, hwnd_));
    // A disabled item cannot be chosen by hand; a hook may still return one.
    const auto chosen = std::find_if(items.begin(), items.end(), [&](const SetMenuItem& item) {
        return item.command == command && item.enabled;
    });
    if (chosen == items.end()) {
        return;
    }
    switch (command) {
        case SetMenuCommand::LoadToGame:
            // As selecting the element and pressing LOAD TO EAW does.
            OnImageElementClicked(element);
            OnLoadToGameClicked();
            break;
        case SetMenuCommand::EditDescription:
            OnEditDescription(element);
            break;
        case SetMenuCommand::Export:
            OnExportSet(set);
            break;
        case SetMenuCommand::OpenFolder:
            OnShowSetFolder(set);
            break;
        case SetMenuCommand::Remove:
            OnRemoveSet(set);
            break;
        case SetMenuCommand::None:
            break;
    }
}

void MainWindow::OnEditDescription(int element) {
    const int32_t set = state_.pageFirst + element;
    const std::string now = ReadDescription(Files(), DescriptionPath(state_, set));
    const std::wstring title = Utf8ToWide("Description of " + SetFolderName(set));
    const std::optional<std::wstring> accepted =
        EditDescription(hwnd_, title, Utf8ToWide(now), [&](HWND dialog, const std::wstring& text) {
            const SessionOutcome outcome = session_.Describe(set, WideToUtf8(text));
            for (const SessionNote& note : outcome.notes) {
                hooks_.messageBox(dialog, Utf8ToWide(note.text), ProgramTitle(),
                                  MB_OK | MB_ICONWARNING);
            }
            return outcome.succeeded;
        });
    if (!accepted || hwnd_ == nullptr) {
        return;
    }
    // The tooltip, the screen-reader name and the title read the new description at once.
    DescribeSlot(state_, Files(), *this, element);
    grid_.NameChanged(element);
    ShowInstalledSky();
}

void MainWindow::OnExportSet(int32_t set) {
    const std::string suggested =
        SuggestedExportName(set, ReadDescription(Files(), DescriptionPath(state_, set)));
    const std::string start = !lastExportFolder_.empty() ? lastExportFolder_ : DocumentsFolder();
    const std::optional<std::string> file = hooks_.chooseExportFile
                                                ? hooks_.chooseExportFile(suggested, start)
                                                : ChooseZipFile(hwnd_, suggested, start);
    if (!file) {
        return;
    }
    lastExportFolder_ = ParentOf(*file);
    const SessionOutcome outcome = session_.Export(set, *file);
    ShowOutcome(outcome);
    // Nothing in the window shows an export, so its success is told.
    if (outcome.succeeded && hwnd_ != nullptr) {
        Say(outcome.done, MB_OK | MB_ICONINFORMATION);
    }
}

void MainWindow::OnShowSetFolder(int32_t set) {
    const std::string folder = SetFolder(state_, set);
    const auto show = hooks_.showInFolder ? hooks_.showInFolder : ShowInExplorer;
    if (!show(folder)) {
        Say("SkySwap cannot show the folder " + folder + " in Explorer.", MB_OK | MB_ICONWARNING);
    }
}

void MainWindow::OnRemoveSet(int32_t set) {
    // A recognition under way reads the set's files; the question looks at the game afresh.
    recognizer_.Stop();
    const RemovalQuestion question = session_.AskRemoval(set);
    if (!question.allowed()) {
        Say(question.refusal, MB_OK | MB_ICONWARNING);
    } else if (Say(question.question,
                   MB_YESNO | MB_DEFBUTTON2 |
                       (question.toRecycleBin ? MB_ICONQUESTION : MB_ICONWARNING)) == IDYES) {
        const bool wasChosen = state_.selectedSet == set && !state_.randomPending;
        const SessionOutcome outcome = session_.Remove(set, !question.toRecycleBin);
        if (outcome.succeeded) {
            ShowPage(state_, *this);  // the slot is empty now, as after adding
            if (wasChosen) {
                ShowInPreview(nullptr, PlaceholderMaker());
                EnableWindow(CommandButton(kLoadToGameButton), FALSE);
            }
        }
        ShowOutcome(outcome);
    }
    if (hwnd_ == nullptr) {
        return;
    }
    if (!knowledge_.installed) {
        StartRecognition();
    }
    ShowInstalledSky();
}

}  // namespace skyswap
