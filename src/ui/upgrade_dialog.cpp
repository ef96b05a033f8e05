#include "upgrade_dialog.h"

#include "file_path.h"
#include "status_texts.h"

namespace qvlink {

BoxKind BoxForRefusal(StatusKind kind) {
    return kind == StatusKind::Foreign || kind == StatusKind::Exhausted ? BoxKind::Application
                                                                        : BoxKind::Dialog;
}

UpgradeDialog::~UpgradeDialog() {
    session_.Shutdown();
}

void UpgradeDialog::OnInitDialog() {
    ApplyStatus({STATUS_READY, 0, -1, -1});
    portChoice_ = selectedPort_;
    view_->SetPortChoice(portChoice_);
}

void UpgradeDialog::ResetProgress() {
    if (view_->ProgressPosition() != 0) view_->SetProgressPosition(0);
}

void UpgradeDialog::ApplyStatus(const StatusReport& report) {
    switch (report.kind) {
        case STATUS_READY:
            ResetProgress();
            view_->SetTitle(ReadyTitle(), true);
            break;
        case STATUS_WAITING:
            ResetProgress();
            if (view_->Title() != WAITING_TITLE) view_->SetTitle(WAITING_TITLE, true);
            break;
        case STATUS_TRANSFER:
        case STATUS_BURN:
            view_->SetProgressPosition(report.percentage);
            view_->SetTitle(StatusTitle(report), false);
            break;
        default:
            break;
    }
    view_->SetStatusLine(StatusLineText(report));
}

void UpgradeDialog::OnStartStop() {
    // While running, whether the run is still in progress or its result is on its way, the
    // stop holds: the session goes idle after that result whatever it is.
    if (session_.Active()) {
        session_.RequestStop();
        if (session_.RunInProgress()) session_.WaitUntilRunEnds(STOP_WAIT_STEP_MS);
        return;
    }
    if (LoadFirmwareFile() == 0) return;
    ApplyStatus({STATUS_WAITING, 0, -1, -1});
    StartBlinkTimer();
    view_->SetStartStopCaption(STOP_CAPTION);
    view_->SetLockableControlsEnabled(false);
}

int UpgradeDialog::LoadFirmwareFile() {
    const auto path = view_->ChooseFirmwareFile();
    if (!path) return 0;
    const Status loaded = session_.LoadFirmware(PathFromUtf8(*path));
    if (!loaded.ok()) {
        view_->ShowMessage(BoxForRefusal(loaded.kind()), loaded.message());
        return 0;
    }
    return StartRun();
}

int UpgradeDialog::StartRun() {
    if (session_.Image().state != ImageState::ValidPayload) return 0;
    // One-based in 64 bits: any stored index, 0x7FFFFFFF included, names its port.
    const Status opening = session_.OpenPort(std::int64_t{selectedPort_} + 1);
    if (!opening.ok()) {
        view_->ShowMessage(BoxKind::Dialog, opening.message());
        return 0;
    }
    return session_.Start().ok() ? 1 : 0;
}

void UpgradeDialog::OnUpgradeDone(UpgradeResult code) {
    if (closed_) return;
    StopBlinkTimer();
    StopClockTimer();
    const RunOutcome outcome = session_.Finish(code);
    if (!outcome.Restarted()) {
        ShowIdle(outcome);
        return;
    }
    view_->SetResultLine(outcome.text);
    ApplyStatus({STATUS_WAITING, 0, -1, -1});
    StartBlinkTimer();
}

void UpgradeDialog::ShowIdle(const RunOutcome& outcome) {
    ApplyStatus({STATUS_READY, 0, -1, -1});
    view_->SetStartStopCaption(START_CAPTION);
    view_->SetLockableControlsEnabled(true);
    if (!outcome.text.empty() && outcome.result != USER_ABORT)
        view_->ShowMessage(BoxKind::Application, outcome.text);
}

void UpgradeDialog::OnContinuousCheck() {
    session_.SetContinuous(view_->ContinuousChecked());
    if (session_.Continuous()) {
        view_->SetResultLineVisible(true);
        view_->SetResultLine("");
    } else {
        view_->SetResultLineVisible(false);
    }
}

void UpgradeDialog::OnTimer(int id) {
    if (id == BLINK_TIMER) {
        if (blinkPhase_ != 0)
            ApplyStatus({STATUS_WAITING, 0, -1, -1});
        else
            view_->SetStatusLine("");
        blinkPhase_ = blinkPhase_ == 0 ? 1 : 0;
    } else if (id == CLOCK_TIMER) {
        const int seconds = session_.Flags().elapsedSeconds.fetch_add(1) + 1;
        if (clockBusy_ == 0) {
            clockBusy_ = 1;
            view_->SetElapsedText(ElapsedText(seconds));
            clockBusy_ = 0;
        }
    }
}

void UpgradeDialog::OnCancel() {
    StopBlinkTimer();
    StopClockTimer();
    if (session_.RunInProgress()) OnStartStop();
    session_.Shutdown();
    closed_ = true;
    view_->Close();
}

void UpgradeDialog::ReportStatus(const StatusReport& report) {
    view_->RunOnWindowThread([this, report] {
        if (!closed_) ApplyStatus(report);
    });
}

void UpgradeDialog::NotifyConnected() {
    view_->RunOnWindowThread([this] {
        if (closed_) return;
        StopBlinkTimer();
        StartClockTimer();
        if (session_.Continuous()) view_->SetResultLine("");
    });
}

void UpgradeDialog::PostResult(UpgradeResult result) {
    view_->RunOnWindowThread([this, result] { OnUpgradeDone(result); });
}

}  // namespace qvlink
