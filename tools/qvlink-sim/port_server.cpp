#include "port_server.h"

#include <cstdio>

#include "receiver_session.h"

namespace qvlink::sim {
namespace {

constexpr auto NEXT_RECEIVER_DELAY = std::chrono::milliseconds(500);

}  // namespace

bool ServeReceivers(DeviceLine& line, const SimOptions& options,
                    const std::vector<std::uint8_t>& payload, tools::Transcript& transcript,
                    const std::string& label) {
    bool allOk = true;
    for (int device = 1; options.devices == 0 || device <= options.devices; ++device) {
        // A flasher that takes one receiver at a time closes the line right after a result;
        // the next receiver announces itself only once that has happened, or has not in a while.
        if (device > 1) line.Linger(NEXT_RECEIVER_DELAY);
        SessionOutcome outcome;
        do {
            line.WaitForPeer();
            outcome = PlayReceiver(line, options, payload, device, label);
        } while (outcome.flasherLeftBeforeContact);
        const std::string verdict = "device " + std::to_string(device) + ": " + outcome.summary;
        transcript.Note(verdict);
        std::printf("%s%s\n", label.c_str(), verdict.c_str());
        std::fflush(stdout);
        allOk = allOk && outcome.ok;
    }
    line.Linger(std::chrono::seconds(options.timeoutSeconds));
    return allOk;
}

}  // namespace qvlink::sim
