#include "screen_format.h"

#include <algorithm>

#include "follow_up.h"
#include "port_words.h"
#include "status_texts.h"

namespace qvlink::cli {
namespace {

using Kind = ScreenEvent::Kind;

// Erases the rest of the cursor's row.
constexpr const char* ERASE_LINE = "\x1b[K";

// What an ended port's board line (or one waiting for its device) says in place of its status:
// the station's word for it.
std::string EndedText(const station::PortSnapshot& port) {
    return station::WordOf(port).text;
}

// Whether `ports` board rows, the totals' row and the cursor's row below them fit `rows`; a
// board that does not would scroll on every redraw.
bool BoardFits(std::size_t ports, std::size_t rows) {
    return ports + 2 <= rows;
}

void LogLines(const ScreenInput& in, ScreenState& state, ScreenText& text) {
    const bool several = in.names.size() > 1 || state.alwaysNamed;
    if (state.lastStatus.size() < in.names.size()) state.lastStatus.resize(in.names.size());
    const auto line = [&](const std::string& words) { return FitLine(words, in.columns) + "\n"; };
    for (auto event = in.events.begin(); event != in.events.end(); ++event) {
        const std::string prefix = several ? in.names[event->port] + ": " : "";
        if (event->kind == Kind::Message) {
            text.Err(state.program + ": " + prefix + event->text + "\n");
            continue;
        }
        if (event->kind == Kind::Result) {
            state.lastStatus[event->port].clear();  // the next status is shown even if it repeats
            text.Out(line(prefix + event->text));
            continue;
        }
        // With several ports only a port's latest status is worth a line.
        if (several && std::any_of(event + 1, in.events.end(), [&](const ScreenEvent& later) {
                return later.port == event->port && later.kind != Kind::Message;
            }))
            continue;
        if (event->text == state.lastStatus[event->port]) continue;
        state.lastStatus[event->port] = event->text;
        text.Out(line(prefix + event->text));
    }
}

void OnePortLine(const ScreenInput& in, ScreenState& state, ScreenText& text) {
    for (const ScreenEvent& event : in.events) {
        if (event.kind == Kind::Status) continue;
        // A result or a message takes the status line's place and stays.
        text.Out(std::string("\r") + ERASE_LINE);
        if (event.kind == Kind::Result)
            text.Out(FitLine(event.text, in.columns) + "\n");
        else
            text.Err(state.program + ": " + event.text + "\n");
        state.statusLine = false;
    }
    if (in.last) {
        // The last draw leaves no status line behind the last result.
        if (state.statusLine) text.Out(std::string("\r") + ERASE_LINE);
        state.statusLine = false;
        return;
    }
    text.Out("\r");
    const std::string status = in.awaitingPort ? std::string(station::WAITING_FOR_PORT)
                                               : StatusWithClock(in.status, in.elapsedSeconds);
    text.Out(FitLine(status, in.columns) + ERASE_LINE);
    state.statusLine = true;
}

std::string BoardLine(const station::PortSnapshot& port, std::size_t nameWidth) {
    std::string line = port.port;
    line.resize(nameWidth + 2, ' ');
    const bool ended = port.activity == station::PortActivity::Ended;
    const bool awaiting = port.activity == station::PortActivity::AwaitingPort;
    line += ended || awaiting ? EndedText(port) : StatusWithClock(port.status, port.elapsedSeconds);
    line += "   " + station::CountsText(port.counts, false);
    if (!ended && port.lastResult) line += "   last: " + port.lastResultText;
    return line;
}

void Board(const ScreenInput& in, ScreenState& state, ScreenText& text) {
    // Back to the first port's row; messages go above the board, which is drawn again below.
    if (state.boardRows > 0) text.Out("\x1b[" + std::to_string(state.boardRows) + "A\r");
    for (const ScreenEvent& event : in.events) {
        if (event.kind != Kind::Message) continue;
        text.Out(ERASE_LINE);
        text.Err(state.program + ": " + in.names[event.port] + ": " + event.text + "\n");
    }
    std::size_t width = std::string("total").size();
    for (const station::PortSnapshot& port : in.board) width = std::max(width, port.port.size());
    for (const station::PortSnapshot& port : in.board) {
        text.Out("\r");
        text.Out(FitLine(BoardLine(port, width), in.columns) + ERASE_LINE + "\n");
    }
    std::string total = "total";
    total.resize(width + 2, ' ');
    text.Out("\r");
    text.Out(FitLine(total + in.totals, in.columns) + ERASE_LINE + "\n");
    state.boardRows = in.board.size() + 1;
}

}  // namespace

void ScreenText::Out(const std::string& text) {
    if (text.empty()) return;
    if (pieces.empty() || pieces.back().err)
        pieces.push_back({false, text});
    else
        pieces.back().text += text;
}

void ScreenText::Err(const std::string& line) {
    pieces.push_back({true, line});
}

std::string FitLine(std::string line, std::size_t columns) {
    if (columns > 1 && line.size() >= columns) line.resize(columns - 1);
    return line;
}

std::string StatusWithClock(const StatusReport& report, int elapsedSeconds) {
    std::string text = StatusLineText(report);
    if (elapsedSeconds >= 0) text.append("   ").append(ElapsedText(elapsedSeconds));
    return text;
}

ScreenText FormatDraw(const ScreenInput& input, ScreenState& state) {
    ScreenText text;
    if (state.mode == ScreenMode::Board && !BoardFits(input.board.size(), input.rows)) {
        state.mode = ScreenMode::Lines;
        text.Out(FitLine(std::to_string(input.board.size()) +
                             " ports do not fit the terminal: one line per change from here on",
                         input.columns) +
                 "\n");
    }
    switch (state.mode) {
        case ScreenMode::Lines:
            LogLines(input, state, text);
            break;
        case ScreenMode::OnePort:
            OnePortLine(input, state, text);
            break;
        case ScreenMode::Board:
            Board(input, state, text);
            break;
    }
    return text;
}

}  // namespace qvlink::cli
