#include "recording_host.h"

namespace qvlink::test {

void RecordingHost::ReportStatus(const StatusReport& report) {
    std::lock_guard lock(mutex_);
    reports_.push_back(report);
    if (writeCounter) writesAtReport.push_back(writeCounter());
}

void RecordingHost::NotifyConnected() {
    std::lock_guard lock(mutex_);
    ++connections_;
}

void RecordingHost::PostResult(UpgradeResult result) {
    std::lock_guard lock(mutex_);
    results_.push_back(result);
    posted_.notify_all();
}

std::vector<int> RecordingHost::AwaitResults(std::size_t count) {
    std::unique_lock lock(mutex_);
    posted_.wait_for(lock, std::chrono::minutes(1), [&] { return results_.size() >= count; });
    return results_;
}

std::vector<StatusReport> RecordingHost::Reports() {
    std::lock_guard lock(mutex_);
    return reports_;
}

void RecordingHost::NotifyResend() {
    std::lock_guard lock(mutex_);
    ++resends_;
}

int RecordingHost::Resends() {
    std::lock_guard lock(mutex_);
    return resends_;
}

int RecordingHost::Connections() {
    std::lock_guard lock(mutex_);
    return connections_;
}

}  // namespace qvlink::test
