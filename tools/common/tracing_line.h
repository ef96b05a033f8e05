// A serial line that records every byte it carries into a transcript, for --trace.
#pragma once

#include <memory>

#include "serial_line.h"
#include "transcript.h"

namespace qvlink::tools {

class TracingLine final : public SerialLine {
  public:
    // `transcript` must outlive this object.
    TracingLine(std::unique_ptr<SerialLine> inner, Transcript& transcript)
        : inner_(std::move(inner)), transcript_(transcript) {}

    int QueuedBytes() override { return inner_->QueuedBytes(); }
    int Read(std::uint8_t* buffer, std::uint32_t maxCount) override {
        const int count = inner_->Read(buffer, maxCount);
        if (count > 0) transcript_.Record("<-", buffer, static_cast<std::size_t>(count));
        return count;
    }
    int Write(const std::uint8_t* bytes, std::uint32_t count) override {
        transcript_.Record("->", bytes, count);
        return inner_->Write(bytes, count);
    }
    LineWait WaitForInput(int timeoutMs, const StopWake& wake) override {
        return inner_->WaitForInput(timeoutMs, wake);
    }

  private:
    std::unique_ptr<SerialLine> inner_;
    Transcript& transcript_;
};

}  // namespace qvlink::tools
