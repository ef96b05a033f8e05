// How a front end is told what a station's ports do, as it happens. Every call comes on a port's
// own thread or its run's worker thread, several ports at once, and must return at once: a
// front end queues what it needs and draws it on a thread of its own. Snapshots
// (Station::View) give the whole state of the ports at any time. The station hands over facts;
// the words are the front end's, from port_words.h.
#pragma once

#include <cstddef>
#include <string>

#include "port_snapshot.h"
#include "upgrade_types.h"

namespace qvlink::station {

class StationObserver {
  public:
    virtual ~StationObserver() = default;
    // A run's new status; `elapsedSeconds` is -1 before contact.
    virtual void OnReport(std::size_t /*port*/, const StatusReport&, int /*elapsedSeconds*/) {}
    // The time since contact moved on (about once a second while a receiver is in contact).
    virtual void OnTick(std::size_t /*port*/, int /*elapsedSeconds*/) {}
    // A receiver's result; ResultLabel says it in the operator's word ("Upgrade Completed",
    // "Stopped").
    virtual void OnResult(std::size_t /*port*/, UpgradeResult) {}
    // Something the operator must read about the port; NoteText says it in words.
    virtual void OnNote(std::size_t /*port*/, const PortNote& /*note*/) {}
    // The port's line went away and it waits for its device to come back (WordOf says so); an
    // OnReport follows once it serves again.
    virtual void OnAwaitingPort(std::size_t /*port*/) {}
    // The port has stopped serving receivers, for `end`; its snapshot holds the rest.
    virtual void OnPortEnded(std::size_t /*port*/, PortEnd /*end*/) {}
};

}  // namespace qvlink::station
