// The context of one run: the borrowed line, image, flags and host, and the two block buffers
// the block protocol keeps its sent and its next block in. Made and destroyed on the worker
// thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "protocol_bytes.h"
#include "serial_line.h"
#include "upgrade_host.h"

namespace qvlink {

// Gives one block buffer of BLOCK_SIZE_CRC bytes, or null when none can be had.
using BlockBufferSource = std::function<std::unique_ptr<std::uint8_t[]>()>;
std::unique_ptr<std::uint8_t[]> AllocateBlockBuffer();

struct RunContext {
    RunContext(const RunInputs& inputs, UpgradeHost& runHost, const BlockBufferSource& obtainBuffer)
        : port(inputs.line),
          blockBufferA(obtainBuffer()),
          blockBufferB(obtainBuffer()),
          image(inputs.image),
          imageSize(inputs.imageSize),
          flags(inputs.flags),
          host(&runHost) {}

    bool HasBuffers() const { return blockBufferA && blockBufferB; }
    // The operator asked to stop, or the line is gone: either way every wait ends the run.
    bool StopRequested() const { return lineLost || flags->abortRequested.load() != 0; }
    // The result a run ends with when StopRequested.
    UpgradeResult StopResult() const { return lineLost ? PORT_LOST : USER_ABORT; }

    SerialLine* port;
    std::unique_ptr<std::uint8_t[]> blockBufferA;
    std::unique_ptr<std::uint8_t[]> blockBufferB;
    const std::uint8_t* image;
    std::size_t imageSize;
    RunFlags* flags;
    UpgradeHost* host;
    bool lineLost = false;  // the line reported that the receiver is gone
};

// The one write path of the handshake and both protocols; returns the port's result.
int SendBytes(RunContext& context, const std::uint8_t* bytes, std::uint16_t count);

inline constexpr int WAIT_BOUND_MS = 5000;
// No limit: a wait that only a byte, the stop wake or a lost line ends.
inline constexpr int WAIT_UNBOUNDED = -1;

// Sleeps on the line until a byte is queued, the stop wake is raised, the line is lost
// (context.lineLost) or `timeoutMs` has passed; takes one byte if one is queued and returns
// whether it did. Every wait looks at the stop request again after each call.
bool PollByte(RunContext& context, std::uint8_t& byte, int timeoutMs = WAIT_BOUND_MS);

}  // namespace qvlink
