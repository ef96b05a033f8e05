// What a station starts with and keeps for its next start, whichever window or program runs it:
// the ports as the operator named them, the firmware, the record and where it is sent, when a
// port goes out of service, and the station's name. A plain value.
#pragma once

#include <string>
#include <vector>

namespace qvlink {

struct StationSetup {
    std::vector<std::string> ports;  // as the operator named them (names, lists, ranges)
    std::string firmwarePath;
    std::string recordPath;     // empty: no record
    int outOfServiceAfter = 3;  // failed or cancelled receivers in a row that stop a port; 0: never
    std::string station;        // the station's name in the record; empty: the host's name
    std::string database;       // libpq's settings of the database the record goes to; empty: none
};

}  // namespace qvlink
