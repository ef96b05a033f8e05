// qvlink-station --headless: the station with no window and no display, for a rack PC that a
// service manager starts. The same setup as the windows (settings file, command line), the same
// station, record and database; it serves at once, writes every port event to stdout as a
// line (the port first, as qvlink-cli writes to a log), and runs until SIGTERM or SIGINT, which
// stop every port as the windows' Stop all does. SIGHUP rereads the settings (ApplyReload).
// It tells `manager` (when there is one: NOTIFY_SOCKET, or Windows' service control manager)
// that it is ready, its totals (at most once a second, when they change), that it is alive
// while every port's thread answers, and that it stops. It keeps no settings: the file is the
// operator's.
#pragma once

#include "screen_printer.h"
#include "service_manager.h"
#include "station_startup.h"

namespace qvlink {

// Everything it says goes to `sink` (the port events and the summary as Out, its notices as
// Err): stdout and stderr, or the log of a Windows service. The status to end the program with: 0
// after a stop signal; STATION_EXIT_USAGE when the setup cannot serve (no ports, a firmware file
// refused, a record or database that cannot be used), said first. Call it on the main thread before
// any other thread is started.
int RunHeadlessStation(const StationStart& start, ServiceManager manager, cli::PrinterSink& sink);

}  // namespace qvlink
