// qvlink-cli: the headless flasher. Loads and checks a firmware file, opens the port, and
// upgrades one receiver, or one after another with --continuous.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>

#include "cli_host.h"
#include "cli_options.h"
#include "firmware_loader.h"
#include "port_names.h"
#include "progress_display.h"
#include "serial_port.h"
#include "status_texts.h"
#include "tracing_line.h"
#include "upgrade_worker.h"

namespace {

constexpr int EXIT_DEVICE_FAILURE = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_REFUSED = 3;
constexpr int EXIT_NO_PORT = 4;
constexpr int EXIT_STOPPED = 130;
constexpr int LINK_BAUD = 115200;

// Set from the signal handler; lock-free atomics are safe there.
std::atomic<int> stopRequested{0};
std::atomic<qvlink::RunFlags*> activeFlags{nullptr};

extern "C" void OnStopSignal(int) {
    stopRequested.store(1);
    if (qvlink::RunFlags* flags = activeFlags.load()) flags->abortRequested.store(1);
}

void InstallStopHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

int OpenFailure(const std::string& portName, const qvlink::SerialPort& port) {
    const int number = qvlink::PortNumberOfName(portName);
    if (number > 0)
        std::fprintf(stderr, "open port%d error!\n", number);
    else
        std::fprintf(stderr, "open %s error!\n", portName.c_str());
    std::fprintf(stderr, "qvlink-cli: %s\n", port.LastOpenError().c_str());
    return EXIT_NO_PORT;
}

bool Succeeded(int result) {
    return result == qvlink::BULK_COMPLETED || result == qvlink::BLOCK_COMPLETED;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace qvlink;
    std::string error;
    bool helpAsked = false;
    const auto options = cli::ParseCliOptions(argc, argv, error, helpAsked);
    if (helpAsked) {
        std::fputs(cli::CLI_USAGE, stdout);
        return 0;
    }
    if (!options) {
        std::fprintf(stderr, "qvlink-cli: %s\n%s", error.c_str(), cli::CLI_USAGE);
        return EXIT_USAGE;
    }

    FirmwareImage image;
    if (const LoadResult loaded = LoadFirmwareFile(options->firmwarePath, image); !loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.message.c_str());
        return EXIT_REFUSED;
    }
    tools::Transcript transcript(options->tracePath);
    if (!options->tracePath.empty() && !transcript.Active()) {
        std::fprintf(stderr, "qvlink-cli: cannot write %s\n", options->tracePath.c_str());
        return EXIT_USAGE;
    }

    SerialPort port;
    if (!port.OpenDevice(DeviceForName(options->port), LINK_BAUD))
        return OpenFailure(options->port, port);
    port.SetBinaryMode(1);
    tools::TracingLine tracedPort(port, transcript);
    SerialLine& line = options->tracePath.empty() ? static_cast<SerialLine&>(port) : tracedPort;

    const auto display = cli::MakeProgressDisplay(isatty(STDOUT_FILENO) == 1);
    cli::CliHost host(image, line, *display);
    activeFlags.store(&host.Flags());
    InstallStopHandlers();

    WorkerThread worker;
    int finished = 0;
    bool anyFailure = false;
    bool stopped = false;
    for (;;) {
        host.BeginRun();
        display->Show({STATUS_WAITING}, -1);
        if (!worker.Start(host)) {
            std::fprintf(stderr, "qvlink-cli: cannot start the upgrade thread\n");
            return EXIT_DEVICE_FAILURE;
        }
        // A stop that came between two runs must reach the new one.
        if (stopRequested.load()) host.Flags().abortRequested.store(1);
        std::optional<int> result;
        while (!(result = host.AwaitResult(std::chrono::seconds(1)))) {
        }
        worker.Join();

        if (*result == USER_ABORT) {
            display->Announce("Stopped");
            stopped = true;
            break;
        }
        display->Announce(ResultText(*result, true));
        if (*result == RECEIVER_ABORT) continue;
        ++finished;
        anyFailure = anyFailure || !Succeeded(*result);
        if (!options->continuous || (options->count > 0 && finished >= options->count)) break;
    }
    activeFlags.store(nullptr);
    if (stopped) return EXIT_STOPPED;
    return anyFailure ? EXIT_DEVICE_FAILURE : 0;
}
