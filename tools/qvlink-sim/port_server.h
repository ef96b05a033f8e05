// One port of the virtual receiver: receiver after receiver on one line, each announcing itself
// once the flasher has the line open, with a verdict line on stdout for each. The sim keeps its
// side of the line open from the first receiver to the last, as a real receiver's port does,
// so the flasher never sees a hang-up between receivers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device_line.h"
#include "sim_options.h"
#include "transcript.h"

namespace qvlink::sim {

// Serves options.devices receivers (0: until stopped) on `line`; every stdout line starts with
// `label` (empty for a lone port). True when every receiver got exactly the right bytes.
bool ServeReceivers(DeviceLine& line, const SimOptions& options,
                    const std::vector<std::uint8_t>& payload, tools::Transcript& transcript,
                    const std::string& label);

}  // namespace qvlink::sim
