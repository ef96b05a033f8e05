#include "upgrade_dialog.h"

#include <chrono>
#include <thread>

#include "firmware_loader.h"
#include "status_texts.h"

namespace qvlink {
namespace {

constexpr int LINK_BAUD = 115200;

BoxKind BoxFor(MessageChannel channel) {
    return channel == MessageChannel::Application ? BoxKind::Application : BoxKind::Dialog;
}

}  // namespace

UpgradeDialog::~UpgradeDialog() {
    flags_.abortRequested.store(1);
    worker_.Join();
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
    if (flags_.workerIdle.load() == 0) {
        flags_.abortRequested.store(1);
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(STOP_WAIT_STEP_MS));
        } while (flags_.workerIdle.load() == 0);
        return;
    }
    // The run has ended but its result is still on its way: the operator's stop then means
    // that no next run starts after it.
    if (running_) {
        stopPending_ = true;
        return;
    }
    if (LoadFirmwareFile() == 0) return;
    running_ = true;
    ApplyStatus({STATUS_WAITING, 0, -1, -1});
    StartBlinkTimer();
    view_->SetStartStopCaption(STOP_CAPTION);
    view_->SetLockableControlsEnabled(false);
}

int UpgradeDialog::LoadFirmwareFile() {
    const auto path = view_->ChooseFirmwareFile();
    if (!path) return 0;
    const LoadResult loaded = qvlink::LoadFirmwareFile(*path, image_);
    if (!loaded.ok) {
        view_->ShowMessage(BoxFor(loaded.channel), loaded.message);
        return 0;
    }
    return StartRun();
}

int UpgradeDialog::StartRun() {
    if (image_.state != ImageState::ValidPayload) return 0;
    if (port_.Open(selectedPort_ + 1, LINK_BAUD) == 0) {
        view_->ShowMessage(BoxKind::Dialog,
                           "open port" + std::to_string(selectedPort_ + 1) + " error!");
        return 0;
    }
    port_.SetBinaryMode(1);
    if (!worker_.Start(*this)) {
        port_.Close();
        return 0;
    }
    return 1;
}

void UpgradeDialog::OnUpgradeDone(int code) {
    if (closed_) return;
    StopBlinkTimer();
    StopClockTimer();
    const bool continuous = ContinuousMode();
    const std::string text = ResultText(code, continuous);
    if (stopPending_ || !RestartsAfter(code, continuous)) {
        GoIdle(text, code);
        return;
    }
    view_->SetResultLine(text);
    if (!worker_.Start(*this)) {
        GoIdle(text, code);
        return;
    }
    ApplyStatus({STATUS_WAITING, 0, -1, -1});
    StartBlinkTimer();
}

void UpgradeDialog::GoIdle(const std::string& text, int code) {
    worker_.Join();
    port_.Close();
    running_ = false;
    stopPending_ = false;
    ApplyStatus({STATUS_READY, 0, -1, -1});
    view_->SetStartStopCaption(START_CAPTION);
    view_->SetLockableControlsEnabled(true);
    if (!text.empty() && code != USER_ABORT) view_->ShowMessage(BoxKind::Application, text);
}

void UpgradeDialog::OnContinuousCheck() {
    continuousMode_.store(view_->ContinuousChecked() ? 1 : 0);
    if (ContinuousMode()) {
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
        const int seconds = flags_.elapsedSeconds.fetch_add(1) + 1;
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
    if (flags_.workerIdle.load() == 0) OnStartStop();
    worker_.Join();
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
        if (ContinuousMode()) view_->SetResultLine("");
    });
}

void UpgradeDialog::PostResult(int result) {
    view_->RunOnWindowThread([this, result] { OnUpgradeDone(result); });
}

}  // namespace qvlink
