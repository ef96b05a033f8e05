#include "run_context.h"

#include <new>

namespace qvlink {

std::unique_ptr<std::uint8_t[]> AllocateBlockBuffer() {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[BLOCK_SIZE_CRC]);
}

int SendBytes(RunContext& context, const std::uint8_t* bytes, std::uint16_t count) {
    return context.port->Write(bytes, count);
}

bool PollByte(RunContext& context, std::uint8_t& byte) {
    // Read hands back only what has arrived, so it doubles as the test for a queued byte.
    if (context.port->Read(&byte, 1) == 1) return true;
    if (context.port->WaitForInput(WAIT_BOUND_MS, context.flags->stopWake) == LineWait::Lost)
        context.lineLost = true;
    return false;
}

}  // namespace qvlink
