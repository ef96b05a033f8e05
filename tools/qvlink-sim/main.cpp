// qvlink-sim: a virtual receiver on a pseudo-terminal, so that the flasher and every test can
// run without hardware.
#include <sys/prctl.h>

#include <cstdio>

#include "device_line.h"
#include "firmware_loader.h"
#include "receiver_session.h"
#include "sim_options.h"
#include "transcript.h"

namespace {
constexpr auto NEXT_RECEIVER_DELAY = std::chrono::milliseconds(500);
}  // namespace

int main(int argc, char** argv) {
    using namespace qvlink::sim;
    std::string error;
    bool helpAsked = false;
    const auto options = ParseSimOptions(argc, argv, error, helpAsked);
    if (helpAsked) {
        std::fputs(SIM_USAGE, stdout);
        return 0;
    }
    if (!options) {
        std::fprintf(stderr, "qvlink-sim: %s\n%s", error.c_str(), SIM_USAGE);
        return 2;
    }

    qvlink::FirmwareImage image;
    const qvlink::LoadResult loaded = qvlink::LoadFirmwareFile(options->firmwarePath, image);
    if (!loaded.ok) {
        std::fprintf(stderr, "qvlink-sim: %s: %s\n", options->firmwarePath.c_str(),
                     loaded.message.c_str());
        return 3;
    }
    const std::vector<std::uint8_t> payload(image.bytes.get(), image.bytes.get() + image.size);

    std::string peerPath = options->devicePath;
    auto line = options->devicePath.empty() ? DeviceLine::CreatePseudoTerminal(peerPath, error)
                                            : DeviceLine::OpenDevice(options->devicePath, error);
    if (!line) {
        std::fprintf(stderr, "qvlink-sim: %s\n", error.c_str());
        return 4;
    }
    std::printf("%s\n", peerPath.c_str());
    std::fflush(stdout);

    qvlink::tools::Transcript transcript(options->logPath);
    if (!options->logPath.empty() && !transcript.Active()) {
        std::fprintf(stderr, "qvlink-sim: cannot write %s\n", options->logPath.c_str());
        return 4;
    }
    line->SetTranscript(&transcript);
    line->SetPacing(options->baud);
    // Paced lines sleep for microseconds at a time; the default timer slack would add 50 us each.
    if (options->baud > 0) prctl(PR_SET_TIMERSLACK, 1UL);

    bool allOk = true;
    for (int device = 1; options->devices == 0 || device <= options->devices; ++device) {
        // A flasher that takes one receiver at a time closes the line right after a result;
        // the next receiver announces itself only once that has happened, or has not in a while.
        if (device > 1) line->Linger(NEXT_RECEIVER_DELAY);
        SessionOutcome outcome;
        do {
            line->WaitForPeer();
            outcome = PlayReceiver(*line, *options, payload, device);
        } while (outcome.flasherLeftBeforeContact);
        const std::string verdict = "device " + std::to_string(device) + ": " + outcome.summary;
        transcript.Note(verdict);
        std::printf("%s\n", verdict.c_str());
        std::fflush(stdout);
        allOk = allOk && outcome.ok;
    }
    line->Linger(std::chrono::seconds(options->timeoutSeconds));
    return allOk ? 0 : 1;
}
