// How a port and its receivers read for the operator: the word for a port now (how it ended,
// or its last receiver's result, or that it waits) and its tone, and the words for an end that
// needs the operator. The station windows' tiles, qvlink-cli's board and its summary all take
// these, so the same run reads the same everywhere; the station hands over facts, and these
// pure functions say them.
#pragma once

#include <string>

#include "port_snapshot.h"

namespace qvlink::station {

// The colour a port's word is shown in.
enum class Tone {
    Idle,       // not serving receivers, nothing to say
    Waiting,    // serving, no receiver finished yet
    Completed,  // the last receiver has the new firmware
    Failed,     // the last receiver failed (or cancelled)
    Lost,       // the port is lost, could not be opened, could not go on or is out of service
};

// The tone of a receiver's result, by how it counts: completed, failed (a receiver's cancel
// too), the operator's stop as idle; a lost line as lost.
Tone ToneOf(UpgradeResult result);

// The word of a port whose device went away and is awaited back.
inline constexpr const char* WAITING_FOR_PORT = "Waiting for its port";

struct PortWord {
    std::string text;  // "Upgrade Completed", "Out of service", "Waiting"; empty: nothing yet
    Tone tone = Tone::Idle;
    friend bool operator==(const PortWord&, const PortWord&) = default;
};

// The port's word now: how it ended when that matters more than its last receiver ("Cannot
// open", "Out of service", "Port Lost", "Stopped" for a record line lost or a start that
// failed), else its last receiver's result, else "Upgrading" or "Waiting" while it serves.
PortWord WordOf(const PortSnapshot& port);

// An end the operator must look into, in a few words for a line of text ("out of service",
// "port lost", "record line lost", "could not start", "not opened"); empty for a port that has
// not ended, finished, or was stopped by the operator.
std::string TroubleText(PortEnd end);

// "receiver 7 completed", "receiver 3 failed (Checksum Error)", "receiver 2 was stopped": how a
// receiver ended, after its number.
std::string ReceiverEndText(int receiver, Counted counted, UpgradeResult result);

// A port's note in the operator's words: "out of service: 3 receivers in a row failed or
// cancelled", "receiver 7 completed, its record line could not be written (...); this port stops
// here".
std::string NoteText(const PortNote& note);

}  // namespace qvlink::station
