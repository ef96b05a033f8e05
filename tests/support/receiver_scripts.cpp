#include "receiver_scripts.h"

#include "protocol_bytes.h"

namespace qvlink::test {

using Bytes = ScriptedLine::Bytes;

Bytes FullBurn() {
    Bytes burn;
    for (int b = BURN_PROGRESS_FIRST; b <= BURN_PROGRESS_LAST; ++b)
        burn.push_back(static_cast<std::uint8_t>(b));
    burn.push_back(BURN_DONE);
    return burn;
}

void PlayBlockReceiver(ScriptedLine& line, std::uint8_t startByte, const Bytes& burnBytes) {
    line.Queue({startByte});
    line.onWrite = [burnBytes](ScriptedLine& l, const Bytes& written) {
        if (written.size() == BLOCK_SIZE_SUM || written.size() == BLOCK_SIZE_CRC) {
            l.Queue({ACK});
        } else if (written == Bytes{EOT}) {
            l.Queue({ACK});
            l.Queue(burnBytes);
        }
    };
}

void PlayBulkReceiver(ScriptedLine& line, std::uint8_t verdict, const Bytes& burnBytes) {
    line.Queue({BULK_REQUEST});
    line.onWrite = [verdict, burnBytes, chunks = 0](ScriptedLine& l, const Bytes& written) mutable {
        if (written == Bytes{BULK_ACCEPT}) {
            l.Queue({BULK_READY});
        } else if (written == Bytes{BULK_GO}) {
            l.Queue({CHUNK_ACK});
        } else if (written.size() == CHUNK_SIZE) {
            ++chunks;
            l.Queue({CHUNK_ACK});
        } else if (written.size() == 1 && chunks == CHUNK_COUNT) {
            l.Queue({CHUNK_ACK, verdict});
            l.Queue(burnBytes);
        }
    };
}

std::vector<Bytes> BlocksWritten(const ScriptedLine& line) {
    std::vector<Bytes> blocks;
    for (const auto& w : line.writes)
        if (w.size() == BLOCK_SIZE_SUM || w.size() == BLOCK_SIZE_CRC) blocks.push_back(w);
    return blocks;
}

}  // namespace qvlink::test
