// The flasher's side of a run: it lends the image and the line, shows the run's reports, keeps
// the time since contact, and hands the posted result to the main thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "firmware_image.h"
#include "progress_display.h"
#include "upgrade_host.h"

namespace qvlink::cli {

class CliHost final : public UpgradeHost {
  public:
    // All three must outlive the host.
    CliHost(const FirmwareImage& image, SerialLine& line, ProgressDisplay& display)
        : image_(image), line_(line), display_(display) {}

    const std::uint8_t* Image() const override { return image_.bytes.get(); }
    std::size_t ImageSize() const override { return image_.size; }
    SerialLine& Port() override { return line_; }
    RunFlags& Flags() override { return flags_; }
    void ReportStatus(const StatusReport& report) override;
    void NotifyConnected() override;
    void PostResult(int result) override;

    // Prepares for the next run: no contact yet, no result.
    void BeginRun();
    // Waits up to `timeout` for the run's result; the display's clock is advanced meanwhile.
    std::optional<int> AwaitResult(std::chrono::milliseconds timeout);

  private:
    int ElapsedSeconds() const;  // -1 before contact; call with mutex_ held

    const FirmwareImage& image_;
    SerialLine& line_;
    ProgressDisplay& display_;
    RunFlags flags_;
    std::mutex mutex_;
    std::condition_variable resultPosted_;
    std::optional<int> result_;
    std::optional<std::chrono::steady_clock::time_point> contact_;
};

}  // namespace qvlink::cli
