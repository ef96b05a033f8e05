// The operator's window on Windows: dialog template 140 from the program's resources, run
// modally, wired to UpgradeDialog, and the DialogView the dialog draws through. Timers are the
// window's own timers 1 and 2. Calls from the worker are queued and handed to the window's
// thread by a posted message; the worker never waits for that thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

#include "dialog_view.h"

namespace qvlink {

class UpgradeDialog;

class Win32DialogWindow final : public DialogView {
  public:
    // `dialog` must outlive the window; `instance` holds the template and the icon.
    Win32DialogWindow(UpgradeDialog& dialog, HINSTANCE instance);
    Win32DialogWindow(const Win32DialogWindow&) = delete;
    Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

    // Shows the dialog and returns once it has closed (through Exit, Escape or the close box).
    void RunModal();

    // DialogView
    std::string Title() const override;
    void SetTitle(const std::string& title, bool repaintNow) override;
    void SetStatusLine(const std::string& text) override;
    int ProgressPosition() const override;
    void SetProgressPosition(int position) override;
    void SetElapsedText(const std::string& text) override;
    void SetResultLine(const std::string& text) override;
    void SetResultLineVisible(bool visible) override;
    void SetStartStopCaption(const std::string& caption) override;
    void SetLockableControlsEnabled(bool enabled) override;
    void SetPortChoice(int portIndex) override;
    bool ContinuousChecked() const override;
    void StartTimer(TimerId id, int periodMs) override;
    void StopTimer(TimerId id) override;
    std::optional<std::string> ChooseFirmwareFile() override;
    void ShowMessage(BoxKind kind, const std::string& text,
                     const std::string& plainCaption) override;
    void Close() override;
    void RunOnWindowThread(std::function<void()> call) override;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND window);
    void OnCommand(int id, int code);
    // The id of the push button that has the keyboard focus, or 0.
    int FocusedPushButton() const;
    void RunQueuedCalls();
    void SetControlText(int id, const std::string& text);
    HWND Control(int id) const { return GetDlgItem(window_, id); }

    UpgradeDialog& dialog_;
    HINSTANCE instance_;
    std::atomic<HWND> window_{nullptr};
    std::mutex callsMutex_;
    std::deque<std::function<void()>> calls_;  // guarded by callsMutex_
    bool callsPosted_ = false;                 // guarded by callsMutex_
};

}  // namespace qvlink
