// What rereading the settings does to a station that serves, for a station without a window:
// ports added start, ports removed stop after their receiver, ports that ended (out of service,
// or stopped) start again, and a firmware file that changed is loaded and checked and takes over
// between receivers; a file that is refused is said and the one before stays. What only a new
// start can change (the record, the database, the station's name, when a port goes out of
// service) is said to wait for one. On the station's owner thread.
#pragma once

#include <string>
#include <vector>

#include "station.h"
#include "station_setup.h"

namespace qvlink {

// Applies `next` to `station`, which was set up from `now` and serves with `options`; the lines
// that say what changed (nothing: none). `now` becomes what the station now runs.
std::vector<std::string> ApplyReload(station::Station& station, StationSetup& now,
                                     const StationSetup& next,
                                     const station::StationOptions& options);

}  // namespace qvlink
