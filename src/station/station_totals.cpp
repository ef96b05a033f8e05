#include "station_totals.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace qvlink::station {

void StationTotals::AddCompletedSeconds(const std::vector<double>& seconds) {
    for (double s : seconds)
        seconds_.insert(std::upper_bound(seconds_.begin(), seconds_.end(), s), s);
}

void StationTotals::Add(Counted counted, UpgradeResult result, double seconds) {
    counts_.Add(counted, result);
    if (counted == Counted::Completed) AddCompletedSeconds({seconds});
}

double StationTotals::PerHour() const {
    if (servingSeconds_ < 60) return 0;
    return counts_.completed * 3600.0 / servingSeconds_;
}

double StationTotals::MeanSeconds() const {
    if (seconds_.empty()) return 0;
    return std::accumulate(seconds_.begin(), seconds_.end(), 0.0) /
           static_cast<double>(seconds_.size());
}

double StationTotals::P95Seconds() const {
    if (seconds_.empty()) return 0;
    const auto rank =
        static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(seconds_.size())));
    return seconds_[std::max<std::size_t>(rank, 1) - 1];
}

TotalsText StationTotals::Text() const {
    TotalsText text{std::to_string(Completed()), std::to_string(Failed()), "-",
                    DurationText(MeanSeconds()), DurationText(P95Seconds())};
    if (servingSeconds_ < 60) return text;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f per hour", PerHour());
    text.perHour = rate;
    return text;
}

std::string StationTotals::Line(bool causes) const {
    const TotalsText text = Text();
    std::string line = CountsText(counts_, causes);
    if (text.perHour != "-") line.append("   ").append(text.perHour);
    if (!seconds_.empty())
        line.append("   mean ")
            .append(text.meanTime)
            .append("   95 % within ")
            .append(text.p95Time);
    return line;
}

std::string StationTotals::DurationText(double seconds) {
    if (seconds <= 0) return "-";
    const long whole = std::lround(seconds);
    char text[32];
    if (whole < 60)
        std::snprintf(text, sizeof text, "%ld s", whole);
    else
        std::snprintf(text, sizeof text, "%ld min %02ld s", whole / 60, whole % 60);
    return text;
}

}  // namespace qvlink::station
