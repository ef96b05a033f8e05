// One virtual receiver from announcement to the end of its burn: it answers the flasher as a
// receiver would, with the faults it was told to show, and checks every byte it is sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device_line.h"
#include "sim_options.h"

namespace qvlink::sim {

struct SessionOutcome {
    bool ok = false;      // exactly the right bytes, no protocol error, and what was asked of it
    std::string summary;  // one line for the operator
    // The flasher closed the line before it answered the announcement: the same receiver
    // announces itself again once the line is opened again, as a real one does when it retries.
    bool flasherLeftBeforeContact = false;
};

// Plays receiver number `device` (from 1) on `line`. `payload` is the descrambled firmware
// payload (at least 0x100010 bytes); the block path expects its first 0x100010 bytes, the bulk
// path bytes 12 on. When it goes silent as told, it says so on stdout at once, after `label`
// (which names the port when the sim serves several).
SessionOutcome PlayReceiver(DeviceLine& line, const SimOptions& options,
                            const std::vector<std::uint8_t>& payload, int device,
                            const std::string& label);

}  // namespace qvlink::sim
