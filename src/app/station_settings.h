// What the station window keeps between starts, in QVLinkStation.json in the folder it was
// started from: the ports, the firmware, the record file, how many failures in a row take a
// port out of service, and the station's name in the record. A file that is missing, damaged or
// hostile (too big, wrong types, absurd values, control characters in a name) is never used in
// part: the defaults are, with a one-line notice that says why. Such a file is not lost: the next
// save keeps it beside, as QVLinkStation.json.damaged. A symbolic link to a regular file is written
// through (the link stays); something other than a regular file is never written over.
#pragma once

#include <filesystem>
#include <string>

#include "station_setup.h"
#include "status.h"

namespace qvlink {

inline constexpr const char* STATION_SETTINGS_FILE = "QVLinkStation.json";

// The setup in `file`, or the defaults; `notice` is set when the defaults were used.
StationSetup LoadStationSetup(const std::filesystem::path& file, std::string* notice);

// Writes `setup` to `file` whole (a new file renamed over the old one), keeping a file there
// that could not be used as `file`.damaged first.
Status SaveStationSetup(const std::filesystem::path& file, const StationSetup& setup);

}  // namespace qvlink
