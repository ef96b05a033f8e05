// The flasher's side of a run: it shows the run's reports, keeps the time since contact and
// what the record of the run needs, and hands the posted result to the port's own thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "progress_display.h"
#include "run_facts.h"
#include "upgrade_host.h"

namespace qvlink::cli {

class CliHost final : public UpgradeHost {
  public:
    // `display` must outlive the host.
    explicit CliHost(ProgressDisplay& display) : display_(display) {}

    void ReportStatus(const StatusReport& report) override;
    void NotifyConnected() override;
    void NotifyProtocol(TransferProtocol protocol) override;
    void NotifyResend() override;
    void PostResult(UpgradeResult result) override;

    // Prepares for the next run: no contact yet, no result, no facts.
    void BeginRun();
    // Waits for the run's result. Once the receiver has made contact it returns nullopt after
    // each `tick`, with the display's clock advanced; before contact it sleeps until the contact
    // or the result, a minute at the most, since nothing on show changes meanwhile.
    std::optional<UpgradeResult> AwaitResult(std::chrono::milliseconds tick);
    // What the current run has shown so far; complete once its result has been posted.
    RunFacts Facts() const;

  private:
    int ElapsedSeconds() const;  // -1 before contact; call with mutex_ held

    ProgressDisplay& display_;
    mutable std::mutex mutex_;
    std::condition_variable resultPosted_;
    std::optional<UpgradeResult> result_;
    RunFacts facts_;
};

}  // namespace qvlink::cli
