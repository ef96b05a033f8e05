#include "record_time.h"

#include "utc_time.h"

namespace qvlink::records {

std::optional<std::string> ReadUtcTime(std::string_view text) {
    if (!text.empty() && text.back() == 'Z') text.remove_suffix(1);
    std::string iso(text);
    if (iso.size() == 10)
        iso += "T00:00:00";
    else if (iso.size() == 16)
        iso += ":00";
    if (iso.size() != 19) return std::nullopt;
    if (iso[10] == ' ') iso[10] = 'T';
    iso += 'Z';
    if (!record::UtcMicros(iso)) return std::nullopt;
    return iso;
}

}  // namespace qvlink::records
