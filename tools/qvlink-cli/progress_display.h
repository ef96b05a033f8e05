// How qvlink-cli shows one port's runs: on a terminal, one line rewritten in place with the
// phase, the percentage, the chunk count where there is one and the time since contact;
// elsewhere each new status text on a line of its own. Safe to call from the worker and the
// port's own thread.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "upgrade_session.h"
#include "upgrade_types.h"

namespace qvlink::cli {

class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    // A new status; `elapsedSeconds` is -1 before contact.
    virtual void Show(const StatusReport& report, int elapsedSeconds) = 0;
    // Rewrites the current status with a new time (a terminal's clock); may do nothing.
    virtual void Tick(int elapsedSeconds) = 0;
    // A line that stays: a run's result.
    virtual void Announce(const std::string& line) = 0;
    // The port's receivers so far; a display that shows no counts ignores it.
    virtual void ShowTally(const SessionTally&) {}
};

// The status line for `report` followed by the time since contact, when there was contact.
std::string StatusWithClock(const StatusReport& report, int elapsedSeconds);

// A rewriting display when `isTerminal`, a line-per-status display otherwise; both on stdout.
std::unique_ptr<ProgressDisplay> MakeProgressDisplay(bool isTerminal);

}  // namespace qvlink::cli
