// The whole state of one station port at one moment, as a front end shows it.
#pragma once

#include <optional>
#include <string>

#include "follow_up.h"
#include "upgrade_types.h"

namespace qvlink::station {

enum class PortActivity {
    Closed,   // not opened (or could not be)
    Ready,    // open, not started
    Running,  // serving receivers
    // Its line went away: its thread waits for the device to come back, then serves on. Still
    // serving: neither a failure nor out of service.
    AwaitingPort,
    Ended,    // no longer serving; `end` says why
};

// Something about a port the operator must read, as facts; NoteText (port_words.h) says it in
// words for the tile, the board and the log.
struct PortNote {
    enum class Kind {
        RecordNotice,    // the record file changed under the station: `detail` says how
        LineNotWritten,  // `receiver` (ended as `counted`, `result`) has no record line: `detail`
        OutOfService,    // `count` receivers in a row failed or cancelled
        NoPortThread,    // the port's own thread could not be made
        RunNotStarted,   // the session's run could not start: `detail` says why
    };
    Kind kind = Kind::RecordNotice;
    std::string detail{};
    int receiver{0};
    Counted counted{Counted::Nothing};
    UpgradeResult result{USER_ABORT};
    int count{0};
};

struct PortSnapshot {
    std::string port;
    std::string device;
    PortActivity activity = PortActivity::Closed;
    StatusReport status{STATUS_READY};
    int elapsedSeconds = -1;  // since the current receiver's contact; -1 before
    int receiver = 0;         // the current (or last) receiver's number on this port
    std::optional<UpgradeResult> lastResult;
    std::string lastResultText;
    PortCounts counts;
    PortEnd end = PortEnd::None;
    std::string message;  // the last thing the operator must read about this port
    // A receiver that was served but has no record line ("receiver 7 completed, its record
    // line could not be written"); empty when every receiver so far has its line.
    std::string unrecorded;
};

}  // namespace qvlink::station
