#include "handshake.h"

#include "block_transfer.h"
#include "bulk_transfer.h"
#include "protocol_bytes.h"

namespace qvlink {

UpgradeResult Handshake(RunContext& context) {
    for (;;) {
        std::uint8_t byte = 0;
        // A dispatch byte already queued is answered even when a stop has just been asked
        // for; the protocol's first wait then ends the run. A receiver may take hours to come:
        // the wait sleeps until its byte, a stop or a lost line, and never wakes for nothing.
        if (PollByte(context, byte, WAIT_UNBOUNDED)) {
            if (byte == BULK_REQUEST) {
                context.host->NotifyProtocol(TransferProtocol::Bulk);
                SendBytes(context, &BULK_ACCEPT, 1);
                return RunBulkTransfer(context);
            }
            if (byte == NAK || byte == START_CRC) {
                context.host->NotifyProtocol(byte == START_CRC ? TransferProtocol::BlockCrc
                                                               : TransferProtocol::BlockSum);
                SendBytes(context, &BLOCK_ACCEPT, 1);
                return RunBlockTransfer(context, byte);
            }
            if (byte == CAN) return RECEIVER_ABORT;
        }
        if (context.StopRequested()) return context.StopResult();
    }
}

}  // namespace qvlink
