// MainWindow and downloaded skies: folders and .zip files dropped on the window, or handed over by
// a SkySwap started from the command line, become new sets. The work runs on adder_'s thread; the
// window shows the page with the first new set and one message saying what was added and what
// was refused.
#include "main_window.h"

#include <shellapi.h>

#include <utility>

#include "add_request.h"
#include "paging.h"
#include "messages.h"
#include "text_win.h"
#include "window_messages.h"

namespace skyswap {

namespace {

// WM_COPYGLOBALDATA, which carries a drop's data to a window with more rights than Explorer.
constexpr UINT kCopyGlobalData = 0x0049;

std::vector<std::string> DroppedPaths(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        if (length > 0 && DragQueryFileW(drop, i, path.data(), length + 1) == length) {
            path.resize(length);
            paths.push_back(WideToUtf8(path));
        }
    }
    return paths;
}

// Changes the cursor at once, not at the mouse's next move, when it is over `window`.
void SetCursorOver(HWND window, const wchar_t* cursor) {
    POINT point{};
    const HWND under = GetCursorPos(&point) ? WindowFromPoint(point) : nullptr;
    if (under != nullptr && (under == window || IsChild(window, under))) {
        SetCursor(LoadCursorW(nullptr, cursor));
    }
}

}  // namespace

bool MainWindow::HandedPathsNeedConsent() const {
    return session_.Elevated() && hooks_.levelsApart();
}

void MainWindow::AcceptDownloads() {
    acceptingDownloads_ = true;
    DragAcceptFiles(hwnd_, TRUE);
    // Restarted as administrator, the window still takes drops from Explorer and paths from a
    // command line, which run with fewer rights; so can any other program then, which is why
    // such a window asks before adding what it was handed. Otherwise Windows' filter stays.
    if (HandedPathsNeedConsent()) {
        for (const UINT message :
             {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kCopyGlobalData}) {
            hooks_.allowMessage(hwnd_, message);
        }
    }
}

void MainWindow::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths = DroppedPaths(drop);
    DragFinish(drop);
    TakeHandedDownloads(std::move(paths));
}

LRESULT MainWindow::OnCopyData(const COPYDATASTRUCT& data) {
    std::optional<std::vector<std::string>> paths = DecodeAddRequest(data);
    // Before the library is known (a failed start-up still shows its message), there is no
    // folder to add to.
    if (!paths || !acceptingDownloads_) {
        return FALSE;  // not ours, or malformed: ignored
    }
    TakeHandedDownloads(std::move(*paths));
    return TRUE;
}

void MainWindow::TakeHandedDownloads(std::vector<std::string> paths) {
    if (paths.empty() || !acceptingDownloads_) {
        return;
    }
    if (!HandedPathsNeedConsent()) {
        AddDownloadsFrom(std::move(paths));
        return;
    }
    // Asked once the sender has its answer, which a message box would hold up.
    if (handedDownloads_.empty()) {
        PostMessageW(hwnd_, kConfirmHandedDownloadsMessage, 0, 0);
    }
    handedDownloads_.insert(handedDownloads_.end(), paths.begin(), paths.end());
}

void MainWindow::OnConfirmHandedDownloads() {
    std::vector<std::string> paths = std::exchange(handedDownloads_, {});
    if (!paths.empty() &&
        Say(AddHandedDownloadsQuestion(paths), MB_YESNO | MB_ICONQUESTION) == IDYES) {
        AddDownloadsFrom(std::move(paths));
    }
}

bool MainWindow::OnSetCursor(UINT hitTest) {
    if (!adder_.Running() || hitTest != HTCLIENT) {
        return false;
    }
    // The arrow with the hourglass: busy, but the buttons and the pages still answer.
    SetCursor(LoadCursorW(nullptr, IDC_APPSTARTING));
    return true;
}

void MainWindow::AddDownloadsFrom(std::vector<std::string> paths) {
    if (paths.empty() || !acceptingDownloads_) {
        return;
    }
    if (adder_.Running()) {
        // Numbered after the sets of the run under way, once that has told its outcome.
        waitingDownloads_.insert(waitingDownloads_.end(), paths.begin(), paths.end());
        return;
    }
    adder_.Start(hwnd_, kAddDoneMessage, Files(), state_, std::move(paths));
    SetCursorOver(hwnd_, IDC_APPSTARTING);
}

void MainWindow::OnAddDone(WPARAM run) {
    // A transfer may have waited for this run already, and another may have started since.
    if (!adder_.IsCurrent(run)) {
        return;
    }
    if (std::optional<AddOutcome> outcome = adder_.Finish()) {
        ShowAdded(*outcome);
    }
}

bool MainWindow::FinishAdding() {
    if (adder_.Running()) {
        SetCursorOver(hwnd_, IDC_WAIT);  // the window does not answer until the sets are in
    }
    while (hwnd_ != nullptr && adder_.Running()) {
        if (std::optional<AddOutcome> outcome = adder_.Finish()) {
            ShowAdded(*outcome);
        }
    }
    return hwnd_ != nullptr;
}

void MainWindow::ShowAdded(const AddOutcome& added) {
    const SessionOutcome outcome = session_.TakeAdded(added);
    // Paths dropped meanwhile are read while the user reads this outcome.
    if (!waitingDownloads_.empty()) {
        AddDownloadsFrom(std::exchange(waitingDownloads_, {}));
    } else {
        SetCursorOver(hwnd_, IDC_ARROW);
    }
    if (!outcome.added.empty()) {
        // The first new set is shown and chosen as a click on it would: LOAD TO EAW installs it.
        const int32_t first = outcome.added.front().set;
        ShowPageOf(first);
        OnImageElementClicked(first - state_.pageFirst);
        if (outcome.recognizeAgain) {
            StartRecognition();  // the title and the outline follow what it finds
            ShowInstalledSky();
        }
    }
    ShowOutcome(outcome);
}

void MainWindow::ShowPageOf(int32_t set) {
    if (set < 0 || set >= state_.setCount) {
        return;
    }
    state_.pageFirst = set - set % kSlotCount;
    ShowPage(state_, *this);
    ShowInstalledSky();
}

}  // namespace skyswap
