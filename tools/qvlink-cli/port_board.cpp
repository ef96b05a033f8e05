#include "port_board.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "status_texts.h"
#include "terminal.h"

namespace qvlink::cli {
namespace {

// Often enough to follow a transfer, seldom enough that eight ports at full speed stay readable
// and cost next to nothing.
constexpr auto DRAW_INTERVAL = std::chrono::milliseconds(250);

}  // namespace

void PortBoard::Show(const StatusReport& report, int elapsedSeconds) {
    std::lock_guard lock(mutex_);
    status_ = report;
    elapsedSeconds_ = elapsedSeconds;
    statusUnshown_ = true;
    resultIsLatest_ = false;
}

void PortBoard::Tick(int elapsedSeconds) {
    std::lock_guard lock(mutex_);
    elapsedSeconds_ = elapsedSeconds;
}

void PortBoard::Announce(const std::string& line) {
    std::lock_guard lock(mutex_);
    announcements_.push_back(line);
    lastResult_ = line;
    resultIsLatest_ = true;
    // The status before a result is over; the next one is printed even if its text repeats.
    statusUnshown_ = false;
    lastPrintedStatus_.clear();
}

void PortBoard::ShowTally(const SessionTally& tally) {
    std::lock_guard lock(mutex_);
    tally_ = tally;
}

std::string PortBoard::TerminalLine(std::size_t portWidth) {
    std::lock_guard lock(mutex_);
    std::string line = port_;
    line.resize(std::max(portWidth, port_.size()) + 2, ' ');
    line += resultIsLatest_ ? lastResult_ : StatusWithClock(status_, elapsedSeconds_);
    line += "   completed " + std::to_string(tally_.completed) + "  failed " +
            std::to_string(tally_.failed);
    if (!resultIsLatest_ && !lastResult_.empty()) line += "   last: " + lastResult_;
    return line;
}

std::vector<std::string> PortBoard::TakeChanges() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    for (const std::string& announcement : announcements_)
        lines.push_back(port_ + ": " + announcement);
    announcements_.clear();
    if (statusUnshown_) {
        statusUnshown_ = false;
        const std::string text = StatusLineText(status_);
        if (text != lastPrintedStatus_) {
            lastPrintedStatus_ = text;
            lines.push_back(port_ + ": " + text);
        }
    }
    return lines;
}

BoardPrinter::BoardPrinter(std::vector<PortBoard*> boards, bool isTerminal)
    : boards_(std::move(boards)), isTerminal_(isTerminal) {
    for (const PortBoard* board : boards_) portWidth_ = std::max(portWidth_, board->Port().size());
}

BoardPrinter::~BoardPrinter() {
    Stop();
}

void BoardPrinter::Start() {
    thread_ = std::thread([this] { Loop(); });
}

void BoardPrinter::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BoardPrinter::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        const bool last = wake_.wait_for(lock, DRAW_INTERVAL, [this] { return stopping_; });
        Draw();
        if (last) return;
    }
}

void BoardPrinter::Draw() {
    std::string out;
    if (isTerminal_) {
        // Back to the first port's line, then every line rewritten and cut to the screen's width
        // so that none wraps and the next redraw lands on the same rows.
        if (drawnBefore_) out += "\x1b[" + std::to_string(boards_.size()) + "A";
        const std::size_t width = TerminalWidth();
        for (PortBoard* board : boards_) {
            std::string line = board->TerminalLine(portWidth_);
            if (width > 1 && line.size() >= width) line.resize(width - 1);
            out += "\r" + line + "\x1b[K\n";
        }
        drawnBefore_ = true;
    } else {
        for (PortBoard* board : boards_) {
            for (const std::string& line : board->TakeChanges()) out += line + "\n";
        }
    }
    if (out.empty()) return;
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
}

}  // namespace qvlink::cli
