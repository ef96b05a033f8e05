#include "conninfo_check.h"
#include "forwarder.h"
#include "record_link.h"

namespace qvlink::records {

Status CheckDatabaseSetting(const std::string& conninfo) {
    return CheckConnInfo(conninfo);
}

RecordLink::RecordLink(const std::string& conninfo, const std::string& recordPath)
    : recordPath_(recordPath) {
    ForwarderSettings settings;
    settings.conninfo = conninfo;
    settings.recordPath = recordPath;
    forwarder_ = std::make_unique<Forwarder>(std::move(settings));
    forwarder_->Start();
}

RecordLink::~RecordLink() = default;

void RecordLink::Nudge() {
    forwarder_->Nudge();
}

void RecordLink::SetLiveSource(std::function<record::StationLive()> source) {
    forwarder_->SetLiveSource(std::move(source));
}

void RecordLink::LiveChanged() {
    forwarder_->LiveChanged();
}

bool RecordLink::AllSent() const {
    const ForwarderState state = forwarder_->State();
    return state.unsent == 0 && state.error.ok();
}

std::string RecordLink::TakeNotice() {
    return forwarder_->TakeNotice();
}

std::string RecordLink::StateText() const {
    return ForwarderStateText(forwarder_->State());
}

std::string RecordLink::Finish(std::chrono::milliseconds wait, const StopWake* cut) {
    forwarder_->Drain(wait, cut);
    forwarder_->Stop();
    std::string text = ForwarderEndText(forwarder_->State(), recordPath_);
    if (std::string notice = forwarder_->TakeNotice(); !notice.empty()) text += "; " + notice;
    return text;
}

}  // namespace qvlink::records
