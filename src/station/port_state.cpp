#include "port_state.h"

#include "port_words.h"

namespace qvlink::station {
namespace {

struct Step {
    PortState& state;
    PortSnapshot& port = state.snapshot;

    PortEnd operator()(const port_event::Opened& event) {
        const bool ok = event.opened.ok();
        port.activity = ok ? PortActivity::Ready : PortActivity::Closed;
        port.end = ok ? PortEnd::None : PortEnd::NotOpened;
        port.message = event.opened.ToString();
        if (ok && !event.device.empty()) port.device = event.device;
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Started&) {
        port.activity = PortActivity::Running;
        port.status = {STATUS_WAITING};
        port.elapsedSeconds = -1;
        port.end = PortEnd::None;
        port.receiver = 1;
        port.counts.consecutiveFailures = 0;
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Reported& reported) {
        port.status = reported.report;
        port.elapsedSeconds = reported.elapsedSeconds;
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Ticked& ticked) {
        port.elapsedSeconds = ticked.elapsedSeconds;
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Taken& taken) {
        port.counts.Add(taken.counted, taken.result);
        if (!taken.unrecorded.empty()) {
            port.unrecorded = taken.unrecorded;
            return PortEnd::RecordLost;
        }
        if (taken.outOfServiceAfter > 0 &&
            port.counts.consecutiveFailures >= taken.outOfServiceAfter)
            return PortEnd::OutOfService;
        if (taken.wanted > 0 && port.counts.Finished() >= taken.wanted) return PortEnd::Finished;
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Published& published) {
        port.lastResult = published.result;
        port.lastResultText = ResultLabel(published.result);
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::NextReceiver&) {
        ++port.receiver;
        port.status = {STATUS_WAITING};
        port.elapsedSeconds = -1;
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Said& said) {
        port.message = NoteText(said.note);
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Awaiting&) {
        port.activity = PortActivity::AwaitingPort;
        port.status = {STATUS_READY};
        port.elapsedSeconds = -1;
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Returned& returned) {
        port.activity = PortActivity::Running;
        port.status = {STATUS_WAITING};
        port.elapsedSeconds = -1;
        port.end = PortEnd::None;
        port.message.clear();  // why it could not be opened, when it was missing at the start
        if (returned.nextReceiver) ++port.receiver;
        if (!returned.device.empty()) port.device = returned.device;
        return PortEnd::None;
    }
    PortEnd operator()(const port_event::Ended& ended) {
        port.activity = PortActivity::Ended;
        port.end = ended.end;
        port.status = {STATUS_READY};
        port.elapsedSeconds = -1;
        return PortEnd::None;
    }
};

}  // namespace

PortEnd Advance(PortState& state, const PortEvent& event) {
    return std::visit(Step{state}, event);
}

}  // namespace qvlink::station
