// An UpgradeHost for tests: holds an image, a line and the run flags to hand to a run, and
// records every report, connection notice and posted result. Posted results can be awaited
// from another thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "upgrade_host.h"

namespace qvlink::test {

class RecordingHost : public UpgradeHost {
  public:
    RecordingHost(std::vector<std::uint8_t> image, SerialLine& line)
        : image_(std::move(image)), line_(line) {}

    // What a run on this host's image, line and flags is given.
    RunInputs Inputs() { return {image_.data(), image_.size(), &line_, &flags}; }
    void ReportStatus(const StatusReport& report) override;
    void NotifyConnected() override;
    void PostResult(UpgradeResult result) override;
    void NotifyResend() override;

    // Blocks until `count` results have been posted, or a minute has passed; returns them.
    std::vector<int> AwaitResults(std::size_t count);
    std::vector<StatusReport> Reports();
    int Connections();
    int Resends();
    // How many writes the line had seen at each report, for cadence checks.
    std::vector<std::size_t> writesAtReport;
    std::function<std::size_t()> writeCounter;

    RunFlags flags;

  private:
    std::vector<std::uint8_t> image_;
    SerialLine& line_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::vector<StatusReport> reports_;
    std::vector<int> results_;
    int connections_ = 0;
    int resends_ = 0;
};

}  // namespace qvlink::test
