#include "screen_printer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "status_texts.h"
#include "terminal.h"

namespace qvlink::cli {
namespace {

// Often enough to follow a transfer, seldom enough that many ports at full speed stay readable
// and cost next to nothing.
constexpr auto DRAW_INTERVAL = std::chrono::milliseconds(250);
// A clock that shows whole seconds needs no more.
constexpr auto CLOCK_INTERVAL = std::chrono::seconds(1);
// Status lines waiting for a stalled stdout beyond this many are dropped; results never are.
constexpr std::size_t MAX_QUEUED = 10000;

bool Write(std::FILE* stream, const std::string& text) {
    if (text.empty()) return true;
    const bool written = std::fputs(text.c_str(), stream) >= 0;
    return std::fflush(stream) == 0 && written;
}

}  // namespace

bool StdioSink::Out(const std::string& text) {
    return Write(stdout, text);
}

void StdioSink::Err(const std::string& text) {
    Write(stderr, text);
}

std::string StatusWithClock(const StatusReport& report, int elapsedSeconds) {
    std::string text = StatusLineText(report);
    if (elapsedSeconds >= 0) text.append("   ").append(ElapsedText(elapsedSeconds));
    return text;
}

ScreenPrinter::ScreenPrinter(const station::Station& station, Mode mode, PrinterSink& sink)
    : station_(station),
      sink_(sink),
      mode_(mode),
      onTerminal_(mode != Mode::Lines),
      showsClock_(mode != Mode::Lines),
      lastStatus_(station.PortCount()) {}

ScreenPrinter::~ScreenPrinter() {
    Stop();
}

void ScreenPrinter::Start() {
    for (std::size_t i = 0; i < station_.PortCount(); ++i) {
        if (station_.Snapshot(i).activity != station::PortActivity::Closed) shown_.push_back(i);
    }
    thread_ = std::thread([this] { Loop(); });
}

void ScreenPrinter::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ScreenPrinter::Push(Event event) {
    bool wake;
    {
        std::lock_guard lock(mutex_);
        if (event.kind == Kind::Status && events_.size() >= MAX_QUEUED) return;
        wake = events_.empty() && !clockMoved_;  // else the printer knows there is work
        events_.push_back(std::move(event));
    }
    if (wake) wake_.notify_all();
}

void ScreenPrinter::OnReport(std::size_t port, const StatusReport& report, int elapsedSeconds) {
    {
        std::lock_guard lock(mutex_);
        latest_ = report;
        elapsed_ = elapsedSeconds;
    }
    Push({port, Kind::Status, StatusLineText(report)});
}

void ScreenPrinter::OnTick(std::size_t, int elapsedSeconds) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        elapsed_ = elapsedSeconds;
        if (showsClock_) {
            wake = events_.empty() && !clockMoved_;
            clockMoved_ = true;
        }
    }
    if (wake) wake_.notify_all();
}

void ScreenPrinter::OnResult(std::size_t port, UpgradeResult, const std::string& label) {
    Push({port, Kind::Result, label});
}

void ScreenPrinter::OnMessage(std::size_t port, const std::string& text) {
    Push({port, Kind::Message, text});
}

void ScreenPrinter::Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // Asleep until there is something to show.
        wake_.wait(lock, [this] { return stopping_ || !events_.empty() || clockMoved_; });
        // Then gather what else comes until the next draw is due: a quarter second after the
        // last for news, a second for a clock alone.
        while (!stopping_) {
            const bool news = !events_.empty();
            const auto due = lastDraw_ + (news ? DRAW_INTERVAL : CLOCK_INTERVAL);
            if (std::chrono::steady_clock::now() >= due) break;
            wake_.wait_until(lock, due,
                             [this, news] { return stopping_ || news != !events_.empty(); });
        }
        const bool last = stopping_;
        clockMoved_ = false;
        lock.unlock();
        Draw();
        lastDraw_ = std::chrono::steady_clock::now();
        lock.lock();
        if (last) return;
    }
}

void ScreenPrinter::Out(const std::string& text) {
    if (text.empty() || outputClosed_.load()) return;
    if (sink_.Out(text)) return;
    outputClosed_.store(true);
    sink_.Err(
        "qvlink-cli: the output was closed: nothing more is shown; the run goes on "
        "(Ctrl-C stops it)\n");
}

