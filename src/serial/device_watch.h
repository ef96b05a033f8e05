// Wakes the ports of a station whose devices went away once each device may be back: one
// watcher for the whole station, so that 128 waiting ports cost one thread and at most one check
// a second between them, never a thread or a timer each. A device is back when its path (a
// kernel name such as /dev/ttyUSB7, or a /dev/serial/by-path link) leads to a device again; the
// waiting port then opens it itself, and waits again when that fails.
// How it learns: on Linux it follows udev's tty events where udev runs (its control socket
// exists); on Windows 8 and later the configuration manager's notices of COM port interfaces
// that arrive (a location path, see port_names.h, is there while a COM port is plugged in at
// it). A device that is there when its waiter comes (held by another program, say) is looked at
// again once a second. Where no events come (no udev in a container or on CI; Windows 7; Wine),
// every awaited path is looked at once a second.
// Threading: AwaitDevice from any number of threads at once; the watcher's own thread starts at
// the first wait and sleeps while nobody waits. The waiters are guarded by mutex_.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "annotated_mutex.h"
#include "stop_wake.h"

namespace qvlink {

class DeviceWatch {
  public:
    DeviceWatch();
    // Every AwaitDevice must have returned.
    ~DeviceWatch();
    DeviceWatch(const DeviceWatch&) = delete;
    DeviceWatch& operator=(const DeviceWatch&) = delete;

    enum class Wait { Back, Stopped };
    // Sleeps until `path` leads to a device on a look after this call (a device event, or the
    // look every second), or until `stop` is raised or `stopped` holds (Stopped). A path that
    // is there at the call is not back before the next look, so a caller that cannot open it
    // tries again at most about once a second. Returns at once when `stop` is raised already.
    Wait AwaitDevice(const std::string& path, const StopWake& stop,
                     const std::atomic<bool>& stopped);

    // Whether device events are followed (udev; the configuration manager's notices on
    // Windows); else every awaited path is looked at once a second. Known after the first
    // AwaitDevice; false before.
    bool FollowsEvents() const { return followsEvents_.load(); }

    // How often a path is looked at without events.
    static constexpr std::chrono::milliseconds LOOK_EVERY{1000};

  private:
    struct Events;  // platform part: the device event source, when there is one
    struct EventsDeleter {
        void operator()(Events* events) const;
    };
    struct Waiter {
        std::string path;
        StopWake back;       // raised by the watcher once the path leads to a device
        bool timed = false;  // looked at every second (no events, or there at the call)
        bool isBack = false;
    };
    enum class Woken { Stop, Back, Time };

    bool StartLocked() QV_REQUIRES(mutex_);
    void Loop();

    // Platform parts. The event source, or null where there is none.
    static std::unique_ptr<Events, EventsDeleter> OpenEvents();
    // Sleeps until `changed` is raised, a device event comes (true, the events drained) or
    // `timeoutMs` (-1: no bound) has passed.
    static bool AwaitEvent(Events* events, const StopWake& changed, int timeoutMs);
    // Whether `path` leads to a device now.
    static bool DevicePresent(const std::string& path);
    // Sleeps until `stop` or `back` is raised or `timeoutMs` (-1: no bound) has passed; where a
    // wake has no handle, for 50 ms at most.
    static Woken AwaitWakes(const StopWake& stop, const StopWake& back, int timeoutMs);

    std::unique_ptr<Events, EventsDeleter> events_;  // the watcher's thread only, once started
    std::atomic<bool> followsEvents_{false};
    StopWake changed_;  // raised when a waiter comes or the watch ends
    Mutex mutex_;
    std::vector<Waiter*> waiters_ QV_GUARDED_BY(mutex_);
    bool started_ QV_GUARDED_BY(mutex_) = false;
    bool ending_ QV_GUARDED_BY(mutex_) = false;
    std::thread thread_;  // started under mutex_, joined by the destructor
};

}  // namespace qvlink
