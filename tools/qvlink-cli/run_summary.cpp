#include "run_summary.h"

#include <algorithm>

#include "status_texts.h"

namespace qvlink::cli {
namespace {

std::string Counts(const SessionTally& tally, const std::map<UpgradeResult, int>& failures) {
    std::string text =
        "completed " + std::to_string(tally.completed) + "  failed " + std::to_string(tally.failed);
    std::string byResult;
    for (const auto& [result, count] : failures) {
        if (!byResult.empty()) byResult += ", ";
        byResult += ResultText(result, true) + " " + std::to_string(count);
    }
    if (!byResult.empty()) text += " (" + byResult + ")";
    return text + "  receiver aborts " + std::to_string(tally.receiverAborts);
}

}  // namespace

std::string SummaryText(const std::vector<PortSummary>& ports) {
    std::size_t width = std::string("total").size();
    for (const auto& port : ports) width = std::max(width, port.port.size());
    const auto label = [width](std::string name) {
        name.resize(width + 2, ' ');
        return "  " + name;
    };
    std::string text = "summary\n";
    SessionTally total;
    std::map<UpgradeResult, int> totalFailures;
    for (const auto& port : ports) {
        if (!port.end) {
            text += label(port.port) + "not opened\n";
            continue;
        }
        text += label(port.port) + Counts(port.end->tally, port.end->failures) + "\n";
        total.completed += port.end->tally.completed;
        total.failed += port.end->tally.failed;
        total.receiverAborts += port.end->tally.receiverAborts;
        for (const auto& [result, count] : port.end->failures) totalFailures[result] += count;
    }
    return text + label("total") + Counts(total, totalFailures) + "\n";
}

int CombinedExitStatus(const std::vector<PortSummary>& ports) {
    std::vector<int> statuses;
    for (const auto& port : ports)
        statuses.push_back(port.end ? port.end->ExitStatus() : EXIT_NO_PORT);
    for (const int status : {EXIT_USAGE, EXIT_STOPPED, EXIT_DEVICE_FAILURE, EXIT_NO_PORT}) {
        if (std::find(statuses.begin(), statuses.end(), status) != statuses.end()) return status;
    }
    return 0;
}

}  // namespace qvlink::cli
