// The one table of how each receiver's result reads for the operator: how it counts, its tone,
// its word, and the counts a port with that one receiver shows (on a tile, the board, the
// summary with its causes). The station's own test checks its rules against it, and every
// front end's test checks what it shows against it, so a front end that decides on its own fails.
#pragma once

#include <string>
#include <vector>

#include "follow_up.h"
#include "port_snapshot.h"
#include "port_words.h"

namespace qvlink::test {

struct OutcomeRow {
    UpgradeResult result;
    station::Counted counted;
    station::Tone tone;
    const char* word;              // the port's word after it
    const char* counts;            // a port with this one receiver
    const char* countsWithCauses;  // the same, with the failures by result
};

inline const std::vector<OutcomeRow>& OutcomeTable() {
    using station::Counted;
    using station::Tone;
    static const std::vector<OutcomeRow> rows = {
        {BULK_COMPLETED, Counted::Completed, Tone::Completed, "Upgrade Completed",
         "completed 1  failed 0", "completed 1  failed 0"},
        {DEVICE_CHECKSUM_ERROR, Counted::Failed, Tone::Failed, "Checksum Error",
         "completed 0  failed 1", "completed 0  failed 1 (Checksum Error 1)"},
        {RECEIVER_ABORT, Counted::ReceiverAbort, Tone::Failed, "Receiver Abort",
         "completed 0  failed 1", "completed 0  failed 1 (Receiver Abort 1)"},
        {USER_ABORT, Counted::Stopped, Tone::Idle, "Stopped", "completed 0  failed 0  stopped 1",
         "completed 0  failed 0  stopped 1"},
        {PORT_LOST, Counted::Failed, Tone::Lost, "Port Lost", "completed 0  failed 1",
         "completed 0  failed 1 (Port Lost 1)"},
    };
    return rows;
}

// A port that served one receiver with `row`'s result and is serving again.
inline station::PortSnapshot PortAfter(const OutcomeRow& row) {
    station::PortSnapshot port;
    port.port = "COM3";
    port.device = "COM3";
    port.activity = station::PortActivity::Running;
    port.receiver = 2;
    port.lastResult = row.result;
    port.lastResultText = station::ResultLabel(row.result);
    port.counts.Add(row.counted, row.result);
    return port;
}

}  // namespace qvlink::test
