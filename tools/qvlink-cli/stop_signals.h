// The operator's stop for the flasher: Ctrl-C (SIGINT) and SIGTERM stop every port of the
// station registered here, each as its own stop button would. The handler does only lock-free
// atomic loads and stores and the station's wakes, so it is safe whichever thread it lands on.
#pragma once

#include "station.h"
#include "stop_wake.h"

namespace qvlink::cli {

// Makes `station` (or nothing, with nullptr) the one the signals stop. A stop that came before
// is passed on at once.
void WatchForStop(station::Station* station);
// Makes `wake` (or nothing) raised by the signals that come from now on: the end of a run that
// waits on it is cut short by one more Ctrl-C, after the one that stopped the ports.
void WatchForStopWake(const StopWake* wake);
void InstallStopHandlers();
// Whether a stop signal has come.
bool StopSignalled();

// Keeps the stop signals away from the calling thread while it lives, and so from every thread
// it starts meanwhile: threads that serve ports are started under it, so that only the main
// thread takes the signals and no port's wait is cut short by one.
class StopSignalsHeld {
  public:
    StopSignalsHeld();
    ~StopSignalsHeld();
    StopSignalsHeld(const StopSignalsHeld&) = delete;
    StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;
};

}  // namespace qvlink::cli
