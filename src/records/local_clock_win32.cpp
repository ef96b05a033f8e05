#include <cstdio>
#include <ctime>

#include "record_time.h"

namespace qvlink::records {

std::string LocalHourMinute(std::int64_t utcMicros) {
    const std::time_t seconds = static_cast<std::time_t>(utcMicros / 1000000);
    std::tm local{};
    if (localtime_s(&local, &seconds) != 0) return "--:--";
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour, local.tm_min);
    return text;
}

}  // namespace qvlink::records
