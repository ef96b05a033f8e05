#include "follow_up.h"

#include "status_texts.h"

namespace qvlink::station {

FollowUp FollowUpOf(UpgradeResult result, const ReceiverFacts& facts) {
    if (!facts.present) return {};
    return {true, CountedAs(result)};
}

std::string CountsText(const PortCounts& counts, bool causes) {
    std::string text = "completed " + std::to_string(counts.completed) + "  failed " +
                       std::to_string(counts.Failed());
    if (causes) {
        std::string byResult;
        for (const auto& [result, count] : counts.failures)
            byResult += (byResult.empty() ? "" : ", ") + ResultText(result, true) + " " +
                        std::to_string(count);
        if (counts.receiverAborts > 0)
            byResult += (byResult.empty() ? "" : ", ") + ResultText(RECEIVER_ABORT, true) + " " +
                        std::to_string(counts.receiverAborts);
        if (!byResult.empty()) text += " (" + byResult + ")";
    }
    if (counts.stopped > 0) text += "  stopped " + std::to_string(counts.stopped);
    return text;
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
        failed = failed || port.counts.failed > 0 || port.end == PortEnd::StartFailed ||
                 port.end == PortEnd::OutOfService;
        recordLost = recordLost || port.end == PortEnd::RecordLost;
        stopped = stopped || port.end == PortEnd::Stopped;
        trouble = trouble || port.end == PortEnd::NotOpened || port.end == PortEnd::LineLost;
    }
    if (failed) return Verdict::ReceiverFailed;
    if (recordLost) return Verdict::RecordLost;
    if (stopped) return Verdict::Stopped;
    if (trouble) return Verdict::PortTrouble;
    return Verdict::AllCompleted;
}

}  // namespace qvlink::station
