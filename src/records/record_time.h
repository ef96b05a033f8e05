// Times an operator gives and reads: a time typed for a report, taken as a record time
// (utc_time.h), and a record time shown on the station's own clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "status.h"

namespace qvlink::records {

// A time an operator gives, in UTC: "2025-03-01", "2025-03-01T12:00", "2025-03-01 12:00:30",
// with or without a final "Z", put in `*time` as a record time ("2025-03-01T12:00:00Z"). Usage,
// with the forms it takes in words, when `text` is no such time.
Status ReadUtcTime(std::string_view text, std::string* time);

// "14:05" on this computer's clock.
std::string LocalHourMinute(std::int64_t utcMicros);

}  // namespace qvlink::records