void ScreenPrinter::Draw() {
    std::vector<Event> events;
    {
        std::lock_guard lock(mutex_);
        events.assign(std::make_move_iterator(events_.begin()),
                      std::make_move_iterator(events_.end()));
        events_.clear();
    }
    std::string out;
    if (onTerminal_) columns_ = StdoutTerminalSize().columns;
    if (mode_ == Mode::Board && shown_.size() + 1 > StdoutTerminalSize().rows) {
        // More ports than rows: a board would scroll on every redraw.
        mode_ = Mode::Lines;
        std::string notice = std::to_string(shown_.size());
        notice.append(" ports do not fit the terminal: one line per change from here on");
        out = Line(notice);
    }
    if (mode_ == Mode::Lines)
        out += DrawLines(events);
    else if (mode_ == Mode::OnePort)
        out = DrawOnePort(events);
    else
        out = DrawBoard(events);
    Out(out);
}

std::string ScreenPrinter::DrawLines(const std::vector<Event>& events) {
    const bool several = station_.PortCount() > 1;
    std::string out;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const Event& event = events[i];
        const std::string prefix = several ? station_.Snapshot(event.port).port + ": " : "";
        if (event.kind == Kind::Message) {
            Out(out);
            out.clear();
            sink_.Err("qvlink-cli: " + prefix + event.text + "\n");
            continue;
        }
        if (event.kind == Kind::Result) {
            lastStatus_[event.port].clear();  // the next status is shown even if it repeats
            out += Line(prefix + event.text);
            continue;
        }
        // With several ports only a port's latest status is worth a line.
        if (several && std::any_of(events.begin() + static_cast<long>(i) + 1, events.end(),
                                   [&](const Event& later) {
                                       return later.port == event.port &&
                                              later.kind != Kind::Message;
                                   }))
            continue;
        if (event.text == lastStatus_[event.port]) continue;
        lastStatus_[event.port] = event.text;
        out += Line(prefix + event.text);
    }
    return out;
}

std::string ScreenPrinter::Line(const std::string& text) const {
    return (onTerminal_ ? Fit(text) : text) + "\n";
}

std::string ScreenPrinter::Fit(std::string line) const {
    if (columns_ > 1 && line.size() >= columns_) line.resize(columns_ - 1);
    return line;
}

std::string ScreenPrinter::DrawOnePort(const std::vector<Event>& events) {
    std::string out;
    for (const Event& event : events) {
        if (event.kind == Kind::Status) continue;
        // A result or a message takes the status line's place and stays.
        out += "\r\x1b[K";
        if (event.kind == Kind::Result) {
            out += Fit(event.text) + "\n";
        } else {
            Out(out);
            out.clear();
            sink_.Err("qvlink-cli: " + event.text + "\n");
        }
        statusShown_ = false;
    }
    StatusReport status;
    int elapsed;
    bool stopping;
    {
        std::lock_guard lock(mutex_);
        status = latest_;
        elapsed = elapsed_;
        stopping = stopping_;
    }
    if (stopping) {
        // The last draw leaves no status line behind the last result.
        if (statusShown_) out += "\r\x1b[K";
        statusShown_ = false;
        return out;
    }
    out.append("\r").append(Fit(StatusWithClock(status, elapsed))).append("\x1b[K");
    statusShown_ = true;
    return out;
}

std::string ScreenPrinter::DrawBoard(const std::vector<Event>& events) {
    std::string out;
    // Back to the first port's row; messages go above the board, which is drawn again below.
    if (drawnRows_ > 0) out.append("\x1b[").append(std::to_string(drawnRows_)).append("A\r");
    for (const Event& event : events) {
        if (event.kind != Kind::Message) continue;
        out += "\x1b[K";
        Out(out);
        out.clear();
        sink_.Err("qvlink-cli: " + station_.Snapshot(event.port).port + ": " + event.text + "\n");
    }
    std::vector<station::PortSnapshot> ports;
    std::size_t width = 0;
    for (const std::size_t index : shown_) {
        ports.push_back(station_.Snapshot(index));
        width = std::max(width, ports.back().port.size());
    }
    for (const station::PortSnapshot& port : ports) {
        std::string line = port.port;
        line.resize(width + 2, ' ');
        const bool ended = port.activity == station::PortActivity::Ended;
        line += ended ? port.lastResultText : StatusWithClock(port.status, port.elapsedSeconds);
        line += "   " + station::CountsText(port.counts, false);
        if (!ended && port.lastResult) line += "   last: " + port.lastResultText;
        out.append("\r").append(Fit(line)).append("\x1b[K\n");
    }
    drawnRows_ = ports.size();
    return out;
}

}  // namespace qvlink::cli
