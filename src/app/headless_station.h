// qvlink-station --headless: the station with no window and no display, for a rack PC that a
// service manager starts. The same setup as the windows (settings file, command line), the same
// station, record and database; it serves at once, writes every port event to stdout as a
// line (the port first, as qvlink-cli writes to a log), and runs until SIGTERM or SIGINT, which
// stop every port as the windows' Stop all does. SIGHUP rereads the settings (ApplyReload).
// With NOTIFY_SOCKET it tells the service manager that it is ready, its totals (at most once a
// second, when they change), that it is alive while every port's thread answers, and that it
// stops. It keeps no settings: the file is the operator's.
#pragma once

#include "station_startup.h"

namespace qvlink {

// The status to end the program with: 0 after a stop signal; STATION_EXIT_USAGE when the setup
// cannot serve (no ports, a firmware file refused, a record or database that cannot be used),
// said on stderr first. Call it on the main thread before any other thread is started.
int RunHeadlessStation(const StationStart& start);

}  // namespace qvlink
