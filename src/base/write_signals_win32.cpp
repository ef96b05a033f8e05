#include "write_signals.h"

namespace qvlink::station {

void IgnoreWriteSignals() {}

}  // namespace qvlink::station
