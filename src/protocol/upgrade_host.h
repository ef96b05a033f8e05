// What a run needs from the program that hosts it (the dialog, or the command-line flasher).
// The host owns the image and the port; a run borrows them from its start to its posted result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serial_line.h"
#include "upgrade_types.h"

namespace qvlink {

class UpgradeHost {
  public:
    virtual ~UpgradeHost() = default;

    // The payload to send and its length; unchanged while a run is active.
    virtual const std::uint8_t* Image() const = 0;
    virtual std::size_t ImageSize() const = 0;
    // The open line to the receiver.
    virtual SerialLine& Port() = 0;
    virtual RunFlags& Flags() = 0;

    // Called on the worker thread; must not wait for the host's own thread, so that a stop
    // that holds that thread can never keep a run from ending. Reports apply in call order.
    virtual void ReportStatus(const StatusReport& report) = 0;
    // Called on the worker thread once per run, when the receiver really begins a transfer.
    virtual void NotifyConnected() = 0;
    // Called on the worker thread exactly once per run, with the run's result. Must not block.
    virtual void PostResult(int result) = 0;
};

}  // namespace qvlink
