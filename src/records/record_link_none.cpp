// A build without a PostgreSQL client: a database setting is refused, so no RecordLink is made.
#include "record_link.h"

namespace qvlink::records {

class Forwarder {};

namespace {
const char* const NO_CLIENT =
    "this build cannot send the record to a database (it has no PostgreSQL client); the record "
    "stays in its file";
}

Status CheckDatabaseSetting(const std::string&) {
    return Status::Error(StatusKind::Usage, NO_CLIENT);
}

RecordLink::RecordLink(const std::string&, const std::string& recordPath)
    : recordPath_(recordPath) {}
RecordLink::~RecordLink() = default;
void RecordLink::Nudge() {}
void RecordLink::SetLiveSource(std::function<record::StationLive()>) {}
void RecordLink::LiveChanged() {}
bool RecordLink::AllSent() const {
    return false;
}
std::string RecordLink::TakeNotice() {
    return {};
}
std::string RecordLink::StateText() const {
    return NO_CLIENT;
}
std::string RecordLink::Finish(std::chrono::milliseconds, const StopWake*) {
    return NO_CLIENT;
}

}  // namespace qvlink::records
