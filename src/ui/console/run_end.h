// How a run of qvlink-cli ends for its caller: the closing summary over several ports, and the
// exit status that stands for what the station's run came to.
#pragma once

#include <string>
#include <vector>

#include "follow_up.h"
#include "station_totals.h"

namespace qvlink::cli {

inline constexpr int EXIT_DEVICE_FAILURE = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_REFUSED = 3;
inline constexpr int EXIT_NO_PORT = 4;
inline constexpr int EXIT_STOPPED = 130;

int ExitStatus(station::Verdict verdict);

// The summary's lines, each ending in a newline: per port, the receivers that completed, those
// that failed (by result, a receiver's cancel among them) and those stopped, and an end the
// operator must look into; then the station's totals with their rate and times.
std::string SummaryText(const std::vector<station::PortSummary>& ports,
                        const station::StationTotals& totals);

}  // namespace qvlink::cli
