#include "scripted_line.h"

#include <stdexcept>

namespace qvlink::test {

namespace {
// A run that keeps waiting on a silent line this long is stuck: fail instead of hanging.
constexpr int MAX_IDLE_WAITS = 100000;
}  // namespace

int ScriptedLine::Read(std::uint8_t* buffer, std::uint32_t maxCount) {
    std::uint32_t count = 0;
    while (count < maxCount && !incoming.empty()) {
        buffer[count++] = incoming.front();
        incoming.pop_front();
    }
    return static_cast<int>(count);
}

int ScriptedLine::Write(const std::uint8_t* bytes, std::uint32_t count) {
    writes.emplace_back(bytes, bytes + count);
    if (onWrite) onWrite(*this, writes.back());
    return static_cast<int>(count);
}

LineWait ScriptedLine::WaitForInput(int, const StopWake&) {
    if (!incoming.empty()) return LineWait::Input;
    if (++idleWaits > MAX_IDLE_WAITS)
        throw std::runtime_error("the run waits on a silent line for ever");
    if (onIdle) onIdle(*this);
    if (!incoming.empty()) return LineWait::Input;
    return lost ? LineWait::Lost : LineWait::Quiet;
}

}  // namespace qvlink::test
