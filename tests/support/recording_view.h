// A DialogView that records what the dialog shows, for tests of the dialog's behaviour.
// Calls handed to the window's thread wait in a queue until the test pumps them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dialog_view.h"

namespace qvlink::test {

struct ShownMessage {
    BoxKind kind;
    std::string text;
    std::string plainCaption;
    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};

class RecordingView final : public DialogView {
  public:
    std::string Title() const override { return title; }
    void SetTitle(const std::string& text, bool repaintNow) override;
    void SetStatusLine(const std::string& text) override { statusLines.push_back(text); }
    int ProgressPosition() const override { return progress; }
    void SetProgressPosition(int position) override;
    void SetElapsedText(const std::string& text) override { elapsed = text; }
    void SetResultLine(const std::string& text) override { resultLine = text; }
    void SetResultLineVisible(bool visible) override { resultLineVisible = visible; }
    void SetStartStopCaption(const std::string& caption) override { startStopCaption = caption; }
    void SetLockableControlsEnabled(bool enabled) override { lockablesEnabled = enabled; }
    void SetPortChoice(int portIndex) override { portChoice = portIndex; }
    bool ContinuousChecked() const override { return continuousChecked; }
    void StartTimer(TimerId id, int periodMs) override;
    void StopTimer(TimerId id) override { runningTimers.erase(id); }
    std::optional<std::string> ChooseFirmwareFile() override;
    void ShowMessage(BoxKind kind, const std::string& text,
                     const std::string& plainCaption) override {
        messages.push_back({kind, text, plainCaption});
    }
    void Close() override { closed = true; }
    void RunOnWindowThread(std::function<void()> call) override;

    // Runs the queued calls until `done` holds or `limit` passes; returns whether it held.
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds limit = std::chrono::seconds(30));
    std::string StatusLine() const { return statusLines.empty() ? "" : statusLines.back(); }

    std::string title;
    int titleWrites = 0;
    int titleRepaints = 0;
    std::vector<std::string> statusLines;
    int progress = 0;
    int progressWrites = 0;
    std::string elapsed;
    std::string resultLine;
    bool resultLineVisible = false;
    std::string startStopCaption = "Upgrade Software";
    bool lockablesEnabled = true;
    int portChoice = -1;
    bool continuousChecked = false;
    std::set<int> runningTimers;
    std::vector<std::pair<int, int>> timerStarts;
    std::optional<std::string> chosenFile;  // what the chooser answers
    int chooserShown = 0;
    std::vector<ShownMessage> messages;
    bool closed = false;

  private:
    std::mutex queueMutex_;
    std::condition_variable queuedCall_;
    std::deque<std::function<void()>> queued_;
};

}  // namespace qvlink::test
