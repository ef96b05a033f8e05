// What a program started by a service manager tells it, by the manager's notify protocol: a
// datagram of "KEY=value" lines ("READY=1", "STATUS=...", "WATCHDOG=1", "STOPPING=1") sent to
// the AF_UNIX socket NOTIFY_SOCKET names (a path, or "@name" in the abstract namespace). A send
// never blocks: a manager that does not take it at once has the send fail, and the program goes
// on. Without NOTIFY_SOCKET (a program started by hand) there is no manager and nothing is sent.
// On Windows the manager is the service control manager of a program run as a service
// (ForService): the same states become its SERVICE_STATUS (scm_status.h); otherwise there is
// none. Threading: one owner.
#pragma once

#include <chrono>
#include <string>

#include "scm_status.h"
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
#ifdef _WIN32
    // The service control manager of the service `name`, through its status handle (a
    // SERVICE_STATUS_HANDLE, which the system owns); told START_PENDING at once.
    static ServiceManager ForService(std::string name, void* statusHandle);
    // The last word to the service control manager of the status handle `statusHandle`:
    // STOPPED with `exitStatus`.
    static void TellStopped(void* statusHandle, int exitStatus);
#endif
    ~ServiceManager();
    ServiceManager(ServiceManager&& other) noexcept;
    ServiceManager& operator=(ServiceManager&& other) noexcept;

    bool Present() const {
        return !socket_.empty();
    }
    // The notify socket; on Windows the service's name.
    const std::string& Socket() const {
        return socket_;
    }
    // How often the manager wants "WATCHDOG=1"; 0 when it does not.
    std::chrono::microseconds Watchdog() const {
        return watchdog_;
    }

    // Sends `state` ("READY=1", or several lines) in one datagram; ok without a manager. Not
    // ok, with why, when the socket cannot be reached or does not take it at once.
    Status Tell(const std::string& state);

  private:
    std::string socket_;
    std::chrono::microseconds watchdog_{0};
    int fd_ = -1;  // the sending socket, made at the first Tell
#ifdef _WIN32
    void* statusHandle_ = nullptr;  // with socket_ the service's name
    ScmProgress progress_;
#endif
};

}  // namespace qvlink
