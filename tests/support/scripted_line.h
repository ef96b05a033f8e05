// An in-memory serial line for engine unit tests. The test plays the receiver: `onWrite` sees
// every write as it is made and may queue answers; `onIdle` runs whenever the engine waits on
// an empty line (where a test can, say, press stop). Used from one thread at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "serial_line.h"

namespace qvlink::test {

class ScriptedLine : public SerialLine {
  public:
    using Bytes = std::vector<std::uint8_t>;

    void Queue(const Bytes& bytes) { incoming.insert(incoming.end(), bytes.begin(), bytes.end()); }

    int QueuedBytes() override { return static_cast<int>(incoming.size()); }
    int Read(std::uint8_t* buffer, std::uint32_t maxCount) override;
    int Write(const std::uint8_t* bytes, std::uint32_t count) override;
    // Returns at once: Input when bytes are queued, otherwise Quiet after running onIdle, or
    // Lost once `lost` is set.
    LineWait WaitForInput(int timeoutMs, const StopWake& wake) override;

    std::deque<std::uint8_t> incoming;  // sent by the receiver, not yet read
    std::vector<Bytes> writes;          // every write the engine made, in order
    std::function<void(ScriptedLine&, const Bytes&)> onWrite;
    std::function<void(ScriptedLine&)> onIdle;
    int idleWaits = 0;
    bool lost = false;  // the receiver's side is gone: waits on an empty line say so
};

}  // namespace qvlink::test
