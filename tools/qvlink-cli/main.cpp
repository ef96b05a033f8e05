// qvlink-cli: the headless flasher. Loads and checks a firmware file, opens the port, and
// upgrades one receiver, or one after another with --continuous.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>

#include "cli_host.h"
#include "cli_options.h"
#include "progress_display.h"
#include "status_texts.h"
#include "tracing_line.h"
#include "upgrade_session.h"

namespace {

constexpr int EXIT_DEVICE_FAILURE = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_REFUSED = 3;
constexpr int EXIT_NO_PORT = 4;
constexpr int EXIT_STOPPED = 130;

// Set from the signal handler; a session's stop request is only lock-free atomic stores.
std::atomic<int> stopRequested{0};
std::atomic<qvlink::UpgradeSession*> activeSession{nullptr};

extern "C" void OnStopSignal(int) {
    stopRequested.store(1);
    if (qvlink::UpgradeSession* session = activeSession.load()) session->RequestStop();
}

void InstallStopHandlers() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

// The serial port, wrapped in a transcript when one is written.
qvlink::LineOpener MakeOpener(qvlink::tools::Transcript& transcript, bool tracing) {
    if (!tracing) return qvlink::OpenSerialPort;
    return [&transcript](const std::string& device,
                         std::string& why) -> std::unique_ptr<qvlink::SerialLine> {
        auto port = qvlink::OpenSerialPort(device, why);
        if (!port) return nullptr;
        return std::make_unique<qvlink::tools::TracingLine>(std::move(port), transcript);
    };
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

    const auto display = cli::MakeProgressDisplay(isatty(STDOUT_FILENO) == 1);
    cli::CliHost host(*display);
    tools::Transcript transcript(options->tracePath);
    const bool tracing = !options->tracePath.empty();
    UpgradeSession session(host, MakeOpener(transcript, tracing));

    if (const LoadResult loaded = session.LoadFirmware(options->firmwarePath); !loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.message.c_str());
        return EXIT_REFUSED;
    }
    if (tracing && !transcript.Active()) {
        std::fprintf(stderr, "qvlink-cli: cannot write %s\n", options->tracePath.c_str());
        return EXIT_USAGE;
    }
    if (const PortOpening opening = session.OpenNamedPort(options->port); !opening.ok) {
        std::fprintf(stderr, "%s\nqvlink-cli: %s\n", opening.message.c_str(),
                     opening.cause.c_str());
        return EXIT_NO_PORT;
    }

    session.SetContinuous(options->continuous);
    session.SetReceiverLimit(options->count);
    activeSession.store(&session);
    InstallStopHandlers();
    display->Show({STATUS_WAITING}, -1);
    if (!session.Start()) {
        std::fprintf(stderr, "qvlink-cli: cannot start the upgrade thread\n");
        return EXIT_DEVICE_FAILURE;
    }
    // A stop that came before the session was reachable must still end it.
    if (stopRequested.load()) session.RequestStop();

    const auto announce = [&](UpgradeResult result) {
        display->Announce(result == USER_ABORT ? "Stopped" : ResultText(result, true));
    };
    RunOutcome outcome;
    do {
        std::optional<UpgradeResult> result;
        while (!(result = host.AwaitResult(std::chrono::seconds(1)))) {
        }
        outcome = session.Finish(*result, [&](const RunOutcome&) {
            announce(*result);
            host.BeginRun();
            display->Show({STATUS_WAITING}, -1);
        });
        if (!outcome.restarted) announce(*result);
    } while (outcome.restarted);
    activeSession.store(nullptr);
    if (outcome.stopped) {
        if (outcome.result != USER_ABORT) announce(USER_ABORT);
        return EXIT_STOPPED;
    }
    if (outcome.result == PORT_LOST) return EXIT_NO_PORT;
    return session.Tally().failed > 0 ? EXIT_DEVICE_FAILURE : 0;
}
