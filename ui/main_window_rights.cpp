// MainWindow and a game folder that Windows protects: the offer to restart with administrator rights
// after a transfer the folder refused, and the game's shadow copies in the VirtualStore.
#include "main_window.h"

#include <utility>

#include "messages.h"
#include "restart_arguments.h"
#include "selection.h"
#include "text_win.h"

namespace skyswap {

void MainWindow::FindShadowCopies() {
    KnownFolders known = hooks_.knownFolders();
    if (!virtualStore_.empty()) {
        known.virtualStore = virtualStore_;
    }
    virtualStoreFolder_ = VirtualStoreFolder(known);
    gameView_.SetFolders(state_.gameFolder, VirtualStoreMirror(state_.gameFolder, known));
}

void MainWindow::AfterTransferIntoGame(const TransferReport& report, const ResumedRequest& request) {
    if (!report.ok() || !gameView_.Mirror()) {
        ShowTransferOutcome(report, request);
        return;
    }
    // The game reads a shadow copy before the file SkySwap installed; with them gone it sees
    // what was installed. The sky the copies showed, when it was in no set, was kept as a new set
    // before the transfer (RunGameTransfer works through the game's view).
    const TransferReport cleanup =
        RemoveShadowCopies(Files(), *gameView_.Mirror(), {}, [this](const std::string& path) {
            return RemoveShadowCopyWithoutLinks(virtualStoreFolder_, path);
        });
    const std::string message = ShadowCleanupMessage(cleanup);
    if (!message.empty()) {
        hooks_.messageBox(hwnd_, Utf8ToWide(message), Utf8ToWide(kProgramTitle),
                          MB_OK | MB_ICONWARNING);
    }
}

void MainWindow::RefusedForRights(const TransferReport& report, const ResumedRequest& request) {
    if (hooks_.onNetworkShare(report.protectedFolder)) {
        hooks_.messageBox(hwnd_, Utf8ToWide(NetworkShareRefusal(report)), Utf8ToWide(kProgramTitle),
                          MB_OK | MB_ICONWARNING);
        return;
    }
    OfferRestartAsAdministrator(report, request);
}

void MainWindow::OfferRestartAsAdministrator(const TransferReport& report,
                                        const ResumedRequest& request) {
    OfferRestartAsAdministrator(ElevationOffer(report), request);
}

void MainWindow::OfferRestartAsAdministrator(const std::string& offer, const ResumedRequest& request) {
    const std::wstring title = Utf8ToWide(kProgramTitle);
    if (hooks_.messageBox(hwnd_, Utf8ToWide(offer), title, MB_YESNO | MB_ICONWARNING) != IDYES) {
        return;
    }
    RestartRequest restart;
    restart.owner = hwnd_;
    restart.verb = L"runas";
    restart.file = ThisProgramPath();
    restart.parameters =
        Utf8ToWide(RestartParameters({state_.libraryFolder, virtualStoreFolder_, request}));
    // The restarted SkySwap finds the game from its working folder, as at every start.
    restart.folder = Utf8ToWide(state_.libraryFolder);
    const unsigned long error = hooks_.restart(restart);
    if (error == ERROR_SUCCESS) {
        DestroyWindow(hwnd_);  // the new SkySwap takes over the library
        return;
    }
    if (error == ERROR_CANCELLED) {
        return;  // the user said no to Windows' prompt and knows it
    }
    hooks_.messageBox(
        hwnd_,
        L"SkySwap could not be restarted as administrator: " + Utf8ToWide(SystemMessage(error)),
        title, MB_OK | MB_ICONWARNING);
}

ResumedRequest MainWindow::RequestFor(ResumedAction action) const {
    ResumedRequest request;
    request.action = action;
    if (action == ResumedAction::Install || action == ResumedAction::SaveDefault) {
        if (state_.randomPending) {
            // Not drawn yet (keeping the game's sky failed first): the new window draws.
            return action == ResumedAction::Install ? ResumedRequest{ResumedAction::Random, 0, {}}
                                                    : ResumedRequest{};
        }
        if (!state_.selectedSet) {
            return {};
        }
        request.set = *state_.selectedSet;
    }
    return request;
}

void MainWindow::CarryOnAfterRestart() {
    const ResumedRequest request = std::exchange(resume_, {});
    std::string done;
    switch (request.action) {
        case ResumedAction::Install:
        case ResumedAction::Random:
            if (request.action == ResumedAction::Random) {
                ChooseRandom(state_);
            } else {
                ChooseSet(state_, request.set);
            }
            if (RunGameTransfer(GameTransfer::InstallSelected)) {
                done = GameTransferDoneMessage(GameTransfer::InstallSelected,
                                               state_.selectedSet.value_or(0));
            }
            break;
        case ResumedAction::MyDefault:
        case ResumedAction::GameDefault: {
            const GameTransfer transfer = request.action == ResumedAction::MyDefault
                                              ? GameTransfer::LoadMyDefault
                                              : GameTransfer::LoadGameDefault;
            if (RunGameTransfer(transfer)) {
                done = GameTransferDoneMessage(transfer, 0);
            }
            break;
        }
        case ResumedAction::SaveDefault:
            ChooseSet(state_, request.set);
            if (SaveMyDefault()) {
                done = SavedDefaultMessage(request.set);
            }
            break;
        case ResumedAction::Add:
            AddDownloadsFrom(request.paths);  // which tells how it went once it is done
            break;
        case ResumedAction::None:
            break;
    }
    // A failure has been shown by the transfer itself.
    if (!done.empty() && hwnd_ != nullptr) {
        hooks_.messageBox(hwnd_, Utf8ToWide(done), Utf8ToWide(kProgramTitle),
                          MB_OK | MB_ICONINFORMATION);
    }
}

}  // namespace skyswap
