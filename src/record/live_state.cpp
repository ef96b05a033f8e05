#include "live_state.h"

namespace qvlink::record {

const char* ServiceWord(PortService service) {
    switch (service) {
        case PortService::Serving:
            return "serving";
        case PortService::Waiting:
            return "waiting";
        case PortService::OutOfService:
            return "out of service";
        case PortService::NotServing:
            break;
    }
    return "not serving";
}

}  // namespace qvlink::record
