// What the flasher's display says for given events, ports and terminal sizes, read as plain
// strings: the log's rules, the one-port status line, the board's columns, the fallback from a
// board that does not fit, and lines cut to the terminal's width.
#include "screen_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qvlink::cli {
namespace {

using Kind = ScreenEvent::Kind;
using Events = std::vector<ScreenEvent>;

ScreenEvent S(std::size_t port, std::string text) {
    return {port, Kind::Status, std::move(text)};
}
ScreenEvent R(std::size_t port, std::string text) {
    return {port, Kind::Result, std::move(text)};
}
ScreenEvent M(std::size_t port, std::string text) {
    return {port, Kind::Message, std::move(text)};
}

const std::vector<std::string> NAMES = {"COM1", "COM2", "COM3"};

// A draw's text as one string, stderr lines marked "2> ", in the order they go out.
std::string Rendered(const ScreenText& text) {
    std::string all;
    for (const ScreenText::Piece& piece : text.pieces) all += (piece.err ? "2> " : "") + piece.text;
    return all;
}

// Draws each batch of `draws` in turn on `state`; what they wrote, one after the other.
std::string DrawAll(const std::vector<Events>& draws, std::span<const std::string> names,
                    ScreenState& state, std::size_t columns = 0) {
    std::string all;
    for (const Events& events : draws) {
        ScreenInput input;
        input.events = events;
        input.names = names;
        input.columns = columns;
        all += Rendered(FormatDraw(input, state));
    }
    return all;
}

TEST(ScreenFormat, LogRules) {
    struct Case {
        const char* what;
        std::size_t ports;
        std::vector<Events> draws;
        std::string out;
    };
    const Case cases[] = {
        {"one port: no prefix, every change",
         1,
         {{S(0, "a"), S(0, "b"), R(0, "Done"), S(0, "a")}},
         "a\nb\nDone\na\n"},
        {"several ports: a prefix, only a port's latest queued status",
         2,
         {{S(0, "a"), S(1, "a"), S(0, "b")}},
         "COM2: a\nCOM1: b\n"},
        {"a result is always shown and hides a status queued before it",
         2,
         {{S(0, "a"), R(0, "Done"), S(0, "a")}},
         "COM1: Done\nCOM1: a\n"},
        {"a message goes to stderr in order and hides no status",
         2,
         {{S(0, "a"), M(0, "lost"), S(1, "b")}},
         "COM1: a\n2> qvlink-cli: COM1: lost\nCOM2: b\n"},
        {"one port's message has no prefix", 1, {{M(0, "lost")}}, "2> qvlink-cli: lost\n"},
        {"an unchanged status is not repeated",
         1,
         {{S(0, "a")}, {S(0, "a")}, {S(0, "b")}},
         "a\nb\n"},
        {"a result resets the repeat check",
         1,
         {{S(0, "a")}, {R(0, "Done")}, {S(0, "a")}},
         "a\nDone\na\n"},
        {"a result resets the repeat check, several ports",
         2,
         {{S(0, "a"), S(1, "a")}, {R(0, "Done"), S(0, "a"), S(1, "a")}},
         "COM1: a\nCOM2: a\nCOM1: Done\nCOM1: a\n"},
    };
    for (const Case& c : cases) {
        ScreenState state;
        EXPECT_EQ(DrawAll(c.draws, std::span(NAMES).first(c.ports), state), c.out) << c.what;
    }
}

TEST(ScreenFormat, LinesAreCutToTheTerminalOnly) {
    struct Case {
        std::string line;
        std::size_t columns;
        std::string fitted;
    };
    const Case cases[] = {
        {"abcdef", 0, "abcdef"},  // no terminal
        {"abcdef", 7, "abcdef"},
        {"abcdef", 6, "abcde"},  // a full row would wrap the cursor
        {"abcdef", 2, "a"},
    };
    for (const Case& c : cases) EXPECT_EQ(FitLine(c.line, c.columns), c.fitted) << c.columns;
    ScreenState log;
    EXPECT_EQ(DrawAll({{S(0, std::string(100, 'x'))}}, NAMES, log),
              "COM1: " + std::string(100, 'x') + "\n");
}

TEST(ScreenFormat, OnePortLine) {
    const StatusReport transfer{STATUS_TRANSFER, 42};
    const StatusReport waiting{STATUS_WAITING};
    struct Case {
        const char* what;
        Events events;
        StatusReport status;
        int elapsed;
        std::size_t columns;
        bool last;
        std::string out;
        bool awaitingPort = false;
    };
    const Case cases[] = {
        {"with a clock",
         {},
         transfer,
         65,
         80,
         false,
         "\r[step 1/2] transfering data ... % 42   01 : 05\x1b[K"},
        {"without a clock", {}, waiting, -1, 80, false, "\rwaiting for connection .....\x1b[K"},
        {"cut on a narrow terminal", {}, transfer, 65, 20, false, "\r[step 1/2] transfer\x1b[K"},
        {"a result stays on a line of its own",
         {S(0, "x"), R(0, "Upgrade Completed")},
         waiting,
         -1,
         80,
         false,
         "\r\x1b[KUpgrade Completed\n\rwaiting for connection .....\x1b[K"},
        {"a message takes the status line's place",
         {M(0, "no record")},
         waiting,
         -1,
         80,
         false,
         "\r\x1b[K2> qvlink-cli: no record\n\rwaiting for connection .....\x1b[K"},
        {"the last draw erases the status line", {}, transfer, 3, 80, true, "\r\x1b[K"},
        {"a port that waits for its device says so",
         {S(0, "x"), R(0, "Port Lost")},
         {STATUS_READY},
         -1,
         80,
         false,
         "\r\x1b[KPort Lost\n\rWaiting for its port\x1b[K",
         true},
    };
    for (const Case& c : cases) {
        ScreenState state;
        state.mode = ScreenMode::OnePort;
        state.statusLine = true;
        ScreenInput input;
        input.events = c.events;
        input.names = std::span(NAMES).first(1);
        input.status = c.status;
        input.elapsedSeconds = c.elapsed;
        input.columns = c.columns;
        input.last = c.last;
        input.awaitingPort = c.awaitingPort;
        EXPECT_EQ(Rendered(FormatDraw(input, state)), c.out) << c.what;
        EXPECT_EQ(state.statusLine, !c.last) << c.what;
    }
}

station::PortSnapshot Port(std::string name, station::PortActivity activity, StatusReport status,
                           int elapsed) {
    station::PortSnapshot port;
    port.port = std::move(name);
    port.activity = activity;
    port.status = status;
    port.elapsedSeconds = elapsed;
    return port;
}

// Three ports, names of three lengths: one in transfer after a completed receiver, one waiting,
// one stopped.
std::vector<station::PortSnapshot> ThreePorts() {
    using station::PortActivity;
    std::vector<station::PortSnapshot> ports = {
        Port("COM1", PortActivity::Running, {STATUS_TRANSFER, 42}, 65),
        Port("/dev/ttyUSB10", PortActivity::Running, {STATUS_WAITING}, -1),
        Port("COM22", PortActivity::Ended, {STATUS_WAITING}, -1),
    };
    ports[0].lastResult = BLOCK_COMPLETED;
    ports[0].lastResultText = "Upgrade Completed";
    ports[0].counts.completed = 1;
    ports[2].lastResult = USER_ABORT;
    ports[2].lastResultText = "Stopped";
    ports[2].counts.stopped = 1;
    return ports;
}

ScreenText DrawBoard(const Events& events, std::span<const station::PortSnapshot> board,
                     std::size_t columns, std::size_t rows, ScreenState& state) {
    ScreenInput input;
    input.events = events;
    input.names = NAMES;
    input.board = board;
    input.totals = "completed 1  failed 0  stopped 1";
    input.columns = columns;
    input.rows = rows;
    return FormatDraw(input, state);
}

TEST(ScreenFormat, BoardColumnsRedrawsAndMessages) {
    const auto ports = ThreePorts();
    ScreenState state;
    state.mode = ScreenMode::Board;
    EXPECT_EQ(Rendered(DrawBoard({S(0, "ignored")}, ports, 200, 24, state)),
              "\rCOM1           [step 1/2] transfering data ... % 42   01 : 05   completed 1  "
              "failed 0   last: Upgrade Completed\x1b[K\n"
              "\r/dev/ttyUSB10  waiting for connection .....   completed 0  failed 0\x1b[K\n"
              "\rCOM22          Stopped   completed 0  failed 0  stopped 1\x1b[K\n"
              "\rtotal          completed 1  failed 0  stopped 1\x1b[K\n");
    // Back up over the three rows and the totals'; each message is printed on an erased row above
    // the board.
    const std::string redraw =
        Rendered(DrawBoard({M(1, "first"), M(2, "second")}, ports, 200, 24, state));
    EXPECT_EQ(redraw.substr(0, redraw.find("\rCOM1")),
              "\x1b[4A\r\x1b[K2> qvlink-cli: COM2: first\n\x1b[K2> qvlink-cli: COM3: second\n");
    // On a narrow terminal every row is cut, and the names still line up.
    const std::string narrow = Rendered(DrawBoard({}, ports, 23, 24, state));
    EXPECT_EQ(narrow,
              "\x1b[4A\r\rCOM1           [step 1\x1b[K\n\r/dev/ttyUSB10  waiting\x1b[K\n"
              "\rCOM22          Stopped\x1b[K\n\rtotal          complet\x1b[K\n");
    EXPECT_EQ(state.mode, ScreenMode::Board);

    // A port that waits for its device says so in place of a status; its lost receiver stays
    // its last.
    auto awaiting =
        Port("usb-0:1.2:1.0-port0", station::PortActivity::AwaitingPort, {STATUS_READY}, -1);
    awaiting.lastResult = PORT_LOST;
    awaiting.lastResultText = "Port Lost";
    awaiting.counts.failed = 1;
    ScreenState fresh;
    fresh.mode = ScreenMode::Board;
    const std::string row =
        "\rusb-0:1.2:1.0-port0  Waiting for its port   completed 0  failed 1   last: Port Lost"
        "\x1b[K\n";
    EXPECT_EQ(
        Rendered(DrawBoard({}, std::span(&awaiting, 1), 200, 24, fresh)).substr(0, row.size()),
        row);
}

TEST(ScreenFormat, ABoardThatDoesNotFitFallsBackToLinesForGood) {
    struct Case {
        std::size_t ports, rows;
        bool fallsBack;
    };
    const std::vector<station::PortSnapshot> ports(12, ThreePorts()[1]);
    std::vector<std::string> names;
    for (int i = 1; i <= 12; ++i) names.push_back("COM" + std::to_string(i));
    for (const Case c : {Case{3, 5, false}, Case{3, 4, true}, Case{12, 10, true}}) {
        ScreenState state;
        state.mode = ScreenMode::Board;
        ScreenInput input;
        const Events events = {S(0, "waiting"), M(1, "lost"), S(1, "b")};
        input.events = events;
        input.names = names;
        input.board = std::span(ports).first(c.ports);
        input.columns = 0;
        input.rows = c.rows;
        const std::string out = Rendered(FormatDraw(input, state));
        if (!c.fallsBack) {
            EXPECT_EQ(state.mode, ScreenMode::Board) << c.ports << " on " << c.rows;
            continue;
        }
        // The notice comes first, then a line per change.
        EXPECT_EQ(out, std::to_string(c.ports) +
                           " ports do not fit the terminal: one line per change from here on\n"
                           "COM1: waiting\n2> qvlink-cli: COM2: lost\nCOM2: b\n")
            << c.ports << " on " << c.rows;
        // Lines from here on, however many rows there are, each cut to the width.
        const Events later = {S(0, "a status too long")};
        input.events = later;
        input.columns = 12;
        input.rows = 100;
        EXPECT_EQ(Rendered(FormatDraw(input, state)), "COM1: a sta\n");
        EXPECT_EQ(state.mode, ScreenMode::Lines);
    }
}

}  // namespace
}  // namespace qvlink::cli
