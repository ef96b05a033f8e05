// qvlink-sim: virtual receivers on pseudo-terminals, so that the flasher and every test can run
// without hardware. Each port serves its own receivers on a thread of its own.
#include <sys/prctl.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "device_line.h"
#include "firmware_loader.h"
#include "port_server.h"
#include "program_version.h"
#include "sim_options.h"
#include "transcript.h"

int main(int argc, char** argv) {
    using namespace qvlink::sim;
    if (qvlink::PrintVersionIfAsked(argc, argv, "qvlink-sim")) return 0;
    SimOptions options;
    bool helpAsked = false;
    const qvlink::Status read = ParseSimOptions(argc, argv, &options, &helpAsked);
    if (helpAsked) {
        std::fputs(SIM_USAGE, stdout);
        return 0;
    }
    if (!read.ok()) {
        std::fprintf(stderr, "qvlink-sim: %s\n%s", read.message().c_str(), SIM_USAGE);
        return 2;
    }

    qvlink::FirmwareImage image;
    const qvlink::Status loaded = qvlink::LoadFirmwareFile(options.firmwarePath, image);
    if (!loaded.ok()) {
        std::fprintf(stderr, "qvlink-sim: %s: %s\n", options.firmwarePath.c_str(),
                     loaded.message().c_str());
        return 3;
    }
    const std::vector<std::uint8_t> payload(image.bytes.get(), image.bytes.get() + image.size);

    std::vector<std::unique_ptr<DeviceLine>> lines;
    std::vector<std::string> paths;
    for (int port = 0; port < options.ports; ++port) {
        std::string path = options.devicePath;
        std::unique_ptr<DeviceLine> line;
        const qvlink::Status made = options.devicePath.empty()
                                        ? DeviceLine::CreatePseudoTerminal(&path, &line)
                                        : DeviceLine::OpenDevice(path, &line);
        if (!made.ok()) {
            std::fprintf(stderr, "qvlink-sim: %s\n", made.ToString().c_str());
            return 4;
        }
        lines.push_back(std::move(line));
        paths.push_back(path);
    }
    for (const std::string& path : paths) std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    qvlink::tools::Transcript transcript(options.logPath);
    if (!options.logPath.empty() && !transcript.Active()) {
        std::fprintf(stderr, "qvlink-sim: cannot write %s\n", options.logPath.c_str());
        return 4;
    }
    // Paced lines sleep for microseconds at a time; the default timer slack would add 50 us
    // each. Set before the ports' threads start, which inherit it.
    if (options.baud > 0) prctl(PR_SET_TIMERSLACK, 1UL);
    for (auto& line : lines) {
        line->SetTranscript(&transcript);
        line->SetPacing(options.baud);
    }
    if (lines.size() == 1)
        return ServeReceivers(*lines[0], options, payload, transcript, "") ? 0 : 1;

    std::atomic<bool> allOk{true};
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        threads.emplace_back([&, i] {
            if (!ServeReceivers(*lines[i], options, payload, transcript, paths[i] + ": "))
                allOk.store(false);
        });
    }
    for (std::thread& thread : threads) thread.join();
    return allOk.load() ? 0 : 1;
}
