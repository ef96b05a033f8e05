// The burn phase both protocols end with: the receiver writes the image into its flash and
// reports progress steps until it reports success or failure.
#pragma once

#include <cstdint>

#include "run_context.h"

namespace qvlink {

// The percentage of a BURN_PROGRESS byte (0x80..0x8F gives 6..100); at most 100.
int BurnPercentage(std::uint8_t progressByte);

// Follows the burn until BURN_DONE (reports 100, returns `doneResult`), BURN_FAILED (returns
// `failedResult`) or the stop request (returns USER_ABORT, or PORT_LOST on a lost line; sends
// nothing). Other bytes are ignored.
UpgradeResult FollowBurn(RunContext& context, UpgradeResult doneResult, UpgradeResult failedResult);

}  // namespace qvlink
