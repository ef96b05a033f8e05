// The totals over every port of a station: receivers completed and failed (as CountedAs counts
// them), the rate per hour of serving, and the time a receiver that completed took (mean and
// 95th percentile). The station keeps them as its receivers finish (StationLedger); the station
// window's header, qvlink-cli's board and its summary show these figures in these words. Plain
// numbers in, texts out; a value, not thread-safe (one owner).
#pragma once

#include <string>
#include <vector>

#include "follow_up.h"
#include "port_snapshot.h"

namespace qvlink::station {

// The totals as the operator reads them: "12", "3", "12.5 per hour", "1 min 05 s", "58 s";
// "-" where there is no figure yet.
struct TotalsText {
    std::string completed, failed, perHour, meanTime, p95Time;
    friend bool operator==(const TotalsText&, const TotalsText&) = default;
};

class StationTotals {
  public:
    // One receiver counted (as CountedAs counts it); `seconds`, from its announcement to its
    // result, is its time when it completed.
    void Add(Counted counted, UpgradeResult result, double seconds);
    // Each completed receiver's time from its announcement to its result, in seconds.
    void AddCompletedSeconds(const std::vector<double>& seconds);
    // The counts as they stand now, summed over every port.
    void SetCounts(const PortCounts& total) { counts_ = total; }
    // The seconds the station has been serving receivers so far.
    void SetServingSeconds(double seconds) { servingSeconds_ = seconds; }

    const PortCounts& Counts() const { return counts_; }
    int Completed() const { return counts_.completed; }
    int Failed() const { return counts_.Failed(); }
    // Completed receivers per hour of serving; 0 before a minute of serving has passed.
    double PerHour() const;
    double MeanSeconds() const;  // 0 when none completed
    // The time within which 95 % of the completed receivers finished (nearest rank).
    double P95Seconds() const;

    TotalsText Text() const;
    // "completed 12  failed 3   12.5 per hour   mean 1 min 05 s   95 % within 1 min 20 s": the
    // totals on one line, for the board and (with the failures' `causes`) the summary; a figure
    // that is not there yet is left out.
    std::string Line(bool causes = false) const;
    static std::string DurationText(double seconds);

  private:
    std::vector<double> seconds_;  // kept sorted
    PortCounts counts_;
    double servingSeconds_ = 0;
};

}  // namespace qvlink::station
