// The flasher's side of a run: it shows the run's reports, keeps the time since contact, and
// hands the posted result to the main thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "progress_display.h"
#include "upgrade_host.h"

namespace qvlink::cli {

class CliHost final : public UpgradeHost {
  public:
    // `display` must outlive the host.
    explicit CliHost(ProgressDisplay& display) : display_(display) {}

    void ReportStatus(const StatusReport& report) override;
    void NotifyConnected() override;
    void PostResult(UpgradeResult result) override;

    // Prepares for the next run: no contact yet, no result.
    void BeginRun();
    // Waits up to `timeout` for the run's result; the display's clock is advanced meanwhile.
    std::optional<UpgradeResult> AwaitResult(std::chrono::milliseconds timeout);

  private:
    int ElapsedSeconds() const;  // -1 before contact; call with mutex_ held

    ProgressDisplay& display_;
    std::mutex mutex_;
    std::condition_variable resultPosted_;
    std::optional<UpgradeResult> result_;
    std::optional<std::chrono::steady_clock::time_point> contact_;
};

}  // namespace qvlink::cli
