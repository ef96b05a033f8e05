// What a run reports to the program that hosts it (a dialog, the command-line flasher): its
// progress, the receiver's first contact and its one result. What a run needs to do its work
// is handed to it at its start (RunInputs).
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial_line.h"
#include "upgrade_types.h"

namespace qvlink {

// How the receiver's announcement chose to take the image.
enum class TransferProtocol { BlockCrc, BlockSum, Bulk };

class UpgradeHost {
  public:
    virtual ~UpgradeHost() = default;

    // Called on the worker thread; must not wait for the host's own thread, so that a stop
    // that holds that thread can never keep a run from ending. Reports apply in call order.
    virtual void ReportStatus(const StatusReport& report) = 0;
    // Called on the worker thread once per run, when the receiver really begins a transfer.
    virtual void NotifyConnected() = 0;
    // Called on the worker thread once per run when the receiver's announcement has chosen the
    // protocol, before any of the image is sent. A host that keeps no record may ignore it.
    virtual void NotifyProtocol(TransferProtocol) {}
    // Called on the worker thread each time the receiver asks for the block just sent again.
    virtual void NotifyResend() {}
    // Called on the worker thread exactly once per run, with the run's result. Must not block.
    virtual void PostResult(UpgradeResult result) = 0;
};

// What a run borrows from its host from its start until its result is posted: the payload to
// send (unchanged meanwhile), the open line to the receiver, and the flags both threads share.
struct RunInputs {
    const std::uint8_t* image = nullptr;
    std::size_t imageSize = 0;
    SerialLine* line = nullptr;
    RunFlags* flags = nullptr;
};

}  // namespace qvlink
