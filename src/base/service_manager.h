// What a program started by a service manager tells it, by the manager's notify protocol: a
// datagram of "KEY=value" lines ("READY=1", "STATUS=...", "WATCHDOG=1", "STOPPING=1") sent to
// the AF_UNIX socket NOTIFY_SOCKET names (a path, or "@name" in the abstract namespace). A send
// never blocks: a manager that does not take it at once has the send fail, and the program goes
// on. Without NOTIFY_SOCKET (a program started by hand, or on Windows) there is no manager and
// nothing is sent. Threading: one owner.
#pragma once

#include <chrono>
#include <string>

#include "status.h"

namespace qvlink {

class ServiceManager {
  public:
    // No manager.
    ServiceManager() = default;
    // The manager at `socket` (as NOTIFY_SOCKET names it; empty: none), which wants to hear
    // that the program is alive every `watchdog` (0: it does not).
    ServiceManager(std::string socket, std::chrono::microseconds watchdog);
    // The manager the environment names: NOTIFY_SOCKET, and WATCHDOG_USEC when WATCHDOG_PID is
    // unset or names this process.
    static ServiceManager FromEnvironment();
    ~ServiceManager();
    ServiceManager(ServiceManager&& other) noexcept;
    ServiceManager& operator=(ServiceManager&& other) noexcept;

    bool Present() const { return !socket_.empty(); }
    const std::string& Socket() const { return socket_; }
    // How often the manager wants "WATCHDOG=1"; 0 when it does not.
    std::chrono::microseconds Watchdog() const { return watchdog_; }

    // Sends `state` ("READY=1", or several lines) in one datagram; ok without a manager. Not
    // ok, with why, when the socket cannot be reached or does not take it at once.
    Status Tell(const std::string& state);

  private:
    std::string socket_;
    std::chrono::microseconds watchdog_{0};
    int fd_ = -1;  // the sending socket, made at the first Tell
};

}  // namespace qvlink
