// qvlink-cli: the headless flasher. Loads and checks a firmware file, opens the ports, and
// upgrades one receiver on each, or one after another with --continuous; several ports run at
// once. The production line itself is the station library; this program maps the command line
// to it, shows what it reports, and maps its outcome and the stop signals to exit statuses.
#include <csignal>
#include <cstdio>
#include <memory>

#include "cli_options.h"
#include "host_name.h"
#include "program_version.h"
#include "record_link.h"
#include "run_end.h"
#include "screen_printer.h"
#include "station.h"
#include "stop_signals.h"
#include "terminal.h"
#include "tracing_line.h"
#include "utf8_arguments.h"
#include "utf8_output.h"
#include "write_signals.h"

namespace {

using namespace qvlink;

// The serial port, wrapped in a transcript when one is written.
LineOpener MakeOpener(tools::Transcript& transcript, bool tracing) {
    if (!tracing) return OpenSerialPort;
    return [&transcript](const std::string& device, std::unique_ptr<SerialLine>* line) {
        std::unique_ptr<SerialLine> port;
        if (Status opened = OpenSerialPort(device, &port); !opened.ok()) return opened;
        *line = std::make_unique<tools::TracingLine>(std::move(port), transcript);
        return Status::Ok();
    };
}

int Run(const cli::CliOptions& options) {
    tools::Transcript transcript(options.tracePath);
    const bool tracing = !options.tracePath.empty();
    const station::SystemClock clock;
    station::Station line(options.ports, clock,
                          {"qvlink-cli", ProgramVersion(), station::HostName(), options.station},
                          MakeOpener(transcript, tracing));
    // Refused before any port is opened, so that no receiver is upgraded without its record.
    if (const Status opened = line.OpenRecord(options.recordPath); !opened.ok()) {
        WriteUtf8(stderr, "qvlink-cli: " + opened.ToString() + "\n");
        return cli::EXIT_USAGE;
    }
    if (const Status loaded = line.LoadFirmware(options.firmwarePath); !loaded.ok()) {
        WriteUtf8(stderr, loaded.message() + "\n");
        return cli::EXIT_REFUSED;
    }
    if (tracing && !transcript.Active()) {
        WriteUtf8(stderr, "qvlink-cli: cannot write " + options.tracePath + "\n");
        return cli::EXIT_USAGE;
    }
    station::StationOptions run;
    run.continuous = options.continuous;
    run.count = options.count;
    run.outOfServiceAfter = options.outOfServiceAfter;
    std::size_t opened = 0;  // or waited for: a missing device in continuous serving
    for (std::size_t i = 0; i < line.PortCount(); ++i) {
        const Status port = line.OpenPort(i);
        if (!port.ok()) WriteUtf8(stderr, port.message() + "\nqvlink-cli: " + port.cause() + "\n");
        if (port.ok() || station::AwaitsItsDevice(port, run)) ++opened;
    }
    if (opened == 0 && line.PortCount() == 1) return cli::EXIT_NO_PORT;

    const bool terminal = cli::StdoutIsTerminal();
    using Mode = cli::ScreenPrinter::Mode;
    const Mode mode = !terminal ? Mode::Lines : line.PortCount() == 1 ? Mode::OnePort : Mode::Board;
    if (terminal) cli::EnableCursorMovement();
    cli::StdioSink sink;
    cli::ScreenPrinter printer(line, mode, sink);
    line.SetObserver(&printer);
    cli::WatchForStop(&line);
    cli::InstallStopHandlers();
    std::unique_ptr<records::RecordLink> database;
    {
        const cli::StopSignalsHeld held;
        if (options.databaseGiven) {
            database = std::make_unique<records::RecordLink>(options.database, options.recordPath);
            // Each line recorded: the forwarder looks at once.
            line.SetRecordListener([link = database.get()] { link->Nudge(); });
            // The ports' live state, kept in the database while the station runs.
            database->SetLiveSource([&line] { return line.Live(); });
            line.SetLiveListener([link = database.get()] { link->LiveChanged(); });
        }
        line.StartAll(run);
        // After the start, so that the board has the ports that wait for their devices too.
        printer.Start();
    }
    // A stop that came before the ports ran still ends them.
    if (cli::StopSignalled()) line.StopAll();
    line.WaitAll();
    cli::WatchForStop(nullptr);
    printer.Stop();

    std::string databaseEnd;
    if (database) {
        // What is unsent goes now, within the time given, also after the operator's stop; one
        // more Ctrl-C cuts it short.
        const StopWake cut;
        cli::WatchForStopWake(&cut);
        if (!database->AllSent() && options.databaseWait > 0)
            std::fprintf(stderr,
                         "qvlink-cli: sending the record to the database (at most %d s; Ctrl-C "
                         "%sstops it)\n",
                         options.databaseWait, cli::StopSignalled() ? "again " : "");
        databaseEnd = database->Finish(std::chrono::seconds(options.databaseWait), &cut) + "\n";
        cli::WatchForStopWake(nullptr);
    }

    const auto summary = line.Summary();
    // With stdout gone the summary still reaches the operator, on stderr.
    std::FILE* const out = printer.OutputClosed() ? stderr : stdout;
    if (line.PortCount() > 1) WriteUtf8(out, cli::SummaryText(summary, line.Totals()));
    WriteUtf8(out, databaseEnd);
    return cli::ExitStatus(station::VerdictOf(summary));
}

}  // namespace

int main(int rawArgc, char** rawArgv) {
    // Paths on the command line as written, whatever the system's code page.
    qvlink::Utf8Arguments arguments(rawArgc, rawArgv);
    const int argc = arguments.Argc();
    char** const argv = arguments.Argv();
    if (qvlink::PrintVersionIfAsked(argc, argv, "qvlink-cli")) return 0;
    cli::CliOptions options;
    bool helpAsked = false;
    const Status parsed = cli::ParseCliOptions(argc, argv, &options, &helpAsked);
    if (helpAsked) {
        std::fputs(cli::CliUsage().c_str(), stdout);
        return 0;
    }
    if (!parsed.ok()) {
        qvlink::WriteUtf8(stderr, "qvlink-cli: " + parsed.message() + "\n" + cli::CliUsage());
        return cli::EXIT_USAGE;
    }
    station::IgnoreWriteSignals();
    return Run(options);
}
