#include "record_time.h"

#include "utc_time.h"

namespace qvlink::records {

Status ReadUtcTime(std::string_view text, std::string* time) {
    const Status notATime =
        Status::Error(StatusKind::Usage, "not a time (2025-03-01 or 2025-03-01T08:00, UTC)");
    if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
    std::string iso(text);
    if (iso.size() == 10)
        iso += "T00:00:00";
    else if (iso.size() == 16)
        iso += ":00";
    if (iso.size() != 19) return notATime;
    if (iso[10] == ' ') iso[10] = 'T';
    iso += 'Z';
    if (!record::UtcMicros(iso)) return notATime;
    *time = std::move(iso);
    return Status::Ok();
}

}  // namespace qvlink::records
