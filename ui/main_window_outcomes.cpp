// MainWindow and the library session: every button and a restart's request run through it, and
// the window shows the outcome (the page, the title, the messages) and, where the session says a
// restart as administrator would help, offers it.
#include "main_window.h"

#include <utility>

#include "elevation_win.h"
#include "messages.h"
#include "paging.h"
#include "text_win.h"
#include "window_messages.h"

namespace skyswap {

int MainWindow::Say(const std::string& text, UINT type) {
    return hooks_.messageBox(hwnd_, Utf8ToWide(text), ProgramTitle(), type);
}

SessionOutcome MainWindow::RunLibraryRequest(const LibraryRequest& request) {
    // A set being added would race a sky kept as a set for its number.
    if (!FinishAdding()) {
        return {};  // restarted as administrator
    }
    // A recognition under way would race the transfer; the transfer checks what the game holds.
    recognizer_.Stop();
    const SessionOutcome outcome = session_.Run(request);
    ShowOutcome(outcome);
    if (hwnd_ == nullptr) {
        return outcome;  // restarted as administrator
    }
    if (!knowledge_.installed) {
        StartRecognition();  // the one stopped above, or files were only partly replaced
    }
    ShowInstalledSky();
    return outcome;
}

void MainWindow::ShowOutcome(const SessionOutcome& outcome) {
    if (outcome.setsMade && outcome.added.empty()) {
        ShowPage(state_, *this);  // the kept sets may belong on this page
    }
    const bool ask = !outcome.restartQuestion.empty();
    // Asked, the question takes the place of the last note, the refusal it puts as a question.
    const std::size_t shown = outcome.notes.size() - (ask && !outcome.notes.empty() ? 1 : 0);
    for (std::size_t i = 0; i < shown && hwnd_ != nullptr; ++i) {
        const SessionNote& note = outcome.notes[i];
        Say(note.text,
            MB_OK | (note.severity == Severity::Information ? MB_ICONINFORMATION : MB_ICONWARNING));
    }
    if (ask && hwnd_ != nullptr) {
        OfferRestartAsAdministrator(outcome.restartQuestion, outcome.restart);
    }
}

void MainWindow::OfferRestartAsAdministrator(const std::string& question, const RestartPlan& plan) {
    if (Say(question, MB_YESNO | MB_ICONWARNING) != IDYES) {
        return;
    }
    RestartRequest restart;
    restart.owner = hwnd_;
    restart.verb = L"runas";
    restart.file = Utf8ToWide(plan.program);
    restart.parameters = Utf8ToWide(plan.parameters);
    // The restarted SkySwap finds the game from its working folder, as at every start.
    restart.folder = Utf8ToWide(plan.folder);
    const unsigned long error = hooks_.restart(restart);
    if (error == ERROR_SUCCESS) {
        DestroyWindow(hwnd_);  // the new SkySwap takes over the library
        return;
    }
    if (error == ERROR_CANCELLED) {
        return;  // the user said no to Windows' prompt and knows it
    }
    Say("SkySwap could not be restarted as administrator: " + SystemMessage(error),
        MB_OK | MB_ICONWARNING);
}

void MainWindow::CarryOnAfterRestart() {
    const LibraryRequest request = std::exchange(resume_, {});
    // Any program can start SkySwap as administrator with a request of its choosing: the user
    // says yes to it first.
    if (request.empty() || Say(ResumeQuestion(request, gameView_.Mirror().value_or(std::string())),
                               MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    if (request.action == LibraryAction::AddDownloads) {
        AddDownloadsFrom(request.paths);  // which tells how it went once it is done
        return;
    }
    const SessionOutcome outcome = RunLibraryRequest(request);
    // A failure has been shown already; the user of a restart did not see the button pressed,
    // so the success is told too.
    if (outcome.succeeded && !outcome.done.empty() && hwnd_ != nullptr) {
        Say(outcome.done, MB_OK | MB_ICONINFORMATION);
    }
}

void MainWindow::InstallationFailed() {
    Say(kInstallationMessage, MB_OK);
    DestroyWindow(hwnd_);
}

void MainWindow::StartRecognition() {
    // The first page is painted before the worker competes with it for the disk.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    recognizer_.Start(hwnd_, kRecognitionDoneMessage, gameView_, SnapshotOf(state_));
}

void MainWindow::OnRecognitionDone() {
    if (std::optional<Recognition> result = recognizer_.TakeResult()) {
        knowledge_.Learn(*result);
        ShowInstalledSky();
    }
}

bool MainWindow::SlotShowsInstalledSet(int element) const {
    return element >= 0 && element < kSlotCount && knowledge_.installed &&
           knowledge_.installed->source == SkySource::Set &&
           knowledge_.installed->set == state_.pageFirst + element &&
           knowledge_.installed->set < state_.setCount;
}

void MainWindow::ShowInstalledSky() {
    if (hwnd_ == nullptr) {
        return;
    }
    const std::string description = InstalledSetDescription(state_, Files(), knowledge_.installed);
    SetWindowTextW(hwnd_, Utf8ToWide(InstalledTitle(knowledge_.installed, description)).c_str());
    for (int slot = 0; slot < kSlotCount; ++slot) {
        grid_.SetMarked(slot, SlotShowsInstalledSet(slot));
    }
}

}  // namespace skyswap
