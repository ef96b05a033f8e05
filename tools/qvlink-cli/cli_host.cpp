#include "cli_host.h"

namespace qvlink::cli {

int CliHost::ElapsedSeconds() const {
    if (!contact_) return -1;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::steady_clock::now() - *contact_)
                                .count());
}

void CliHost::ReportStatus(const StatusReport& report) {
    int elapsed;
    {
        std::lock_guard lock(mutex_);
        elapsed = ElapsedSeconds();
    }
    display_.Show(report, elapsed);
}

void CliHost::NotifyConnected() {
    std::lock_guard lock(mutex_);
    contact_ = std::chrono::steady_clock::now();
}

void CliHost::PostResult(UpgradeResult result) {
    std::lock_guard lock(mutex_);
    result_ = result;
    resultPosted_.notify_all();
}

void CliHost::BeginRun() {
    std::lock_guard lock(mutex_);
    result_.reset();
    contact_.reset();
}

std::optional<UpgradeResult> CliHost::AwaitResult(std::chrono::milliseconds timeout) {
    int elapsed;
    {
        std::unique_lock lock(mutex_);
        if (resultPosted_.wait_for(lock, timeout, [this] { return result_.has_value(); }))
            return result_;
        elapsed = ElapsedSeconds();
    }
    display_.Tick(elapsed);
    return std::nullopt;
}

}  // namespace qvlink::cli
