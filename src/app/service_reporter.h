// What a station tells its service manager, and when: "READY=1" once its ports are open, its
// totals as "STATUS=" whenever they change but at most once a second, "WATCHDOG=1" at half the
// interval the manager asked for while every port's thread answers (one that hangs stops the
// pings, so the manager restarts a station that no longer serves), "STOPPING=1" on a stop, and
// while what is unsent goes to the database after the ports have stopped, how long that may
// take ("EXTEND_TIMEOUT_USEC=", which a service control manager takes as its next checkpoint).
// A manager that cannot be reached is said once, and said again only after it was reached in
// between; the station serves on regardless. Threading: one owner.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "service_manager.h"

namespace qvlink {

class ServiceReporter {
  public:
    using Clock = std::chrono::steady_clock;
    // `say` gets the one-line notices (a manager not reached, a port that does not answer).
    ServiceReporter(ServiceManager manager, std::function<void(const std::string&)> say);

    bool Present() const { return manager_.Present(); }
    // The interval a port's thread may be busy before it counts as hung: the manager's own.
    std::chrono::milliseconds WatchdogLimit() const;

    void Ready(const std::string& status, Clock::time_point now);
    void Stopping();
    // The ports have stopped; what is left may take up to `wait` more.
    void Draining(std::chrono::milliseconds wait);
    // Does what is due at `now` with the totals as they stand and the names of the ports whose
    // thread does not answer; returns when something will next be due (nullopt: nothing will
    // until the totals change).
    std::optional<Clock::time_point> Tend(Clock::time_point now, const std::string& status,
                                          const std::vector<std::string>& unanswering);

  private:
    void Tell(const std::string& state);

    ServiceManager manager_;
    std::function<void(const std::string&)> say_;
    std::chrono::microseconds pingEvery_{0};  // half the manager's watchdog; 0: no pings
    std::string statusSent_;
    Clock::time_point statusAt_{};
    Clock::time_point pingDue_{};
    bool unreached_ = false;  // the last Tell failed (and was said)
    bool hungSaid_ = false;   // the pings are held back for a port that does not answer
};

}  // namespace qvlink
