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
    if (port.activity == PortActivity::AwaitingPort) return {WAITING_FOR_PORT, Tone::Waiting};
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

std::string ReceiverEndText(int receiver, Counted counted, UpgradeResult result) {
    std::string text = "receiver " + std::to_string(receiver) + " ";
    switch (counted) {
        case Counted::Completed:
            return text + "completed";
        case Counted::ReceiverAbort:
            return text + "cancelled";
        case Counted::Stopped:
            return text + "was stopped";
        case Counted::Failed:
        case Counted::Nothing:
            break;
    }
    return text + "failed (" + ResultLabel(result) + ")";
}

std::string NoteText(const PortNote& note) {
    switch (note.kind) {
        case PortNote::Kind::RecordNotice:
            return note.detail;
        case PortNote::Kind::LineNotWritten:
            return ReceiverEndText(note.receiver, note.counted, note.result) +
                   ", its record line could not be written (" + note.detail +
                   "); this port stops here";
        case PortNote::Kind::OutOfService:
            return "out of service: " + std::to_string(note.count) +
                   " receivers in a row failed or cancelled";
        case PortNote::Kind::NoPortThread:
            return "cannot start the port's thread";
        case PortNote::Kind::RunNotStarted:
            return note.detail.empty() ? "cannot start the upgrade thread" : note.detail;
    }
    return note.detail;
}

}  // namespace qvlink::station
