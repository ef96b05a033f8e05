#include "run_context.h"

#include <new>

namespace qvlink {

std::unique_ptr<std::uint8_t[]> AllocateBlockBuffer() {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[BLOCK_SIZE_CRC]);
}

int SendBytes(RunContext& context, const std::uint8_t* bytes, std::uint16_t count) {
    return context.port->Write(bytes, count);
}

bool PollByte(RunContext& context, std::uint8_t& byte, int timeoutMs) {
    // Read hands back only what has arrived, so it doubles as the test for a queued byte.
    // Waiting first costs nothing when a byte is queued, and spares the read that would find
    // nothing each time the receiver has yet to answer.
    const LineWait wait = context.port->WaitForInput(timeoutMs, context.flags->stopWake);
    if (wait == LineWait::Lost) context.lineLost = true;
    return wait == LineWait::Input && context.port->Read(&byte, 1) == 1;
}

}  // namespace qvlink
