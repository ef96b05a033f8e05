#include "follow_up.h"

#include "status_texts.h"

namespace qvlink::station {

FollowUp FollowUpOf(UpgradeResult result, const ReceiverFacts& facts) {
    if (!facts.present) return {};
    if (result == USER_ABORT) return {true, Counted::Stopped};
    if (result == RECEIVER_ABORT) return {true, Counted::ReceiverAbort};
    return {true, Succeeded(result) ? Counted::Completed : Counted::Failed};
}

std::string ResultLabel(UpgradeResult result) {
    return result == USER_ABORT ? "Stopped" : ResultText(result, true);
}

void PortCounts::Add(Counted counted, UpgradeResult result) {
    switch (counted) {
        case Counted::Nothing:
            return;
        case Counted::Completed:
            ++completed;
            consecutiveFailures = 0;
            return;
        case Counted::Failed:
            ++failed;
            ++failures[result];
            ++consecutiveFailures;
            return;
        case Counted::ReceiverAbort:
            ++receiverAborts;
            ++consecutiveFailures;
            return;
        case Counted::Stopped:
            ++stopped;
            return;
    }
}

void PortCounts::AddUp(const PortCounts& other) {
    completed += other.completed;
    failed += other.failed;
    receiverAborts += other.receiverAborts;
    stopped += other.stopped;
    for (const auto& [result, count] : other.failures) failures[result] += count;
}

Verdict VerdictOf(const std::vector<PortSummary>& ports) {
    bool failed = false, recordLost = false, stopped = false, trouble = false;
    for (const PortSummary& port : ports) {
        failed = failed || port.counts.failed > 0 || port.end.startFailed || port.end.outOfService;
        recordLost = recordLost || port.end.recordLost;
        stopped = stopped || port.end.stopped;
        trouble = trouble || !port.end.opened || port.end.lineLost;
    }
    if (failed) return Verdict::ReceiverFailed;
    if (recordLost) return Verdict::RecordLost;
    if (stopped) return Verdict::Stopped;
    if (trouble) return Verdict::PortTrouble;
    return Verdict::AllCompleted;
}

}  // namespace qvlink::station
