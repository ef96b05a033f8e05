// The one writer of stdout and stderr while ports run. The station's threads only hand it what
// happened (a copy under a short lock, no output); its own thread writes it, at most four times
// a second, and sleeps while there is nothing new to show: a clock on a terminal line moves it
// once a second, and only while a receiver is in contact. So a terminal that stops reading
// (Ctrl-S, a full pipe) holds up nothing but this thread: no transfer slows and a stop is taken
// at once. A stdout that is closed (its reader has gone) ends the display, not the run: it is
// said once on stderr, and nothing more goes to stdout. Three ways to show a run:
// - Lines (stdout is no terminal): every change a line of its own; with several ports each
//   starts with the port ("COM3: Upgrade Completed") and only a port's latest status is shown.
// - OnePort on a terminal: one status line rewritten in place, each result on a line that stays.
// - Board on a terminal: one line per port, redrawn in place; it falls back to Lines when the
//   terminal has fewer rows than the board needs.
// Every line on a terminal is cut to its width; port messages are printed above the board.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "station.h"

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
    enum class Mode { Lines, OnePort, Board };
    // `station` and `sink` must outlive the printer. The board shows the ports that are open at
    // Start.
    ScreenPrinter(const station::Station& station, Mode mode, PrinterSink& sink);
    ~ScreenPrinter() override;
    ScreenPrinter(const ScreenPrinter&) = delete;
    ScreenPrinter& operator=(const ScreenPrinter&) = delete;

    void Start();
    // Draws what is left and ends the printer's thread; waits for stdout to take it.
    void Stop();
    // Whether stdout was found closed; after Stop, so the summary can go to stderr instead.
    bool OutputClosed() const { return outputClosed_.load(); }

    void OnReport(std::size_t port, const StatusReport& report, int elapsedSeconds) override;
    void OnTick(std::size_t port, int elapsedSeconds) override;
    void OnResult(std::size_t port, UpgradeResult result, const std::string& label) override;
    void OnMessage(std::size_t port, const std::string& text) override;

  private:
    enum class Kind { Status, Result, Message };
    struct Event {
        std::size_t port;
        Kind kind;
        std::string text;
    };

    void Push(Event event);
    void Loop();
    void Draw();
    void Out(const std::string& text);  // to stdout, until it is found closed
    std::string DrawLines(const std::vector<Event>& events);
    std::string DrawOnePort(const std::vector<Event>& events);
    std::string DrawBoard(const std::vector<Event>& events);
    std::string Fit(std::string line) const;          // cut to the terminal's width
    std::string Line(const std::string& text) const;  // a whole line, cut on a terminal

    const station::Station& station_;
    PrinterSink& sink_;
    Mode mode_;  // only the printer's thread changes it (a board that no longer fits)
    const bool onTerminal_;
    const bool showsClock_;                // a terminal mode: the time since contact is on a line
    std::vector<std::size_t> shown_;       // the board's ports
    std::vector<std::string> lastStatus_;  // per port, the status text last printed
    std::size_t columns_ = 80;
    std::size_t drawnRows_ = 0;  // board rows on screen, to go back over
    bool statusShown_ = false;   // OnePort: a status line is on screen, without its newline
    std::chrono::steady_clock::time_point lastDraw_{};
    std::atomic<bool> outputClosed_{false};  // written by the printer's thread only

    std::mutex mutex_;  // guards what follows
    std::condition_variable wake_;
    std::deque<Event> events_;
    bool clockMoved_ = false;              // a shown clock moved on since the last draw
    StatusReport latest_{STATUS_WAITING};  // OnePort: the status to redraw
    int elapsed_ = -1;
    bool stopping_ = false;
    std::thread thread_;
};

// The status line for `report` followed by the time since contact, when there was contact.
std::string StatusWithClock(const StatusReport& report, int elapsedSeconds);

}  // namespace qvlink::cli
