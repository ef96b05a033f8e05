// A line that passes every call on to another line it does not own: lends a test's line to a
// session (which owns what its opener gives), and lets a test watch or change single calls by
// overriding them.
#pragma once

#include "serial_line.h"

namespace qvlink::test {

class ForwardingLine : public SerialLine {
  public:
    explicit ForwardingLine(SerialLine& line) : line_(line) {}
    int QueuedBytes() override { return line_.QueuedBytes(); }
    int Read(std::uint8_t* buffer, std::uint32_t maxCount) override {
        return line_.Read(buffer, maxCount);
    }
    int Write(const std::uint8_t* bytes, std::uint32_t count) override {
        return line_.Write(bytes, count);
    }
    LineWait WaitForInput(int timeoutMs, const StopWake& wake) override {
        return line_.WaitForInput(timeoutMs, wake);
    }

  private:
    SerialLine& line_;
};

}  // namespace qvlink::test
