// A port's host for its runs: keeps the facts of the receiver in progress from what the run
// reports, passes each report on, and hands the posted result to the port's own thread.
// Instances are thread-safe: the worker thread reports, the port's thread waits and reads;
// all member data is guarded by mutex_.
#pragma once

#include <chrono>
#include <condition_variable>
#include <optional>

#include "annotated_mutex.h"
#include "receiver_facts.h"
#include "upgrade_host.h"

namespace qvlink::station {

// Told of each report as it happens, on the worker thread, outside the watch's lock.
class WatchListener {
  public:
    virtual ~WatchListener() = default;
    // `elapsedSeconds` is -1 before contact.
    virtual void OnReport(const StatusReport& report, int elapsedSeconds) = 0;
};

class ReceiverWatch final : public UpgradeHost {
  public:
    // `clock` and `listener` must outlive the watch.
    ReceiverWatch(const StationClock& clock, WatchListener& listener)
        : clock_(clock), listener_(listener) {}

    void ReportStatus(const StatusReport& report) override;
    void NotifyConnected() override;
    void NotifyProtocol(TransferProtocol protocol) override;
    void NotifyResend() override;
    void PostResult(UpgradeResult result) override;

    // Prepares for the next receiver: nothing seen yet, no result.
    void BeginRun();
    // The run's result once posted. Before contact it sleeps until the contact or the result;
    // after contact it returns nullopt after each `tick`, so that the caller can advance a clock.
    std::optional<UpgradeResult> AwaitResult(std::chrono::milliseconds tick);
    // What the current run has shown so far; complete once its result has been posted.
    ReceiverFacts Facts() const;
    // Seconds since contact, -1 before.
    int ElapsedSeconds() const;

  private:
    int ElapsedLocked() const QV_REQUIRES(mutex_);

    const StationClock& clock_;
    WatchListener& listener_;
    mutable Mutex mutex_;
    std::condition_variable_any changed_;
    std::optional<UpgradeResult> result_ QV_GUARDED_BY(mutex_);
    ReceiverFacts facts_ QV_GUARDED_BY(mutex_);
};

}  // namespace qvlink::station
