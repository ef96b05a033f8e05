// How a run of qvlink-cli ends for its caller: the closing summary over several ports, and the
// exit status that stands for what the station's run came to.
#pragma once

#include <string>
#include <vector>

#include "follow_up.h"

namespace qvlink::cli {

inline constexpr int EXIT_DEVICE_FAILURE = 1;
inline constexpr int EXIT_USAGE = 2;
inline constexpr int EXIT_REFUSED = 3;
inline constexpr int EXIT_NO_PORT = 4;
inline constexpr int EXIT_STOPPED = 130;

int ExitStatus(station::Verdict verdict);

// The summary's lines, each ending in a newline: per port and in total, the receivers that
// completed, those that failed (by result), the receivers' own cancels and those stopped.
std::string SummaryText(const std::vector<station::PortSummary>& ports);

}  // namespace qvlink::cli
