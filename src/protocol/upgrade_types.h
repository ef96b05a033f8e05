// The vocabulary shared by the upgrade engine and whoever hosts it: the result codes a run
// ends with, the status reports it makes on the way, and the flags the two threads share.
#pragma once

#include <atomic>
#include <cstdint>

#include "stop_wake.h"

namespace qvlink {

// The code a run ends with. Success and burn failure have one code per protocol.
enum UpgradeResult : int {
    BULK_COMPLETED = 0,
    DEVICE_CHECKSUM_ERROR = 3,
    DEVICE_MEMORY_ERROR = 4,
    DEVICE_SDRAM_ERROR = 5,
    USER_ABORT = 253,
    BULK_BURN_ERROR = 254,
    UNKNOWN_ERROR = 255,  // known to the dialog; no run ends with it
    BLOCK_COMPLETED = 1000,
    TIME_OUT = 1001,  // known to the dialog; no run ends with it
    RECEIVER_ABORT = 1002,
    TRANSFER_ERROR = 1004,  // known to the dialog; no run ends with it
    BLOCK_BURN_ERROR = 1005,
    UPGRADE_ERROR = 1006,  // the run could not get what it needs (its buffers, an image)
    PORT_LOST = 1007,      // the line went away (the device was removed or the peer closed)
};

// Whether `result` means the receiver has the new firmware.
constexpr bool Succeeded(UpgradeResult result) {
    return result == BULK_COMPLETED || result == BLOCK_COMPLETED;
}

enum StatusReportKind : std::int32_t {
    STATUS_READY = 0,
    STATUS_WAITING = 1,
    STATUS_TRANSFER = 2,  // percentage, and on the bulk path a count of a total
    STATUS_BURN = 3,      // percentage
};

// -1 marks an absent value.
struct StatusReport {
    std::int32_t kind = STATUS_READY;
    std::int32_t percentage = -1;
    std::int32_t count = -1;
    std::int32_t total = -1;

    friend bool operator==(const StatusReport&, const StatusReport&) = default;
};

// The state a run shares with the thread that started it.
struct RunFlags {
    std::atomic<int> abortRequested{0};  // set by the operator's stop; every wait of a run polls it
    std::atomic<int> workerIdle{1};  // 0 from the start of a run until after its result is posted
    std::atomic<int> elapsedSeconds{0};  // reset when a run starts; advanced by the host's clock
    StopWake stopWake;  // raised with the stop, so that a waiting run wakes at once

    // The operator's stop. Only an atomic store and a wake: a signal handler may call it.
    void RequestStop() {
        abortRequested.store(1);
        stopWake.Raise();
    }
};

}  // namespace qvlink
