#include "burn_phase.h"

#include <algorithm>

#include "protocol_bytes.h"

namespace qvlink {

int BurnPercentage(std::uint8_t progressByte) {
    return std::min(100, (progressByte * 100 - 12700) / 16);
}

UpgradeResult FollowBurn(RunContext& context, UpgradeResult doneResult,
                         UpgradeResult failedResult) {
    for (;;) {
        std::uint8_t byte = 0;
        if (PollByte(context, byte)) {
            if (byte >= BURN_PROGRESS_FIRST && byte <= BURN_PROGRESS_LAST) {
                context.host->ReportStatus({STATUS_BURN, BurnPercentage(byte), -1, -1});
            } else if (byte == BURN_DONE) {
                context.host->ReportStatus({STATUS_BURN, 100, -1, -1});
                return doneResult;
            } else if (byte == BURN_FAILED) {
                return failedResult;
            }
        }
        if (context.StopRequested()) return context.StopResult();
    }
}

}  // namespace qvlink
