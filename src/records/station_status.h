// The floor as an engineer away from it reads it (`qvlink-records status`): one line per station
// (its ports serving, waiting for their port, out of service, when it was last heard from, and
// whether it has gone silent), then the ports that need a hand (out of service, waiting for their
// port, on a silent station), in words. The database decides what is silent (station_health);
// the times are the server's, so a station's clock or the reader's time zone cannot skew them.
#pragma once

#include <string>
#include <vector>

#include "pg_connection.h"

namespace qvlink::records {

// One row of station_health.
struct PortHealth {
    std::string station, port;
    std::string health;  // the state's word (record::ServiceWord), or record::SILENT
    std::string state;   // the state last sent
    std::string word;    // the port's word as the station shows it
    long long completed = 0, failed = 0;
    long long secondsSinceSeen = 0;  // since the station last sent its state
    long long secondsInState = 0;    // since the port came into its state

    bool operator==(const PortHealth&) const = default;
};

// Every station's ports, by station and port (needs the SELECT right on station_health).
Status StationHealthFromDatabase(PgConnection& connection, std::vector<PortHealth>& ports);

// Whether a port needs someone to go and look: out of service, waiting for its port, or silent.
bool NeedsAHand(const PortHealth& port);

// The floor in words, as `status` prints it.
std::string FormatFloor(const std::vector<PortHealth>& ports);

// "45 s", "3 min 05 s", "2 h 10 min", "3 d 4 h": how long, for a line of text.
std::string SpanText(long long seconds);

}  // namespace qvlink::records
