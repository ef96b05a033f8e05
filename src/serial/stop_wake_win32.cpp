// The stop wake on Windows gives a line nothing to watch: the serial wait there looks at the
// queue every millisecond and returns within 50 ms, so its caller sees a stop that soon.
#include "stop_wake.h"

namespace qvlink {

StopWake::StopWake() = default;
StopWake::~StopWake() = default;
void StopWake::Raise() const {}
void StopWake::Clear() const {}

}  // namespace qvlink
