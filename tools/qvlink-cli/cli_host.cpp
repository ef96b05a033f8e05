#include "cli_host.h"

namespace qvlink::cli {
namespace {

using std::chrono::steady_clock;
using std::chrono::system_clock;

}  // namespace

int CliHost::ElapsedSeconds() const {
    if (!facts_.contact) return -1;
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::seconds>(steady_clock::now() - *facts_.contact)
            .count());
}

void CliHost::ReportStatus(const StatusReport& report) {
    int elapsed;
    {
        std::lock_guard lock(mutex_);
        // Both protocols report the whole transfer done once the receiver has taken all of it.
        if (report.kind == STATUS_TRANSFER && report.percentage == 100 && !facts_.transferEnd)
            facts_.transferEnd = steady_clock::now();
        elapsed = ElapsedSeconds();
    }
    display_.Show(report, elapsed);
}

void CliHost::NotifyConnected() {
    std::lock_guard lock(mutex_);
    facts_.contact = steady_clock::now();
    resultPosted_.notify_all();  // the clock starts: the waiting thread now ticks
}

void CliHost::NotifyProtocol(TransferProtocol protocol) {
    std::lock_guard lock(mutex_);
    facts_.protocol = protocol;
    facts_.start = system_clock::now();
}

void CliHost::NotifyResend() {
    std::lock_guard lock(mutex_);
    ++facts_.resent;
}

void CliHost::PostResult(UpgradeResult result) {
    std::lock_guard lock(mutex_);
    facts_.resultTime = steady_clock::now();
    facts_.end = system_clock::now();
    if (!facts_.protocol) facts_.start = facts_.end;
    result_ = result;
    resultPosted_.notify_all();
}

void CliHost::BeginRun() {
    std::lock_guard lock(mutex_);
    result_.reset();
    facts_ = {};
}

std::optional<UpgradeResult> CliHost::AwaitResult(std::chrono::milliseconds tick) {
    int elapsed;
    {
        std::unique_lock lock(mutex_);
        // Before contact no clock is shown: sleep until the contact or the result.
        const bool contact = facts_.contact.has_value();
        const auto wait = contact ? tick : std::chrono::milliseconds(std::chrono::minutes(1));
        if (resultPosted_.wait_for(
                lock, wait,
                [&] { return result_.has_value() || facts_.contact.has_value() != contact; }) &&
            result_)
            return result_;
        elapsed = ElapsedSeconds();
    }
    display_.Tick(elapsed);
    return std::nullopt;
}

RunFacts CliHost::Facts() const {
    std::lock_guard lock(mutex_);
    return facts_;
}

}  // namespace qvlink::cli
