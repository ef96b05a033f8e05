#include "several_ports.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "port_board.h"
#include "port_run.h"
#include "run_summary.h"
#include "stop_signals.h"
#include "terminal.h"

namespace qvlink::cli {
namespace {

struct Port {
    std::unique_ptr<PortBoard> board;
    std::unique_ptr<PortRun> run;
    std::optional<PortEnd> end;
};

}  // namespace

int RunSeveralPorts(const CliOptions& options, RecordFile* record) {
    std::vector<Port> ports;
    for (const std::string& name : options.ports) {
        Port port;
        port.board = std::make_unique<PortBoard>(name);
        port.run = std::make_unique<PortRun>(name, *port.board, OpenSerialPort, record);
        if (const LoadResult loaded = port.run->LoadFirmware(options.firmwarePath); !loaded.ok) {
            std::fprintf(stderr, "%s\n", loaded.message.c_str());
            return EXIT_REFUSED;
        }
        ports.push_back(std::move(port));
    }

    std::vector<PortBoard*> shown;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (const PortOpening opening = ports[i].run->Open(); !opening.ok) {
            ReportOpenFailure(opening);
            continue;
        }
        shown.push_back(ports[i].board.get());
        WatchForStop(i, &ports[i].run->Session());
    }

    const bool isTerminal = isatty(STDOUT_FILENO) == 1;
    if (isTerminal) EnableCursorMovement();
    BoardPrinter printer(shown, isTerminal);
    std::vector<std::thread> threads;
    InstallStopHandlers();
    {
        const StopSignalsHeld held;
        for (Port& port : ports) {
            if (!port.run->Session().PortIsOpen()) continue;
            threads.emplace_back(
                [&port, &options] { port.end = port.run->Run(options.continuous, options.count); });
        }
        printer.Start();
    }
    for (std::thread& thread : threads) thread.join();
    for (std::size_t i = 0; i < ports.size(); ++i) WatchForStop(i, nullptr);
    printer.Stop();

    std::vector<PortSummary> summary;
    for (Port& port : ports) summary.push_back({port.run->Name(), port.end});
    std::fputs(SummaryText(summary).c_str(), stdout);
    return CombinedExitStatus(summary);
}

}  // namespace qvlink::cli
