#include "bulk_transfer.h"

#include "burn_phase.h"
#include "check_codes.h"
#include "protocol_bytes.h"

namespace qvlink {
namespace {

constexpr int BULK_REPORT_TOTAL = CHUNK_COUNT + 1;  // the chunks and the checksum

}  // namespace

int BulkPercentage(int k) {
    return static_cast<int>(static_cast<long long>(k) * 409600 / 1048577);
}

bool WaitChunkAck(RunContext& context) {
    for (;;) {
        if (context.StopRequested()) return false;
        std::uint8_t byte = 0;
        if (PollByte(context, byte) && byte == CHUNK_ACK) return true;
    }
}

std::optional<UpgradeResult> VerdictResult(std::uint8_t verdict) {
    switch (verdict) {
        case 3:
            return DEVICE_CHECKSUM_ERROR;
        case 4:
            return DEVICE_MEMORY_ERROR;
        case 5:
            return DEVICE_SDRAM_ERROR;
        default:
            return std::nullopt;
    }
}

UpgradeResult RunBulkTransfer(RunContext& context) {
    const std::uint8_t* data = context.image + BULK_DATA_OFFSET;
    const std::uint8_t checksum = BulkChecksum(data);

    for (;;) {
        std::uint8_t byte = 0;
        if (PollByte(context, byte) && byte == BULK_READY) break;
        if (context.StopRequested()) return context.StopResult();
    }
    SendBytes(context, &BULK_GO, 1);
    context.host->NotifyConnected();
    context.host->ReportStatus({STATUS_TRANSFER, 0, 0, BULK_REPORT_TOTAL});
    if (!WaitChunkAck(context)) return context.StopResult();

    for (int k = 0; k < CHUNK_COUNT; ++k) {
        SendBytes(context, data + static_cast<std::size_t>(k) * CHUNK_SIZE, CHUNK_SIZE);
        if (!WaitChunkAck(context) || context.StopRequested()) return context.StopResult();
        context.host->ReportStatus({STATUS_TRANSFER, BulkPercentage(k), k + 1, BULK_REPORT_TOTAL});
    }
    SendBytes(context, &checksum, 1);
    if (!WaitChunkAck(context)) return context.StopResult();
    context.host->ReportStatus({STATUS_TRANSFER, 100, BULK_REPORT_TOTAL, BULK_REPORT_TOTAL});

    std::uint8_t verdict = 0;
    while (!PollByte(context, verdict)) {
        if (context.StopRequested()) return context.StopResult();
    }
    if (const auto refused = VerdictResult(verdict)) return *refused;
    context.host->ReportStatus({STATUS_BURN, 0, -1, -1});
    return FollowBurn(context, BULK_COMPLETED, BULK_BURN_ERROR);
}

}  // namespace qvlink
