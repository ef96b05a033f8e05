#include <csignal>

#include "write_signals.h"

namespace qvlink::station {

void IgnoreWriteSignals() {
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace qvlink::station
