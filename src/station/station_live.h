// What a station's ports make of its live state for the record database: each port's class
// (serving, waiting for its port, out of service, not serving), its word as the tiles and the
// board say it (WordOf), and its counts. Pure functions of snapshots; the station tells its
// listener when what they give for a port changes.
#pragma once

#include <string>
#include <vector>

#include "live_state.h"
#include "port_snapshot.h"
#include "record_line.h"

namespace qvlink::station {

record::PortService ServiceOf(const PortSnapshot& port);
record::PortLive PortLiveOf(const PortSnapshot& port);
record::StationLive StationLiveOf(const RecordSource& source, const std::string& firmwareSha256,
                                  const std::vector<PortSnapshot>& ports);

}  // namespace qvlink::station
