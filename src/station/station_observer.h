// How a front end is told what a station's ports do, as it happens. Every call comes on a port's
// own thread or its run's worker thread, several ports at once, and must return at once: a
// front end queues what it needs and draws it on a thread of its own. Snapshots
// (Station::Snapshot) give the whole state of a port at any time.
#pragma once

#include <cstddef>
#include <string>

#include "upgrade_types.h"

namespace qvlink::station {

class StationObserver {
  public:
    virtual ~StationObserver() = default;
    // A run's new status; `elapsedSeconds` is -1 before contact.
    virtual void OnReport(std::size_t /*port*/, const StatusReport&, int /*elapsedSeconds*/) {}
    // The time since contact moved on (about once a second while a receiver is in contact).
    virtual void OnTick(std::size_t /*port*/, int /*elapsedSeconds*/) {}
    // A receiver's result, in the operator's word ("Upgrade Completed", "Stopped").
    virtual void OnResult(std::size_t /*port*/, UpgradeResult, const std::string& /*label*/) {}
    // Something the operator must read about the port ("cannot write the record ...").
    virtual void OnMessage(std::size_t /*port*/, const std::string& /*text*/) {}
    // The port has stopped serving receivers; its snapshot holds how it ended.
    virtual void OnPortEnded(std::size_t /*port*/) {}
};

}  // namespace qvlink::station
