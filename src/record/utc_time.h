// The record's times as text: UTC with milliseconds, "2025-03-01T12:34:56.789Z", as a line
// writes them and as the database takes them.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvlink::record {

// `time` as a record writes it: "2025-03-01T12:34:56.789Z".
std::string IsoTime(std::chrono::system_clock::time_point time);

// Microseconds since 1970 (UTC) of a record time (years 0001 to 9999, up to 6 digits of
// fraction); none if `text` is not one or is one the database would refuse.
std::optional<std::int64_t> UtcMicros(std::string_view text);

}  // namespace qvlink::record
