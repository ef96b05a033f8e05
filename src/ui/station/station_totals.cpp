#include "station_totals.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace qvlink {

void StationTotals::AddCompletedSeconds(const std::vector<double>& seconds) {
    for (double s : seconds)
        seconds_.insert(std::upper_bound(seconds_.begin(), seconds_.end(), s), s);
}

double StationTotals::PerHour() const {
    if (servingSeconds_ < 60) return 0;
    return completed_ * 3600.0 / servingSeconds_;
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

std::string StationTotals::PerHourText() const {
    if (servingSeconds_ < 60) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f per hour", PerHour());
    return text;
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

}  // namespace qvlink
