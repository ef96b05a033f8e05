// What the dialog's behaviour needs of a window: its texts, progress, timers, the file
// chooser and the three kinds of message box. The Qt window implements it; tests record it.
// Every method is called on the window's thread, except RunOnWindowThread.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace qvlink {

enum class BoxKind {
    Dialog,       // owned by the dialog, caption "Quorvane Link 1.1", no icon
    Application,  // owned by the dialog, the program's name as caption, warning icon
    Plain,        // no owner, the caption given, no icon (used once the dialog has closed)
};

enum TimerId { BLINK_TIMER = 1, CLOCK_TIMER = 2 };
inline constexpr int BLINK_PERIOD_MS = 700;
inline constexpr int CLOCK_PERIOD_MS = 1000;

class DialogView {
  public:
    virtual ~DialogView() = default;

    // Each setter repaints its control at once unless it says otherwise.
    virtual std::string Title() const = 0;
    virtual void SetTitle(const std::string& title, bool repaintNow) = 0;
    virtual void SetStatusLine(const std::string& text) = 0;
    virtual int ProgressPosition() const = 0;
    virtual void SetProgressPosition(int position) = 0;
    virtual void SetElapsedText(const std::string& text) = 0;
    virtual void SetResultLine(const std::string& text) = 0;
    virtual void SetResultLineVisible(bool visible) = 0;
    virtual void SetStartStopCaption(const std::string& caption) = 0;
    // The check box and the eight port choices, enabled or disabled together.
    virtual void SetLockableControlsEnabled(bool enabled) = 0;
    // Checks the radio button of port index 0..7, or none for any other value.
    virtual void SetPortChoice(int portIndex) = 0;
    virtual bool ContinuousChecked() const = 0;

    // Timer ticks come back as UpgradeDialog::OnTimer(id) on the window's thread.
    virtual void StartTimer(TimerId id, int periodMs) = 0;
    virtual void StopTimer(TimerId id) = 0;

    // The firmware chooser: initial name "quorvane.bin", filter "quorvane upgrade file(*.bin)",
    // title "open quorvane upgrade file(*.bin)". The full path, or nullopt when not confirmed.
    virtual std::optional<std::string> ChooseFirmwareFile() = 0;
    // A modal box with one OK button; returns when it is dismissed.
    virtual void ShowMessage(BoxKind kind, const std::string& text,
                             const std::string& plainCaption = {}) = 0;
    // Ends the dialog.
    virtual void Close() = 0;

    // Runs `call` later on the window's thread, in the order of the calls, without waiting
    // for it. Safe from any thread.
    virtual void RunOnWindowThread(std::function<void()> call) = 0;
};

}  // namespace qvlink
