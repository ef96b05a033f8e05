// The record's times: UTC, written "2025-03-01T12:34:56.789Z". Reading them back, reading a time
// an operator types, and showing one on the station's own clock.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "status.h"

namespace qvlink::records {

// Microseconds since 1970 (UTC) of a record time (years 0001 to 9999); none if `text` is not one.
std::optional<std::int64_t> UtcMicros(std::string_view text);

// A time an operator gives, in UTC: "2025-03-01", "2025-03-01T12:00", "2025-03-01 12:00:30",
// with or without a final "Z", put in `*time` as a record time ("2025-03-01T12:00:00Z"). Usage,
// with the forms it takes in words, when `text` is no such time.
Status ReadUtcTime(std::string_view text, std::string* time);

// "14:05" on this computer's clock.
std::string LocalHourMinute(std::int64_t utcMicros);

}  // namespace qvlink::records
