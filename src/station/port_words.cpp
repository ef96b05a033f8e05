#include "port_words.h"

namespace qvlink::station {

Tone ToneOf(UpgradeResult result) {
    if (result == PORT_LOST) return Tone::Lost;
    switch (CountedAs(result)) {
        case Counted::Completed:
            return Tone::Completed;
        case Counted::Stopped:
        case Counted::Nothing:
            return Tone::Idle;
        case Counted::Failed:
        case Counted::ReceiverAbort:
            break;
    }
    return Tone::Failed;
}

PortWord WordOf(const PortSnapshot& port) {
    const bool ended = port.activity == PortActivity::Ended;
    if (port.activity == PortActivity::Closed && port.end == PortEnd::NotOpened)
        return {"Cannot open", Tone::Lost};
    if (ended) {
        switch (port.end) {
            case PortEnd::OutOfService:
                return {"Out of service", Tone::Lost};
            case PortEnd::LineLost:
                return {"Port Lost", Tone::Lost};
            case PortEnd::RecordLost:
            case PortEnd::StartFailed:
                return {"Stopped", Tone::Lost};
            default:
                break;
        }
    }
    if (port.lastResult) return {port.lastResultText, ToneOf(*port.lastResult)};
    if (port.activity == PortActivity::Running)
        return {port.elapsedSeconds >= 0 ? "Upgrading" : "Waiting", Tone::Waiting};
    return {};
}

std::string TroubleText(PortEnd end) {
    switch (end) {
        case PortEnd::NotOpened:
            return "not opened";
        case PortEnd::LineLost:
            return "port lost";
        case PortEnd::StartFailed:
            return "could not start";
        case PortEnd::RecordLost:
            return "record line lost";
        case PortEnd::OutOfService:
            return "out of service";
        case PortEnd::None:
        case PortEnd::Finished:
        case PortEnd::Stopped:
            break;
    }
    return {};
}

}  // namespace qvlink::station
