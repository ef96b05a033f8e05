// What a station's receivers came to, kept by the station itself as its ports' events happen:
// the counts, each completed receiver's time and how long the station has served. Every change
// of a port's state passes through Apply, under the ledger's lock, so that a View taken under
// the same lock shows every port and the totals at one moment: a board or a header never shows
// totals that disagree with the rows above them.
// Threading: Apply from the ports' threads, View and Totals from any thread; the figures are
// guarded by the ledger's mutex. Lock order: the ledger's, then a port's.
#pragma once

#include <functional>
#include <vector>

#include "annotated_mutex.h"
#include "port_state.h"
#include "station_clock.h"
#include "station_totals.h"

namespace qvlink::station {

class StationLedger {
  public:
    // `clock` must outlive the ledger.
    explicit StationLedger(const StationClock& clock) : clock_(clock) {}

    // Runs `change` (which applies `event` to a port's state under the port's own lock) and
    // takes what the event means for the totals, all under the ledger's lock.
    PortEnd Apply(const PortEvent& event, const std::function<PortEnd()>& change)
        QV_EXCLUDES(mutex_);
    // `snapshot(i)` for each of `ports` ports and the totals, at one moment.
    std::vector<PortSnapshot> View(std::size_t ports,
                                   const std::function<PortSnapshot(std::size_t)>& snapshot,
                                   StationTotals* totals) const QV_EXCLUDES(mutex_);
    StationTotals Totals() const QV_EXCLUDES(mutex_);

  private:
    StationTotals TotalsLocked() const QV_REQUIRES(mutex_);

    const StationClock& clock_;
    mutable Mutex mutex_;
    StationTotals totals_ QV_GUARDED_BY(mutex_);
    int serving_ QV_GUARDED_BY(mutex_) = 0;  // ports serving receivers now
    Moment servingSince_ QV_GUARDED_BY(mutex_){};
    double servedSeconds_ QV_GUARDED_BY(mutex_) = 0;  // before servingSince_
};

}  // namespace qvlink::station
