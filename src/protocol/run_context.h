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
    bool StopRequested() const { return flags->abortRequested.load() != 0; }

    SerialLine* port;
    std::unique_ptr<std::uint8_t[]> blockBufferA;
    std::unique_ptr<std::uint8_t[]> blockBufferB;
    const std::uint8_t* image;
    std::size_t imageSize;
    RunFlags* flags;
    UpgradeHost* host;
};

// The one write path of the handshake and both protocols; returns the port's result.
int SendBytes(RunContext& context, const std::uint8_t* bytes, std::uint16_t count);

// Takes one received byte if one is queued. Otherwise blocks on the port for at most
// POLL_INTERVAL_MS and returns false, so that every wait re-checks the stop request that often.
bool PollByte(RunContext& context, std::uint8_t& byte);
inline constexpr int POLL_INTERVAL_MS = 40;

}  // namespace qvlink
