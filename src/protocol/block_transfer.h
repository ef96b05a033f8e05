// The block protocol, an XMODEM-1K variant: the first TRANSFER_SIZE payload bytes go out as
// 1025 numbered 1024-byte blocks, each acknowledged, then EOT, then the burn phase. One block
// is outstanding and the next is built in advance; a resend sends the kept bytes unchanged.
#pragma once

#include <cstdint>

#include "run_context.h"

namespace qvlink {

// How sending, or waiting for an answer, ended inside the block protocol: done, cancelled by
// the receiver (two CAN in a row), or stopped by the operator (after sending CAN CAN).
enum class SendOutcome { Done, Cancelled, Stopped };

enum class CheckMode { Sum8, Crc16 };

// Runs the protocol after the handshake accepted `startByte` (NAK or 'C'). Returns
// BLOCK_COMPLETED, BLOCK_BURN_ERROR, RECEIVER_ABORT, USER_ABORT or PORT_LOST.
UpgradeResult RunBlockTransfer(RunContext& context, std::uint8_t startByte);

// Sends every block and the EOT.
SendOutcome SendImageBlocks(RunContext& context, std::uint8_t startByte);

// Waits for ACK, NAK or 'C' (stored in `answer`, Done). Two CAN in a row give Cancelled; a
// stop sends CAN CAN and gives Stopped.
SendOutcome WaitBlockResponse(RunContext& context, std::uint8_t& answer);

// Writes block `number` with the transfer bytes from `position` into `buffer` (1028 or 1029
// bytes) and returns how many transfer bytes it holds; 0 at the end of the transfer.
int BuildBlock(const std::uint8_t* image, std::size_t position, std::uint8_t number,
               std::uint8_t* buffer, CheckMode mode);

// Copies up to `length` transfer bytes from `position`, fewer where the transfer ends.
std::uint16_t CopyImageSlice(const std::uint8_t* image, std::size_t position,
                             std::uint8_t* destination, std::uint16_t length);

}  // namespace qvlink
