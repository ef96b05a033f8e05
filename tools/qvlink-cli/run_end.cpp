#include "run_end.h"

#include <algorithm>

#include "status_texts.h"

namespace qvlink::cli {
namespace {

std::string Counts(const station::PortCounts& counts) {
    return station::CountsText(counts, true);
}

}  // namespace

int ExitStatus(station::Verdict verdict) {
    switch (verdict) {
        case station::Verdict::ReceiverFailed:
            return EXIT_DEVICE_FAILURE;
        case station::Verdict::RecordLost:
            return EXIT_USAGE;
        case station::Verdict::Stopped:
            return EXIT_STOPPED;
        case station::Verdict::PortTrouble:
            return EXIT_NO_PORT;
        case station::Verdict::AllCompleted:
            return 0;
    }
    return EXIT_DEVICE_FAILURE;
}

std::string SummaryText(const std::vector<station::PortSummary>& ports) {
    std::size_t width = std::string("total").size();
    for (const auto& port : ports) width = std::max(width, port.port.size());
    const auto label = [width](std::string name) {
        name.resize(width + 2, ' ');
        return "  " + name;
    };
    std::string text = "summary\n";
    station::PortCounts total;
    for (const auto& port : ports) {
        if (!port.end.opened) {
            text += label(port.port) + "not opened\n";
            continue;
        }
        text += label(port.port) + Counts(port.counts) + "\n";
        total.AddUp(port.counts);
    }
    text += label("total") + Counts(total) + "\n";
    // A receiver served without its record line is named, so that it can be recorded by hand.
    for (const auto& port : ports)
        if (!port.unrecorded.empty()) text += "  " + port.port + " " + port.unrecorded + "\n";
    return text;
}

}  // namespace qvlink::cli
