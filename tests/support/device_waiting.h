// A waiter of a DeviceWatch on a thread of its own, as a port's thread waits: the tests of the
// watch on every platform start one per awaited path. It stops its wait when it goes.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "device_watch.h"

namespace qvlink::test {

struct DeviceWaiting {
    DeviceWaiting(DeviceWatch& watch, const std::string& path)
        : result(std::async(std::launch::async, [&watch, path, this] {
              return watch.AwaitDevice(path, stop, stopped);
          })) {}
    ~DeviceWaiting() { Stop(); }
    void Stop() {
        stopped.store(true);
        stop.Raise();
    }
    // Whether it is still waiting after `ms`.
    bool StillWaitsAfter(int ms) {
        return result.wait_for(std::chrono::milliseconds(ms)) == std::future_status::timeout;
    }
    DeviceWatch::Wait Outcome() {
        // A look a second; a busy machine may take longer, never this long.
        if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            ADD_FAILURE() << "the waiter was never woken";
            Stop();
        }
        return result.get();
    }

    StopWake stop;
    std::atomic<bool> stopped{false};
    std::future<DeviceWatch::Wait> result;
};

}  // namespace qvlink::test
