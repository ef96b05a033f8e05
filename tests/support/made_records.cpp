#include "made_records.h"

#include "record_line.h"

namespace qvlink::test {

std::string MadeRecordLine(long index, const std::string& station, int ports) {
    using namespace qvlink::station;
    const RecordSource source{"qvlink-cli", "1.1", "bench-host", station};
    static const UpgradeResult results[] = {BLOCK_COMPLETED, BLOCK_COMPLETED,       BULK_COMPLETED,
                                            BLOCK_COMPLETED, BLOCK_BURN_ERROR,      BLOCK_COMPLETED,
                                            RECEIVER_ABORT,  BLOCK_COMPLETED,       PORT_LOST,
                                            BULK_COMPLETED,  DEVICE_CHECKSUM_ERROR, USER_ABORT};
    const FirmwareFacts firmware{"quorvane.bin", 1048614, 0x699CCCF0, std::string(64, 'a')};
    const WallTime first =
        std::chrono::sys_days{std::chrono::year{2026} / 1 / 5} + std::chrono::hours{6};
    ReceiverRecord receiver;
    receiver.port = "COM" + std::to_string(index % ports + 1);
    receiver.device = "/dev/ttyS" + std::to_string(index % ports);
    receiver.receiver = static_cast<int>(index / ports + 1);
    receiver.result = results[(index * 5 + index / ports) % (sizeof results / sizeof results[0])];
    receiver.facts.present = true;
    receiver.facts.protocol = TransferProtocol::BlockCrc;
    receiver.facts.start = first + std::chrono::seconds(7 * index);
    receiver.facts.end = receiver.facts.start + std::chrono::seconds(23);
    receiver.facts.phase = Succeeded(receiver.result)            ? Phase::Done
                           : receiver.result == BLOCK_BURN_ERROR ? Phase::Burn
                                                                 : Phase::Transfer;
    return RecordLine(source, firmware, receiver);
}

}  // namespace qvlink::test
