// What the flasher saw of one receiver's run, for the record of its upgrade: when and how the
// receiver announced itself, how often it asked for a block again, when it made contact, when
// the transfer ended and when the run posted its result.
#pragma once

#include <chrono>
#include <optional>

#include "upgrade_host.h"

namespace qvlink::cli {

struct RunFacts {
    using WallTime = std::chrono::system_clock::time_point;
    using Moment = std::chrono::steady_clock::time_point;

    std::optional<TransferProtocol> protocol;
    int resent = 0;
    WallTime start{};  // the announcement; the result's time when none came
    WallTime end{};
    std::optional<Moment> contact;
    std::optional<Moment> transferEnd;
    Moment resultTime{};
};

}  // namespace qvlink::cli
