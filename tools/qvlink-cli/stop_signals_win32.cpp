#include "stop_signals.h"

namespace qvlink::cli {

// Windows runs the handler for Ctrl-C on a thread of its own, so no other thread's wait is
// ever cut short by it: there is nothing to hold back.

StopSignalsHeld::StopSignalsHeld() = default;
StopSignalsHeld::~StopSignalsHeld() = default;

}  // namespace qvlink::cli
