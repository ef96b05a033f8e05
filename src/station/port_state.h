// How one station port moves from state to state: each thing that happens to a port is one
// event, and Advance applies it to the port's state in one step. StationPort calls it under its
// lock, once per event, so a snapshot never shows half of one. Pure: no lock, no I/O, no clock.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "follow_up.h"
#include "port_snapshot.h"
#include "status.h"

namespace qvlink::station {

struct PortState {
    PortSnapshot snapshot;
};

namespace port_event {

struct Opened {
    Status opened;         // when not ok, its ToString() is what the operator reads
    std::string device{};  // when opened: the device the name led to; empty: as it was
};
struct Started {};  // serving again from the first receiver; a new run of chances
struct Reported {
    StatusReport report;
    int elapsedSeconds = -1;
};
struct Ticked {
    int elapsedSeconds = -1;
};
// A receiver's result taken: counted, and its line written or not.
struct Taken {
    Counted counted = Counted::Nothing;
    UpgradeResult result = USER_ABORT;
    double seconds = 0;         // from announcement to result
    std::string unrecorded;     // the receiver named when its record line could not be written
    int outOfServiceAfter = 0;  // failures in a row that take the port out; 0: never
    int wanted = 0;             // finished receivers after which the port is done; 0: no limit
};
struct Published {
    UpgradeResult result = USER_ABORT;
};
struct NextReceiver {};
struct Said {
    PortNote note;
};
struct Ended {
    PortEnd end = PortEnd::Finished;
};
// The line went away in continuous serving: the port waits for its device to come back.
struct Awaiting {};
// The device is back and open again: serving goes on where it was (the failures in a row
// stay as they were); with `nextReceiver` the lost line had a receiver on it, and the next one
// has the next number.
struct Returned {
    bool nextReceiver = false;
    std::string device{};  // the device the name leads to now
};

}  // namespace port_event

using PortEvent =
    std::variant<port_event::Opened, port_event::Started, port_event::Reported, port_event::Ticked,
                 port_event::Taken, port_event::Published, port_event::NextReceiver,
                 port_event::Said, port_event::Ended, port_event::Awaiting, port_event::Returned>;

// Applies `event` to `state`. For a taken result, the end it calls for: RecordLost when its
// line could not be written, else OutOfService when it makes too many failures in a row, else
// Finished when the wanted number of receivers has finished (PortCounts::Finished); otherwise
// (and for every other event) PortEnd::None.
PortEnd Advance(PortState& state, const PortEvent& event);

}  // namespace qvlink::station
