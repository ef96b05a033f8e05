// The byte line that the upgrade engine talks over: the serial port in the product, an in-memory
// line in unit tests. Every operation returns at once except the bounded waits named below.
#pragma once

#include <cstdint>

namespace qvlink {

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
    // Blocks until at least one received byte is queued or `timeoutMs` has passed, without
    // consuming anything. Returns whether bytes are queued. Callers pass at most 50 ms.
    virtual bool WaitForInput(int timeoutMs) = 0;
};

}  // namespace qvlink
