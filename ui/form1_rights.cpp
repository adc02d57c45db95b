// Form1 and a game folder that Windows protects: the offer to restart with administrator rights
// after a transfer the folder refused, and the game's shadow copies in the VirtualStore.
#include "form1.h"

#include "messages.h"
#include "restart_arguments.h"
#include "text_win.h"

namespace skyswap {

void Form1::FindShadowCopies() {
    KnownFolders known = hooks_.knownFolders();
    if (!virtualStore_.empty()) {
        known.virtualStore = virtualStore_;
    }
    virtualStoreFolder_ = VirtualStoreFolder(known);
    gameView_.SetFolders(state_.Dest, VirtualStoreMirror(state_.Dest, known));
}

void Form1::AfterTransferIntoGame(const TransferReport& report) {
    if (!report.ok() || !gameView_.Mirror()) {
        ShowTransferOutcome(report);
        return;
    }
    // The game reads a shadow copy before the file SkySwap installed; with them gone it sees
    // what was installed. The sky the copies showed, when it was in no set, was kept as a new set
    // before the transfer (RunGameTransfer works through the game's view).
    const TransferReport cleanup = RemoveShadowCopies(Files(), *gameView_.Mirror());
    const std::string message = ShadowCleanupMessage(cleanup);
    if (!message.empty()) {
        hooks_.messageBox(hwnd_, Utf8ToWide(message), Utf8ToWide(kProgramTitle),
                          MB_OK | MB_ICONWARNING);
    }
}

void Form1::OfferRestartAsAdministrator(const TransferReport& report) {
    OfferRestartAsAdministrator(ElevationOffer(report));
}

void Form1::OfferRestartAsAdministrator(const std::string& offer) {
    const std::wstring title = Utf8ToWide(kProgramTitle);
    if (hooks_.messageBox(hwnd_, Utf8ToWide(offer), title, MB_YESNO | MB_ICONWARNING) != IDYES) {
        return;
    }
    RestartRequest request;
    request.owner = hwnd_;
    request.verb = L"runas";
    request.file = ThisProgramPath();
    request.parameters = Utf8ToWide(RestartParameters({state_.MainPath, virtualStoreFolder_}));
    // The restarted SkySwap finds the game from its working folder, as at every start.
    request.folder = Utf8ToWide(state_.MainPath);
    const unsigned long error = hooks_.restart(request);
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

}  // namespace skyswap
