// The header's totals over every port: receivers completed and failed, the rate per hour of
// serving, and the time a receiver that completed took (mean and 95th percentile). Plain
// numbers in, texts out; the panel feeds it from snapshots and the station's clock.
#pragma once

#include <string>
#include <vector>

namespace qvlink {

class StationTotals {
  public:
    // Each completed receiver's time from its announcement to its result, in seconds.
    void AddCompletedSeconds(const std::vector<double>& seconds);
    // The counts as they stand now, over every port.
    void SetCounts(int completed, int failed) {
        completed_ = completed;
        failed_ = failed;
    }
    // The seconds the station has been serving receivers so far.
    void SetServingSeconds(double seconds) { servingSeconds_ = seconds; }

    int Completed() const { return completed_; }
    int Failed() const { return failed_; }
    // Completed receivers per hour of serving; 0 before a minute of serving has passed.
    double PerHour() const;
    double MeanSeconds() const;  // 0 when none completed
    // The time within which 95 % of the completed receivers finished (nearest rank).
    double P95Seconds() const;

    // "12.5 per hour", "1 min 05 s": the header's words; "-" where there is no figure yet.
    std::string PerHourText() const;
    static std::string DurationText(double seconds);

  private:
    std::vector<double> seconds_;  // kept sorted
    int completed_ = 0;
    int failed_ = 0;
    double servingSeconds_ = 0;
};

}  // namespace qvlink
