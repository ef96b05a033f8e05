#include "record_time.h"

#include <chrono>
#include <cstdio>

namespace qvlink::records {
namespace {

bool Digits(std::string_view text, std::size_t from, std::size_t count, int& value) {
    if (from + count > text.size()) return false;
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> UtcMicros(std::string_view text) {
    using namespace std::chrono;
    int y, mo, d, h, mi, s;
    if (text.size() < 20 || text.back() != 'Z' || !Digits(text, 0, 4, y) || text[4] != '-' ||
        !Digits(text, 5, 2, mo) || text[7] != '-' || !Digits(text, 8, 2, d) || text[10] != 'T' ||
        !Digits(text, 11, 2, h) || text[13] != ':' || !Digits(text, 14, 2, mi) || text[16] != ':' ||
        !Digits(text, 17, 2, s))
        return std::nullopt;
    std::int64_t micros = 0;
    if (text.size() > 20) {
        if (text[19] != '.' || text.size() == 21 || text.size() > 27) return std::nullopt;
        std::int64_t scale = 100000;
        for (std::size_t i = 20; i + 1 < text.size(); ++i, scale /= 10) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            micros += (text[i] - '0') * scale;
        }
    }
    const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                              day{static_cast<unsigned>(d)}};
    // The database knows no year 0, and takes a leap second (60) only when it has no fraction;
    // it refuses either in a batch whole.
    if (!date.ok() || y < 1 || h > 23 || mi > 59 || s > 60 || (s == 60 && micros != 0))
        return std::nullopt;
    const auto seconds =
        sys_days{date}.time_since_epoch() + hours{h} + minutes{mi} + std::chrono::seconds{s};
    return duration_cast<microseconds>(seconds).count() + micros;
}

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
    if (!UtcMicros(iso)) return notATime;
    *time = std::move(iso);
    return Status::Ok();
}

}  // namespace qvlink::records
