// The byte line that the upgrade engine talks over: the serial port in the product, an in-memory
// line in unit tests. Every operation returns at once except the bounded waits named below.
#pragma once

#include <cstdint>

#include "stop_wake.h"

namespace qvlink {

// How a wait for input ended: bytes are queued; nothing came (the time passed, or the stop
// wake was raised); or the line is gone (the device was removed, the other side closed) and
// nothing will ever come.
enum class LineWait { Input, Quiet, Lost };

class SerialLine {
  public:
    virtual ~SerialLine() = default;

    // Received bytes waiting to be read; never blocks. 0 when the line is closed.
    virtual int QueuedBytes() = 0;
    // Copies at most maxCount already received bytes into buffer and returns how many; never
    // waits for bytes that have not arrived. The buffer is untouched when nothing is queued.
    virtual int Read(std::uint8_t* buffer, std::uint32_t maxCount) = 0;
    // Hands `count` bytes to the line; returns `count`, or 0 when they could not all be written
    // within 5000 ms. The caller's buffer is not used after the call returns.
    virtual int Write(const std::uint8_t* bytes, std::uint32_t count) = 0;
    // Blocks until at least one received byte is queued, the line is lost, `wake` is raised or
    // `timeoutMs` has passed (a negative one: no limit), without consuming anything. Bytes that
    // arrived before the line was lost are reported as Input until they have been read. A line
    // that cannot watch `wake` returns within 50 ms, so that its caller sees a stop that soon.
    virtual LineWait WaitForInput(int timeoutMs, const StopWake& wake) = 0;
};

}  // namespace qvlink
