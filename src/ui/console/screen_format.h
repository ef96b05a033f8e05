// What the flasher's display says, apart from the terminal it is said on: plain values in (what
// happened since the last draw, the ports as they are now, the terminal's size, what is on the
// screen), text out. No thread, no I/O, no station: ScreenPrinter gathers the values and writes
// the text. Three ways to show a run:
// - Lines (stdout is no terminal): every change a line of its own; with several ports each
//   starts with the port ("COM3: Upgrade Completed"), and of the statuses queued for one port
//   only the latest is shown. A status is not printed again while it has not changed; a result
//   always is, and the status after it is shown even if it is the one before.
// - OnePort on a terminal: one status line rewritten in place, each result on a line that stays.
// - Board on a terminal: one line per port and one for the station's totals, redrawn in place;
//   it falls back to Lines for good when the terminal has fewer rows than the board needs.
// Every line on a terminal is cut to its width; port messages go to stderr, above the board.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "port_snapshot.h"
#include "upgrade_types.h"

namespace qvlink::cli {

enum class ScreenMode { Lines, OnePort, Board };

// One thing that happened on a port, queued for the next draw.
struct ScreenEvent {
    enum class Kind { Status, Result, Message };
    std::size_t port = 0;  // the station's index
    Kind kind = Kind::Status;
    std::string text;  // the status line, the result's word, or the message
};

// One draw's text in the order it must go out: stdout text, with whole stderr lines between.
struct ScreenText {
    struct Piece {
        bool err = false;
        std::string text;
    };
    std::vector<Piece> pieces;

    void Out(const std::string& text);  // joins the stdout text just before it
    void Err(const std::string& line);  // a whole line, with its newline
};

// What is on the screen after a draw, which the next draw builds on. Only FormatDraw changes it.
struct ScreenState {
    ScreenMode mode = ScreenMode::Lines;  // a board that no longer fits becomes Lines for good
    std::vector<std::string> lastStatus;  // Lines: per port, the status text last printed
    std::size_t boardRows = 0;            // Board: rows on the screen, to go back over
    bool statusLine = false;              // OnePort: a status line is shown, without its newline
    // Set once, before the first draw: what begins a note on stderr, and whether Lines names the
    // port even when there is one (a station's log, whose ports may be added later).
    std::string program = "qvlink-cli";
    bool alwaysNamed = false;
};

// What one draw is made of. The spans must stay valid for the call.
struct ScreenInput {
    std::span<const ScreenEvent> events;  // since the last draw, oldest first
    std::span<const std::string> names;   // every port's name, by index (closed ones too)
    // Board: the board's ports as they are now, in the board's order.
    std::span<const station::PortSnapshot> board;
    std::string totals;  // Board: the station's totals (StationTotals::Line)
    // OnePort: the latest status, and the seconds since contact (-1 before contact).
    StatusReport status{STATUS_WAITING};
    int elapsedSeconds = -1;
    bool awaitingPort = false;  // OnePort: the port waits for its device instead
    std::size_t columns = 0;    // the terminal's width; 0 for no terminal: lines are not cut
    std::size_t rows = 0;       // the terminal's height; read by Board only
    bool last = false;          // the final draw: OnePort leaves no status line behind
};

// The text of one draw in `state.mode`, and `state` as the screen is after it.
ScreenText FormatDraw(const ScreenInput& input, ScreenState& state);

// `line` cut to fit a terminal `columns` wide without wrapping (at most columns - 1 characters);
// unchanged for 0 (no terminal).
std::string FitLine(std::string line, std::size_t columns);

// The status line for `report` followed by the time since contact, when there was contact.
std::string StatusWithClock(const StatusReport& report, int elapsedSeconds);

}  // namespace qvlink::cli
