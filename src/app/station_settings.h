// What the station window keeps between starts, in QVLinkStation.json in the folder it was
// started from: the ports, the firmware, the record file, how many failures in a row take a
// port out of service, and the station's name in the record. A file that is missing, damaged or
// hostile (too big, wrong types, absurd values, control characters in a name) is never used in
// part: the defaults are, with a one-line notice that says why. Such a file is not lost: the next
// save keeps it beside, as QVLinkStation.json.damaged (an earlier one there stays: the next is
// .damaged.1, then .damaged.2, ...). A symbolic link to a regular file is written
// through (the link stays); something other than a regular file is never written over.
#pragma once

#include <filesystem>
#include <string>

#include "station_setup.h"
#include "status.h"

namespace qvlink {

inline constexpr const char* STATION_SETTINGS_FILE = "QVLinkStation.json";

// Reads the setup kept in `file` into `setup`. Ok when the file was used; otherwise `setup`
// holds the defaults, the status's message is the operator's one-line notice, and its kind says
// why: NotFound (no file yet), Foreign (not a regular file), Invalid (damaged or hostile), Io
// (it could not be read).
Status LoadStationSetup(const std::filesystem::path& file, StationSetup* setup);

// Reads the setup kept in `file` into `setup`, for a start that must not go on without it: not
// ok (`setup` untouched) with the reason alone when the file is not there (NotFound), is not a
// regular file (Foreign), is damaged or hostile (Invalid) or cannot be read (Io).
Status ReadStationSetup(const std::filesystem::path& file, StationSetup* setup);

// Writes `setup` to `file` whole (a new file renamed over the old one), keeping a file there
// that could not be used as `file`.damaged (or the first free .damaged.N) first.
Status SaveStationSetup(const std::filesystem::path& file, const StationSetup& setup);

}  // namespace qvlink
