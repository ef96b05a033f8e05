#include "run_end.h"

#include <algorithm>

#include "port_words.h"

namespace qvlink::cli {
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

std::string SummaryText(const std::vector<station::PortSummary>& ports,
                        const station::StationTotals& totals) {
    std::size_t width = std::string("total").size();
    for (const auto& port : ports) width = std::max(width, port.port.size());
    const auto label = [width](std::string name) {
        name.resize(width + 2, ' ');
        return "  " + name;
    };
    std::string text = "summary\n";
    for (const auto& port : ports) {
        const std::string trouble = station::TroubleText(port.end);
        if (port.end == station::PortEnd::NotOpened) {
            text += label(port.port) + trouble + "\n";
            continue;
        }
        text += label(port.port) + station::CountsText(port.counts, true);
        if (!trouble.empty()) text += "   " + trouble;
        text += "\n";
    }
    text += label("total") + totals.Line(true) + "\n";
    // A receiver served without its record line is named, so that it can be recorded by hand.
    for (const auto& port : ports)
        if (!port.unrecorded.empty()) text += "  " + port.port + " " + port.unrecorded + "\n";
    return text;
}

}  // namespace qvlink::cli
