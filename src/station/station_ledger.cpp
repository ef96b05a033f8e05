#include "station_ledger.h"

namespace qvlink::station {

PortEnd StationLedger::Apply(const PortEvent& event, const std::function<PortEnd()>& change) {
    MutexLock lock(mutex_);
    const PortEnd calledFor = change();
    if (const auto* taken = std::get_if<port_event::Taken>(&event)) {
        totals_.Add(taken->counted, taken->result, taken->seconds);
    } else if (std::holds_alternative<port_event::Started>(event)) {
        if (serving_++ == 0) servingSince_ = clock_.Steady();
    } else if (std::holds_alternative<port_event::Ended>(event) && serving_ > 0) {
        if (--serving_ == 0)
            servedSeconds_ +=
                std::chrono::duration<double>(clock_.Steady() - servingSince_).count();
    }
    return calledFor;
}

StationTotals StationLedger::TotalsLocked() const {
    StationTotals totals = totals_;
    const double now =
        serving_ > 0 ? std::chrono::duration<double>(clock_.Steady() - servingSince_).count() : 0;
    totals.SetServingSeconds(servedSeconds_ + now);
    return totals;
}

std::vector<PortSnapshot> StationLedger::View(
    std::size_t ports, const std::function<PortSnapshot(std::size_t)>& snapshot,
    StationTotals* totals) const {
    MutexLock lock(mutex_);
    std::vector<PortSnapshot> view;
    view.reserve(ports);
    for (std::size_t i = 0; i < ports; ++i) view.push_back(snapshot(i));
    if (totals) *totals = TotalsLocked();
    return view;
}

StationTotals StationLedger::Totals() const {
    MutexLock lock(mutex_);
    return TotalsLocked();
}

}  // namespace qvlink::station
