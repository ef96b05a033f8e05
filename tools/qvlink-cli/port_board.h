// The display of several ports at once. Each port's runs write into its own board, which only
// keeps the latest state (a copy under a short lock, no drawing), so the transfers never wait
// for the screen. A printer thread draws every board a few times a second: on a terminal one
// line per port, redrawn in place; elsewhere one line per change, starting with the port.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "progress_display.h"

namespace qvlink::cli {

class PortBoard final : public ProgressDisplay {
  public:
    explicit PortBoard(std::string port) : port_(std::move(port)) {}
    const std::string& Port() const { return port_; }

    void Show(const StatusReport& report, int elapsedSeconds) override;
    void Tick(int elapsedSeconds) override;
    void Announce(const std::string& line) override;
    void ShowTally(const SessionTally& tally) override;

    // The port's line on a terminal: status, time since contact, counts and the last result.
    std::string TerminalLine(std::size_t portWidth);
    // The lines that tell what changed since the last call, oldest first, each with the port.
    std::vector<std::string> TakeChanges();

  private:
    const std::string port_;
    std::mutex mutex_;
    StatusReport status_{STATUS_WAITING};
    int elapsedSeconds_ = -1;
    bool statusUnshown_ = false;  // a status newer than every announcement, not yet printed
    std::string lastPrintedStatus_;
    std::deque<std::string> announcements_;  // results not yet printed, in order
    std::string lastResult_;
    bool resultIsLatest_ = false;  // nothing was shown since the last result
    SessionTally tally_;
};

class BoardPrinter {
  public:
    // Draws `boards` (which must outlive the printer) in the order given, from Start on.
    BoardPrinter(std::vector<PortBoard*> boards, bool isTerminal);
    ~BoardPrinter();
    BoardPrinter(const BoardPrinter&) = delete;
    BoardPrinter& operator=(const BoardPrinter&) = delete;

    void Start();
    // Draws a last time and ends the printer thread; what it printed stays above the cursor.
    void Stop();

  private:
    void Loop();
    void Draw();

    std::vector<PortBoard*> boards_;
    const bool isTerminal_;
    std::size_t portWidth_ = 0;
    bool drawnBefore_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace qvlink::cli
