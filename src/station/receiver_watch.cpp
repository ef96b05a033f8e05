#include "receiver_watch.h"

namespace qvlink::station {

int ReceiverWatch::ElapsedLocked() const {
    if (!facts_.contact) return -1;
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::seconds>(clock_.Steady() - *facts_.contact)
            .count());
}

int ReceiverWatch::ElapsedSeconds() const {
    MutexLock lock(mutex_);
    return ElapsedLocked();
}

void ReceiverWatch::ReportStatus(const StatusReport& report) {
    int elapsed;
    {
        MutexLock lock(mutex_);
        const Moment now = clock_.Steady();
        if (report.kind == STATUS_TRANSFER && facts_.phase == Phase::Handshake)
            facts_.phase = Phase::Transfer;
        // Both protocols report the whole transfer done once the receiver has taken all of it.
        if (report.kind == STATUS_TRANSFER && report.percentage == 100 && !facts_.transferEnd)
            facts_.transferEnd = now;
        if (report.kind == STATUS_BURN && facts_.phase != Phase::Burn) {
            facts_.phase = Phase::Burn;
            facts_.burnStart = now;
        }
        elapsed = ElapsedLocked();
    }
    listener_.OnReport(report, elapsed);
}

void ReceiverWatch::NotifyConnected() {
    MutexLock lock(mutex_);
    facts_.contact = clock_.Steady();
    changed_.notify_all();  // the clock starts: the waiting thread now ticks
}

void ReceiverWatch::NotifyProtocol(TransferProtocol protocol) {
    MutexLock lock(mutex_);
    facts_.present = true;
    facts_.protocol = protocol;
    facts_.start = clock_.Now();
}

void ReceiverWatch::NotifyResend() {
    MutexLock lock(mutex_);
    ++facts_.resent;
}

void ReceiverWatch::PostResult(UpgradeResult result) {
    MutexLock lock(mutex_);
    facts_.resultTime = clock_.Steady();
    facts_.end = clock_.Now();
    // A receiver's cancel is its contact: it is a receiver, and its start is the cancel.
    if (result == RECEIVER_ABORT && !facts_.present) {
        facts_.present = true;
        facts_.start = facts_.end;
    }
    if (Succeeded(result)) facts_.phase = Phase::Done;
    result_ = result;
    changed_.notify_all();
}

void ReceiverWatch::BeginRun() {
    MutexLock lock(mutex_);
    result_.reset();
    facts_ = {};
}

std::optional<UpgradeResult> ReceiverWatch::AwaitResult(std::chrono::milliseconds tick) {
    MutexLock lock(mutex_);
    // Before contact no clock is shown: sleep until the contact or the result.
    const bool contact = facts_.contact.has_value();
    const auto wait = contact ? tick : std::chrono::milliseconds(std::chrono::minutes(1));
    changed_.wait_for(lock, wait, [&]() QV_REQUIRES(mutex_) {
        return result_.has_value() || facts_.contact.has_value() != contact;
    });
    return result_;
}

ReceiverFacts ReceiverWatch::Facts() const {
    MutexLock lock(mutex_);
    return facts_;
}

}  // namespace qvlink::station
