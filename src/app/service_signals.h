// The signals a station without a window answers: SIGTERM and SIGINT stop it, SIGHUP has it
// reread its settings. Made on the main thread before any other thread, it blocks them there
// and so in every thread started later; only Wait takes them, so no port's wait is cut short and
// nothing runs in a signal handler. On Windows Ctrl+C, Ctrl+Break and the console closed stop
// it (a console's handler that only sets an event), and the service control manager's stop and
// parameter change come through Deliver. Wait also wakes for a Nudge from another thread
// (something changed that the owner reports), and otherwise sleeps until its time is up: it
// never spins. Threading: Wait on the owner thread; Nudge and Deliver from any thread.
#pragma once

#include <chrono>
#include <optional>

#include "status.h"
#include "stop_wake.h"

namespace qvlink {

class ServiceSignals {
  public:
    enum class Event { Stop, Reload, Nudged, TimedOut };

    ServiceSignals();
    ~ServiceSignals();  // the signals are the process's again
    ServiceSignals(const ServiceSignals&) = delete;
    ServiceSignals& operator=(const ServiceSignals&) = delete;

    // Not ok, with why, when the signals cannot be taken this way.
    Status Ready() const { return ready_; }
    // Sleeps until a signal, a nudge or `timeout` (none: no limit). A nudge is taken once.
    Event Wait(std::optional<std::chrono::milliseconds> timeout);
    void Nudge() const { nudge_.Raise(); }
    // As if the signal for `event` (Stop or Reload) had come: for the service control handler
    // on Windows. Kept until a Wait takes it, even one that starts later.
    static void Deliver(Event event);

  private:
    Status ready_;
    int fd_ = -1;  // the signals, as a descriptor that polls readable when one is pending
    StopWake nudge_;
};

}  // namespace qvlink
