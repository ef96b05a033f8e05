// The wait before the next try after a failure, spread at random: many stations refused at the
// same moment (a server restarted, every connection taken) come back over the whole wait, not
// all in the same second. A pure function; any thread.
#pragma once

#include <chrono>
#include <cstdint>

namespace qvlink::records {

// A wait in (span / 2, span] where `draw` (any 64-bit number; a random one in use) puts it;
// neighbouring draws land far apart. A span under 2 ms is returned as it is.
std::chrono::milliseconds SpreadBackOff(std::chrono::milliseconds span, std::uint64_t draw);

}  // namespace qvlink::records
