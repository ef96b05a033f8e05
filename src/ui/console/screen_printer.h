// The one writer of stdout and stderr while ports run: it owns the terminal, and FormatDraw
// (screen_format.h) says what to show on it. The station's threads only hand it what happened
// (a copy under a short lock, no output); its own thread writes it, at most four times a second,
// and sleeps while there is nothing new to show: a clock on a terminal line moves it once a
// second, and only while a receiver is in contact. So a terminal that stops reading (Ctrl-S, a
// full pipe) holds up nothing but this thread: no transfer slows and a stop is taken at once. A
// stdout that is closed (its reader has gone) ends the display, not the run: it is said once on
// stderr, and nothing more goes to stdout.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "annotated_mutex.h"
#include "screen_format.h"
#include "station.h"
#include "station_totals.h"

namespace qvlink::cli {

// Where a printer's text goes. Abstract so that a test can read what a log gets; the real one
// is stdout and stderr (StdioSink).
class PrinterSink {
  public:
    virtual ~PrinterSink() = default;
    // False when the text could not be written: the reader has gone.
    virtual bool Out(const std::string& text) = 0;
    virtual void Err(const std::string& text) = 0;
};

class StdioSink final : public PrinterSink {
  public:
    bool Out(const std::string& text) override;
    void Err(const std::string& text) override;
};

class ScreenPrinter final : public station::StationObserver {
  public:
    using Mode = ScreenMode;
    // `station` and `sink` must outlive the printer. The board shows the ports that are open (or
    // wait for their devices) at Start, so it starts after the station's ports; lines name ports
    // added later too. Lines never asks the terminal for its size; the other modes need one on
    // stdout. `program` begins what the printer says on stderr; with `alwaysNamed`, Lines names
    // the port on every line even when there is one.
    ScreenPrinter(const station::Station& station, Mode mode, PrinterSink& sink,
                  std::string program = "qvlink-cli", bool alwaysNamed = false);
    ~ScreenPrinter() override;
    ScreenPrinter(const ScreenPrinter&) = delete;
    ScreenPrinter& operator=(const ScreenPrinter&) = delete;

    void Start();
    // Draws what is left and ends the printer's thread; waits for stdout to take it.
    void Stop();
    // Whether stdout was found closed; after Stop, so the summary can go to stderr instead.
    bool OutputClosed() const { return outputClosed_.load(); }

    // On the station's threads: each takes the lock for a copy and a wake, and never writes.
    void OnReport(std::size_t port, const StatusReport& report, int elapsedSeconds) override;
    void OnTick(std::size_t port, int elapsedSeconds) override;
    void OnResult(std::size_t port, UpgradeResult result) override;
    void OnNote(std::size_t port, const station::PortNote& note) override;
    void OnAwaitingPort(std::size_t port) override;

  private:
    void Push(ScreenEvent event);
    void Loop();
    void Draw(bool last);
    void Write(const ScreenText& text);
    void Out(const std::string& text);  // to stdout, until it is found closed

    const station::Station& station_;
    PrinterSink& sink_;
    const std::string program_;
    const bool onTerminal_;
    const bool showsClock_;           // a terminal mode: the time since contact is on a line
    std::vector<std::string> names_;  // every port's, as far as seen; the printer's thread only
    std::vector<std::size_t> shown_;  // the board's ports, from Start on
    ScreenState screen_;              // only the printer's thread uses it after Start
    std::chrono::steady_clock::time_point lastDraw_{};  // the printer's thread only
    std::atomic<bool> outputClosed_{false};             // written by the printer's thread only

    Mutex mutex_;
    std::condition_variable_any wake_;
    std::deque<ScreenEvent> events_ QV_GUARDED_BY(mutex_);
    bool clockMoved_ QV_GUARDED_BY(mutex_) = false;  // a shown clock moved on since the last draw
    StatusReport latest_ QV_GUARDED_BY(mutex_){STATUS_WAITING};  // OnePort: the status to redraw
    int elapsed_ QV_GUARDED_BY(mutex_) = -1;
    bool awaiting_ QV_GUARDED_BY(mutex_) = false;  // OnePort: waits for its device
    bool stopping_ QV_GUARDED_BY(mutex_) = false;
    std::thread thread_;
};

}  // namespace qvlink::cli
