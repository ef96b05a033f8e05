// What a station saw of one receiver: when and how it announced itself, how often it asked for
// a block again, when it made contact, how far it got and when its run posted a result.
#pragma once

#include <optional>

#include "station_clock.h"
#include "upgrade_host.h"

namespace qvlink::station {

// How far a receiver got: it announced itself (or cancelled), took the image, burnt it, and
// the burn ended well.
enum class Phase { Handshake, Transfer, Burn, Done };

struct ReceiverFacts {
    // The receiver said something that starts an upgrade: an announcement or a cancel. Only a
    // receiver that did counts as one; a run that ends before is nothing but the port waiting.
    bool present = false;
    std::optional<TransferProtocol> protocol;
    int resent = 0;
    WallTime start{};  // the announcement, or the cancel
    WallTime end{};
    std::optional<Moment> contact;  // the transfer began
    std::optional<Moment> transferEnd;
    std::optional<Moment> burnStart;
    Moment resultTime{};
    Phase phase = Phase::Handshake;
};

}  // namespace qvlink::station
