// The operator's dialog, free of any toolkit: port choice, start and stop, continuous mode,
// the status display with its blink and clock timers, and the result of every run. Its
// UpgradeSession holds the image, the port and the runs and decides what follows a result;
// the dialog turns the operator's events into session calls and shows the runs' reports as
// their UpgradeHost. It reaches the screen only through a DialogView; everything but the
// UpgradeHost calls runs on the window's thread.
#pragma once

#include <string>

#include "dialog_view.h"
#include "upgrade_host.h"
#include "upgrade_session.h"

namespace qvlink {

inline constexpr const char* START_CAPTION = "Upgrade Software";
inline constexpr const char* STOP_CAPTION = "Stop";
inline constexpr int STOP_WAIT_STEP_MS = 100;

// The box a refused firmware file is shown in: the application's box for a file that is no
// firmware at all (Foreign) and for a want of memory (Exhausted), the dialog's box for the rest.
BoxKind BoxForRefusal(StatusKind kind);

class UpgradeDialog final : public UpgradeHost {
  public:
    // `selectedPort` is the settings' port index; the dialog reads and writes it in place, and
    // it must outlive the dialog. `opener` gives the session its port.
    explicit UpgradeDialog(int& selectedPort, LineOpener opener = OpenSerialPort)
        : selectedPort_(selectedPort), session_(*this, std::move(opener)) {}
    ~UpgradeDialog() override;
    UpgradeDialog(const UpgradeDialog&) = delete;
    UpgradeDialog& operator=(const UpgradeDialog&) = delete;

    // Connects the window; `view` must live until the dialog has closed.
    void Attach(DialogView& view) { view_ = &view; }

    void OnInitDialog();
    void OnPortRadio(int portIndex) { selectedPort_ = portIndex; }
    // Starts a run (chooser, load, port) when idle; when a run is active, asks it to stop and
    // holds this thread, in steps of 100 ms, until the worker is idle.
    void OnStartStop();
    void OnContinuousCheck();
    void OnTimer(int id);
    // Exit, Escape and the close box: stops a running worker first, then closes.
    void OnCancel();
    void OnOK() {}

    // Steps of a start, public for the window and for tests.
    int LoadFirmwareFile();
    int StartRun();
    void OnUpgradeDone(UpgradeResult code);
    // Applies a status report to the title, status line and progress bar.
    void ApplyStatus(const StatusReport& report);

    // UpgradeHost, called on the worker thread; each hands its work to the window's thread.
    void ReportStatus(const StatusReport& report) override;
    void NotifyConnected() override;
    void PostResult(UpgradeResult result) override;

    UpgradeSession& Session() { return session_; }
    bool Running() const { return session_.Active(); }

  private:
    void StartBlinkTimer() { view_->StartTimer(BLINK_TIMER, BLINK_PERIOD_MS); }
    void StopBlinkTimer() { view_->StopTimer(BLINK_TIMER); }
    void StartClockTimer() { view_->StartTimer(CLOCK_TIMER, CLOCK_PERIOD_MS); }
    void StopClockTimer() { view_->StopTimer(CLOCK_TIMER); }
    void ResetProgress();
    void ShowIdle(const RunOutcome& outcome);

    int& selectedPort_;
    DialogView* view_ = nullptr;
    UpgradeSession session_;
    int portChoice_ = -1;
    bool closed_ = false;  // after OnCancel, late hand-overs from a run are dropped
    int blinkPhase_ = 0;
    int clockBusy_ = 0;
};

}  // namespace qvlink
