// The one writer of stdout and stderr while ports run. The station's threads only hand it what
// happened (a copy under a short lock, no output); its own thread writes a few times a second.
// So a terminal that stops reading (Ctrl-S, a full pipe) holds up nothing but this thread: no
// transfer slows and a stop is taken at once. Three ways to show a run:
// - Lines (stdout is no terminal): every change a line of its own; with several ports each
//   starts with the port ("COM3: Upgrade Completed") and only a port's latest status is shown.
// - OnePort on a terminal: one status line rewritten in place, each result on a line that stays.
// - Board on a terminal: one line per port, redrawn in place; it falls back to Lines when the
//   terminal has fewer rows than the board needs.
// Every line on a terminal is cut to its width; port messages are printed above the board.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "station.h"

namespace qvlink::cli {

class ScreenPrinter final : public station::StationObserver {
  public:
    enum class Mode { Lines, OnePort, Board };
    // `station` must outlive the printer. The board shows the ports that are open at Start.
    ScreenPrinter(const station::Station& station, Mode mode);
    ~ScreenPrinter() override;
    ScreenPrinter(const ScreenPrinter&) = delete;
    ScreenPrinter& operator=(const ScreenPrinter&) = delete;

    void Start();
    // Draws what is left and ends the printer's thread; waits for stdout to take it.
    void Stop();

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
    std::string DrawLines(const std::vector<Event>& events);
    std::string DrawOnePort(const std::vector<Event>& events);
    std::string DrawBoard(const std::vector<Event>& events);
    std::string Fit(std::string line) const;          // cut to the terminal's width
    std::string Line(const std::string& text) const;  // a whole line, cut on a terminal

    const station::Station& station_;
    Mode mode_;  // only the printer's thread changes it (a board that no longer fits)
    const bool onTerminal_;
    std::vector<std::size_t> shown_;       // the board's ports
    std::vector<std::string> lastStatus_;  // per port, the status text last printed
    std::size_t columns_ = 80;
    std::size_t drawnRows_ = 0;  // board rows on screen, to go back over
    bool statusShown_ = false;   // OnePort: a status line is on screen, without its newline

    std::mutex mutex_;  // guards what follows
    std::condition_variable wake_;
    std::deque<Event> events_;
    StatusReport latest_{STATUS_WAITING};  // OnePort: the status to redraw
    int elapsed_ = -1;
    bool stopping_ = false;
    std::thread thread_;
};

// The status line for `report` followed by the time since contact, when there was contact.
std::string StatusWithClock(const StatusReport& report, int elapsedSeconds);

}  // namespace qvlink::cli
