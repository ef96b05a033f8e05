// The operator's stop for the flasher: Ctrl-C (SIGINT) and SIGTERM stop every session that is
// registered here, each as its own stop button would. The handler does only lock-free atomic
// loads and stores, so it is safe whichever thread the signal lands on.
#pragma once

#include <cstddef>

#include "cli_options.h"
#include "upgrade_session.h"

namespace qvlink::cli {

// Makes `session` (or nothing, with nullptr) the one in `slot` (below MAX_PORTS). A stop that
// came before is passed on at once.
void WatchForStop(std::size_t slot, UpgradeSession* session);
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
