#include "screen_printer.h"

#include <chrono>
#include <cstdio>

#include "port_words.h"
#include "status_texts.h"
#include "terminal.h"
#include "utf8_output.h"

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
    return text.empty() || WriteUtf8(stream, text);
}

}  // namespace

bool StdioSink::Out(const std::string& text) {
    return Write(stdout, text);
}

void StdioSink::Err(const std::string& text) {
    Write(stderr, text);
}

ScreenPrinter::ScreenPrinter(const station::Station& station, Mode mode, PrinterSink& sink,
                             std::string program, bool alwaysNamed)
    : station_(station),
      sink_(sink),
      program_(std::move(program)),
      onTerminal_(mode != Mode::Lines),
      showsClock_(mode != Mode::Lines) {
    screen_.mode = mode;
    screen_.program = program_;
    screen_.alwaysNamed = alwaysNamed;
}

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
        MutexLock lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void ScreenPrinter::Push(ScreenEvent event) {
    bool wake;
    {
        MutexLock lock(mutex_);
        if (event.kind == ScreenEvent::Kind::Status && events_.size() >= MAX_QUEUED) return;
        wake = events_.empty() && !clockMoved_;  // else the printer knows there is work
        events_.push_back(std::move(event));
    }
    if (wake) wake_.notify_all();
}

void ScreenPrinter::OnReport(std::size_t port, const StatusReport& report, int elapsedSeconds) {
    {
        MutexLock lock(mutex_);
        latest_ = report;
        elapsed_ = elapsedSeconds;
        awaiting_ = false;
    }
    Push({port, ScreenEvent::Kind::Status, StatusLineText(report)});
}

void ScreenPrinter::OnAwaitingPort(std::size_t port) {
    {
        MutexLock lock(mutex_);
        awaiting_ = true;
        elapsed_ = -1;
    }
    Push({port, ScreenEvent::Kind::Status, station::WAITING_FOR_PORT});
}

void ScreenPrinter::OnTick(std::size_t, int elapsedSeconds) {
    bool wake = false;
    {
        MutexLock lock(mutex_);
        elapsed_ = elapsedSeconds;
        if (showsClock_) {
            wake = events_.empty() && !clockMoved_;
            clockMoved_ = true;
        }
    }
    if (wake) wake_.notify_all();
}

void ScreenPrinter::OnResult(std::size_t port, UpgradeResult result) {
    Push({port, ScreenEvent::Kind::Result, station::ResultLabel(result)});
}

void ScreenPrinter::OnNote(std::size_t port, const station::PortNote& note) {
    Push({port, ScreenEvent::Kind::Message, station::NoteText(note)});
}

void ScreenPrinter::Loop() {
    MutexLock lock(mutex_);
    for (;;) {
        // Asleep until there is something to show.
        wake_.wait(lock, [this]() QV_REQUIRES(mutex_) {
            return stopping_ || !events_.empty() || clockMoved_;
        });
        // Then gather what else comes until the next draw is due: a quarter second after the
        // last for news, a second for a clock alone.
        while (!stopping_) {
            const bool news = !events_.empty();
            const auto due = lastDraw_ + (news ? DRAW_INTERVAL : CLOCK_INTERVAL);
            if (std::chrono::steady_clock::now() >= due) break;
            wake_.wait_until(lock, due, [this, news]() QV_REQUIRES(mutex_) {
                return stopping_ || news != !events_.empty();
            });
        }
        const bool last = stopping_;
        clockMoved_ = false;
        lock.unlock();
        Draw(last);
        lastDraw_ = std::chrono::steady_clock::now();
        lock.lock();
        if (last) return;
    }
}

void ScreenPrinter::Draw(bool last) {
    std::vector<ScreenEvent> events;
    ScreenInput input;
    {
        MutexLock lock(mutex_);
        events.assign(std::make_move_iterator(events_.begin()),
                      std::make_move_iterator(events_.end()));
        events_.clear();
        input.status = latest_;
        input.elapsedSeconds = elapsed_;
        input.awaitingPort = awaiting_;
    }
    input.events = events;
    // Ports added since are named too.
    for (std::size_t i = names_.size(); i < station_.PortCount(); ++i)
        names_.push_back(station_.PortName(i));
    input.names = names_;
    input.last = last;
    if (onTerminal_) {
        const TerminalSize size = StdoutTerminalSize();
        input.columns = size.columns;
        input.rows = size.rows;
    }
    // Taken after the events, so that the board shows at least what they tell; one view, so
    // that the totals row adds up the rows above it.
    std::vector<station::PortSnapshot> board;
    if (screen_.mode == ScreenMode::Board) {
        station::Station::View view = station_.Look();
        for (const std::size_t index : shown_) board.push_back(std::move(view.ports[index]));
        input.totals = view.totals.Line();
    }
    input.board = board;
    Write(FormatDraw(input, screen_));
}

void ScreenPrinter::Write(const ScreenText& text) {
    for (const ScreenText::Piece& piece : text.pieces) {
        if (piece.err)
            sink_.Err(piece.text);
        else
            Out(piece.text);
    }
}

void ScreenPrinter::Out(const std::string& text) {
    if (text.empty() || outputClosed_.load()) return;
    if (sink_.Out(text)) return;
    outputClosed_.store(true);
    sink_.Err(program_ +
              ": the output was closed: nothing more is shown; the run goes on (Ctrl-C stops "
              "it)\n");
}

}  // namespace qvlink::cli
