// The bulk protocol: after a ready/go exchange the 1 MiB of image data (payload bytes 12 on)
// goes out as 256 chunks of 4096 bytes, each acknowledged with 'f', then a one-byte checksum;
// the receiver's verdict follows, then the burn phase. A stop sends nothing to the receiver.
#pragma once

#include <optional>

#include "run_context.h"

namespace qvlink {

// Returns BULK_COMPLETED, DEVICE_CHECKSUM_ERROR, DEVICE_MEMORY_ERROR, DEVICE_SDRAM_ERROR,
// BULK_BURN_ERROR, USER_ABORT or PORT_LOST.
UpgradeResult RunBulkTransfer(RunContext& context);

// Waits for CHUNK_ACK, discarding other bytes: true when it came, false on a stop or a lost
// line.
bool WaitChunkAck(RunContext& context);

// The result a verdict byte ends the run with: 3, 4 and 5 name the receiver's error; any
// other byte accepts the data (nullopt) and the burn begins.
std::optional<UpgradeResult> VerdictResult(std::uint8_t verdict);

// The transfer percentage shown after chunk `k` (from 0) was acknowledged: the bytes sent
// before it over 1,048,577, so it stays at 99 or below until the checksum is acknowledged.
int BulkPercentage(int k);

}  // namespace qvlink
