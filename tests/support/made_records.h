// Record lines as the stations write them, for the tests and the benchmark of the record
// database: receiver `index` of a station with `ports` ports (COM1..), one every 7 s from
// 2026-01-05 06:00 UTC, most completed, some failed, cancelled or stopped, in a fixed order.
// Each line has its own random record id, as a station's has.
#pragma once

#include <string>

namespace qvlink::test {

std::string MadeRecordLine(long index, const std::string& station, int ports = 4);

}  // namespace qvlink::test
