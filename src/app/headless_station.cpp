#include "headless_station.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "file_path.h"
#include "host_name.h"
#include "port_list.h"
#include "program_version.h"
#include "record_link.h"
#include "run_end.h"
#include "screen_printer.h"
#include "service_reporter.h"
#include "service_signals.h"
#include "station.h"
#include "station_reload.h"
#include "station_settings.h"

namespace qvlink {
namespace {

constexpr const char* PROGRAM = "qvlink-station";
// What is unsent at a stop goes within this time; the unit's stop timeout allows for it.
constexpr auto DATABASE_WAIT = std::chrono::seconds(10);

// "3 of 4 ports serving; completed 12  failed 1  ...": the station's state on one line.
std::string StatusLine(const station::Station& station) {
    const station::Station::View view = station.Look();
    std::size_t serving = 0;
    for (const station::PortSnapshot& port : view.ports)
        if (port.activity == station::PortActivity::Running ||
            port.activity == station::PortActivity::AwaitingPort)
            ++serving;
    return std::to_string(serving) + " of " + std::to_string(view.ports.size()) +
           " ports serving; " + view.totals.Line();
}

std::vector<std::string> UnansweringNames(const station::Station& station,
                                          std::chrono::milliseconds limit) {
    std::vector<std::string> names;
    if (limit.count() <= 0) return names;
    for (const std::size_t index : station.Unanswering(limit))
        names.push_back(station.PortName(index));
    return names;
}

// Whether `setup` can serve at all; why not, in words.
Status CheckServable(const StationSetup& setup, std::vector<std::string>* ports) {
    if (const Status expanded = station::ExpandPortArguments(setup.ports, ports); !expanded.ok())
        return expanded;
    if (ports->empty())
        return Status::Error(StatusKind::Usage,
                             "no ports to serve: name them in the settings "
                             "(\"ports\") or with --port");
    if (setup.firmwarePath.empty())
        return Status::Error(StatusKind::Usage,
                             "no firmware file: name it in the settings "
                             "(\"firmware\") or on the command line");
    if (!setup.database.empty()) {
        if (setup.recordPath.empty())
            return Status::Error(StatusKind::Usage,
                                 "a database needs a record file to send from (\"record\")");
        if (const Status usable = records::CheckDatabaseSetting(setup.database); !usable.ok())
            return Status::Error(usable.kind(),
                                 "the database setting cannot be used: " + usable.ToString());
    }
    return Status::Ok();
}

}  // namespace

int RunHeadlessStation(const StationStart& start, ServiceManager manager, cli::PrinterSink& sink) {
    const auto Say = [&sink](const std::string& text) {
        sink.Err(std::string(PROGRAM) + ": " + text + "\n");
    };
    // Before any thread: the signals are taken by Wait alone.
    ServiceSignals signals;
    if (const Status ready = signals.Ready(); !ready.ok()) {
        Say(ready.ToString());
        return STATION_EXIT_USAGE;
    }
    StationSetup setup = start.setup;
    std::vector<std::string> ports;
    if (const Status servable = CheckServable(setup, &ports); !servable.ok()) {
        Say(servable.ToString());
        return STATION_EXIT_USAGE;
    }
    const station::SystemClock clock;
    station::Station line(ports, clock,
                          {PROGRAM, ProgramVersion(), station::HostName(), setup.station});
    if (const Status opened = line.OpenRecord(setup.recordPath); !opened.ok()) {
        Say(opened.ToString());
        return STATION_EXIT_USAGE;
    }
    if (const Status loaded = line.LoadFirmware(setup.firmwarePath); !loaded.ok()) {
        Say(loaded.message() + " (" + setup.firmwarePath + ")");
        return STATION_EXIT_USAGE;
    }

    cli::ScreenPrinter printer(line, cli::ScreenMode::Lines, sink, PROGRAM, true);
    line.SetObserver(&printer);
    std::unique_ptr<records::RecordLink> database;
    if (!setup.database.empty()) {
        database = std::make_unique<records::RecordLink>(setup.database, setup.recordPath);
        line.SetRecordListener([link = database.get()] { link->Nudge(); });
        database->SetLiveSource([&line] { return line.Live(); });
    }
    // A port's word or counts changed: the totals may have too, and the database keeps the
    // ports' live state.
    line.SetLiveListener([&signals, link = database.get()] {
        signals.Nudge();
        if (link != nullptr) link->LiveChanged();
    });
    station::StationOptions options;
    options.continuous = true;
    options.outOfServiceAfter = setup.outOfServiceAfter;

    ServiceReporter reporter(std::move(manager), Say);
    printer.Start();
    // A port that cannot be opened says why on its line; the others serve.
    line.StartPorts(options, std::vector<bool>(line.PortCount(), true));
    reporter.Ready(StatusLine(line), ServiceReporter::Clock::now());

    std::optional<ServiceReporter::Clock::time_point> due;
    for (;;) {
        std::optional<std::chrono::milliseconds> timeout;
        if (due)
            timeout =
                std::chrono::ceil<std::chrono::milliseconds>(*due - ServiceReporter::Clock::now());
        const ServiceSignals::Event event = signals.Wait(timeout);
        if (event == ServiceSignals::Event::Stop) break;
        if (event == ServiceSignals::Event::Reload) {
            StationSetup next;
            if (const Status read = ReadStationSetup(start.settingsFile, &next); !read.ok()) {
                Say(read.ToString() + ": nothing changes");
            } else {
                const auto said =
                    ApplyReload(line, setup, ApplyArguments(next, start.arguments), options);
                if (said.empty())
                    Say("the settings file " + Utf8FromPath(start.settingsFile) +
                        " was read again: nothing changed");
                for (const std::string& text : said) Say(text);
            }
        }
        due = reporter.Tend(ServiceReporter::Clock::now(), StatusLine(line),
                            UnansweringNames(line, reporter.WatchdogLimit()));
    }

    reporter.Stopping();
    line.StopAll();
    line.WaitAll();
    printer.Stop();
    std::string databaseEnd;
    if (database) {
        // Room for the last attempt to end after the wait.
        reporter.Draining(DATABASE_WAIT + std::chrono::seconds(5));
        databaseEnd = database->Finish(DATABASE_WAIT, nullptr) + "\n";
    }
    (void)sink.Out(cli::SummaryText(line.Summary(), line.Totals()) + databaseEnd);
    return 0;
}

}  // namespace qvlink
