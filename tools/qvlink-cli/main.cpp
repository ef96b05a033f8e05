// qvlink-cli: the headless flasher. Loads and checks a firmware file, opens the port, and
// upgrades one receiver, or one after another with --continuous; with several ports, all of
// them at once.
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "cli_options.h"
#include "port_run.h"
#include "program_version.h"
#include "progress_display.h"
#include "record_file.h"
#include "several_ports.h"
#include "stop_signals.h"
#include "tracing_line.h"

namespace {

using namespace qvlink;

// The serial port, wrapped in a transcript when one is written.
LineOpener MakeOpener(tools::Transcript& transcript, bool tracing) {
    if (!tracing) return OpenSerialPort;
    return
        [&transcript](const std::string& device, std::string& why) -> std::unique_ptr<SerialLine> {
            auto port = OpenSerialPort(device, why);
            if (!port) return nullptr;
            return std::make_unique<tools::TracingLine>(std::move(port), transcript);
        };
}

int RunOnePort(const cli::CliOptions& options, cli::RecordFile* record) {
    const auto display = cli::MakeProgressDisplay(isatty(STDOUT_FILENO) == 1);
    tools::Transcript transcript(options.tracePath);
    const bool tracing = !options.tracePath.empty();
    cli::PortRun port(options.ports.front(), *display, MakeOpener(transcript, tracing), record);

    if (const LoadResult loaded = port.LoadFirmware(options.firmwarePath); !loaded.ok) {
        std::fprintf(stderr, "%s\n", loaded.message.c_str());
        return cli::EXIT_REFUSED;
    }
    if (tracing && !transcript.Active()) {
        std::fprintf(stderr, "qvlink-cli: cannot write %s\n", options.tracePath.c_str());
        return cli::EXIT_USAGE;
    }
    if (const PortOpening opening = port.Open(); !opening.ok) {
        cli::ReportOpenFailure(opening);
        return cli::EXIT_NO_PORT;
    }
    cli::WatchForStop(0, &port.Session());
    cli::InstallStopHandlers();
    const cli::PortEnd end = port.Run(options.continuous, options.count);
    cli::WatchForStop(0, nullptr);
    return end.ExitStatus();
}

}  // namespace

int main(int argc, char** argv) {
    if (qvlink::PrintVersionIfAsked(argc, argv, "qvlink-cli")) return 0;
    std::string error;
    bool helpAsked = false;
    const auto options = cli::ParseCliOptions(argc, argv, error, helpAsked);
    if (helpAsked) {
        std::fputs(cli::CliUsage().c_str(), stdout);
        return 0;
    }
    if (!options) {
        std::fprintf(stderr, "qvlink-cli: %s\n%s", error.c_str(), cli::CliUsage().c_str());
        return cli::EXIT_USAGE;
    }
    // Refused before any port is opened, so that no receiver is upgraded without its record.
    std::unique_ptr<cli::RecordFile> record;
    if (!options->recordPath.empty()) {
        std::string why;
        record = cli::RecordFile::Open(options->recordPath, why);
        if (!record) {
            std::fprintf(stderr, "qvlink-cli: cannot append to the record file %s: %s\n",
                         options->recordPath.c_str(), why.c_str());
            return cli::EXIT_USAGE;
        }
    }
    if (options->ports.size() == 1) return RunOnePort(*options, record.get());
    return cli::RunSeveralPorts(*options, record.get());
}
