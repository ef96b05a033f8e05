#include "record_counting.h"

namespace qvlink::record {

Counted CountedAs(UpgradeResult result) {
    if (result == USER_ABORT) return Counted::Stopped;
    if (result == RECEIVER_ABORT) return Counted::ReceiverAbort;
    return Succeeded(result) ? Counted::Completed : Counted::Failed;
}

const char* SqlOutcome(Counted counted) {
    switch (counted) {
        case Counted::Completed:
            return "completed";
        case Counted::Failed:
        case Counted::ReceiverAbort:
            return "failed";
        case Counted::Stopped:
        case Counted::Nothing:
            break;
    }
    return "stopped";
}

}  // namespace qvlink::record
