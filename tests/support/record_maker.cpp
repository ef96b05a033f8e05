// record_maker: writes record lines as the stations write them, for the tests and the benchmark
// of the record database. record_maker COUNT [STATION [PORTS]] prints COUNT lines to stdout:
// receivers spread over PORTS ports (COM1..), one every few seconds from 2026-01-05 06:00 UTC,
// most completed, some failed, cancelled or stopped, in a fixed order.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "record_line.h"

using namespace qvlink;
using namespace qvlink::station;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: record_maker COUNT [STATION [PORTS]]\n");
        return 2;
    }
    const long count = std::atol(argv[1]);
    const std::string stationName = argc > 2 ? argv[2] : "line-1";
    const int ports = argc > 3 ? std::atoi(argv[3]) : 4;
    const RecordSource source{"qvlink-cli", "1.1", "bench-host", stationName};
    const UpgradeResult results[] = {BLOCK_COMPLETED, BLOCK_COMPLETED,       BULK_COMPLETED,
                                     BLOCK_COMPLETED, BLOCK_BURN_ERROR,      BLOCK_COMPLETED,
                                     RECEIVER_ABORT,  BLOCK_COMPLETED,       PORT_LOST,
                                     BULK_COMPLETED,  DEVICE_CHECKSUM_ERROR, USER_ABORT};
    const FirmwareFacts firmware{"quorvane.bin", 1048614, 0x699CCCF0, std::string(64, 'a')};
    const WallTime first =
        std::chrono::sys_days{std::chrono::year{2026} / 1 / 5} + std::chrono::hours{6};
    for (long i = 0; i < count; ++i) {
        ReceiverRecord receiver;
        receiver.port = "COM" + std::to_string(i % ports + 1);
        receiver.device = "/dev/ttyS" + std::to_string(i % ports);
        receiver.receiver = static_cast<int>(i / ports + 1);
        receiver.result = results[(i * 5 + i / ports) % (sizeof results / sizeof results[0])];
        receiver.facts.present = true;
        receiver.facts.protocol = TransferProtocol::BlockCrc;
        receiver.facts.start = first + std::chrono::seconds(7 * i);
        receiver.facts.end = receiver.facts.start + std::chrono::seconds(23);
        receiver.facts.phase = Succeeded(receiver.result)            ? Phase::Done
                               : receiver.result == BLOCK_BURN_ERROR ? Phase::Burn
                                                                     : Phase::Transfer;
        std::puts(RecordLine(source, firmware, receiver).c_str());
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
