#include "station_arguments.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "port_list.h"
#include "program_version.h"
#include "record_line.h"
#include "record_link.h"
#include "station_settings.h"

namespace qvlink {
namespace {

const char* const PROGRAM = "qvlink-station";

const char* const EXPLANATION =
    "One window for a production line: a tile per port, each serving receiver after receiver\n"
    "with the one firmware file, every receiver that made itself known recorded in FILE (one\n"
    "JSON line each, as qvlink-cli --record writes them). A port whose receivers fail or\n"
    "cancel 3 times in a row (\"out_of_service_after\" in the settings) is taken out of service\n"
    "until its box is ticked again.\n"
    "\n"
    "Ports: COM1..COM8 (on Linux /dev/ttyS0../dev/ttyS7, or the device named by the environment\n"
    "variable QVLINK_COM<n>), or a device path; --port may be repeated and takes a list\n"
    "(COM1,COM2,COM5) or a range (COM1-COM8).\n"
    "\n"
    "Without arguments the window opens with the ports, firmware and record file of the last\n"
    "time, kept in QVLinkStation.json in the folder it was started from; what the command line\n"
    "names replaces what was kept (--settings names another file). F5 starts every port, F6\n"
    "stops every port.\n"
    "\n"
    "With --headless there is no window and no display is needed: every port starts at once and\n"
    "serves receiver after receiver, every port event is a line on stdout (the port first), and\n"
    "SIGTERM or SIGINT stops every port (a receiver in transfer is told to cancel), sends what is\n"
    "left to the database and ends with status 0. SIGHUP rereads the settings file: ports added\n"
    "start, ports removed stop after their receiver, a changed firmware file takes over between\n"
    "receivers (a file that is refused is said and the old one stays), and a port that ended\n"
    "(out of service) starts again. Started by a service manager (NOTIFY_SOCKET), it tells it\n"
    "when it is ready, its totals, that it still answers (WATCHDOG_USEC) and that it stops. The\n"
    "settings file is only read: a file that cannot be read or is damaged ends the start with\n"
    "status 2, as does a damaged file named by --settings for the window.\n"
    "\n"
#ifdef _WIN32
    "On Windows Ctrl+C, Ctrl+Break or closing the console stop --headless as SIGINT does.\n"
    "With --service it runs as the Windows service \"QVLinkStation\" as --headless does, with\n"
    "the settings in %ProgramData%\\Quorvane Link\\station.json and what it would print\n"
    "appended to station.log beside them. --install-service registers it (started by hand or\n"
    "at boot, restarted after a crash; not started now) and makes that folder and a sample\n"
    "station.json when there is none; --remove-service stops it and removes it. Start it with\n"
    "\"net start QVLinkStation\", at boot with \"sc config QVLinkStation start= auto\";\n"
    "\"net stop QVLinkStation\" stops every port as Stop all does; \"sc control QVLinkStation\n"
    "paramchange\" rereads the settings.\n"
    "\n"
#endif
    "With --database (\"database\" in the settings) every record line goes to a PostgreSQL\n"
    "database as well, while the window is open: the record file is the outbox, FILE.sent beside\n"
    "it says how far it got, and the header shows \"all sent\" or the lines still unsent and\n"
    "why. CONNINFO is libpq's (postgresql://host/db or \"host=... dbname=...\"); the password\n"
    "goes in ~/.pgpass (on Windows %APPDATA%\\postgresql\\pgpass.conf), never in the settings\n"
    "or on the command line.";

struct Parser {
    CLI::App app{
        "Upgrades the receivers on many ports at once, in one window or (--headless) none.",
        PROGRAM};
    StationArguments parsed;
    std::string record, firmware, station, database, settings;

    Parser() {
        app.footer(EXPLANATION);
        app.allow_windows_style_options(false);
        app.get_formatter()->column_width(22);
        app.add_flag("--version")->description("print the program's name and version");
        app.add_option("--port", parsed.ports, "a port, a list or a range; may be repeated")
            ->type_name("PORTS")
            ->expected(1)
            ->take_all();
        app.add_option("--record", record, "append a JSON line for every receiver to FILE")
            ->type_name("FILE");
        app.add_option("--station", station,
                       "the station's name in the record (default: the host's name)")
            ->type_name("NAME");
        app.add_option("--database", database,
                       "send the record to this PostgreSQL database as well (libpq's connection "
                       "settings)")
            ->type_name("CONNINFO");
        app.add_flag("--start", parsed.start, "start every port at once");
        app.add_flag("--headless", parsed.headless,
                     "no window: serve at once and write every port event to stdout");
#ifdef _WIN32
        app.add_flag("--service", parsed.service,
                     "run as the Windows service (started by the service control manager)");
        app.add_flag("--install-service", parsed.installService,
                     "register the Windows service (demand start) and its settings folder");
        app.add_flag("--remove-service", parsed.removeService,
                     "stop the Windows service and remove its registration");
#endif
        app.add_option("--settings", settings,
                       "the settings file (default: QVLinkStation.json in the start folder)")
            ->type_name("FILE");
        app.add_option("FIRMWARE", firmware, "the firmware file (.bin)")->type_name("");
    }

    // Whether --help (or -h) was asked is CLI11's to say, wherever it stands among the rest.
    Status Parse(const std::vector<std::string>& arguments, bool* helpAsked) {
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        try {
            app.parse(reversed);
        } catch (const CLI::CallForHelp&) {
            *helpAsked = true;
        } catch (const CLI::ParseError& e) {
            return Status::Error(StatusKind::Usage, e.what());
        }
        return Status::Ok();
    }
};

}  // namespace

Status ParseStationArguments(const std::vector<std::string>& arguments, StationArguments* parsed,
                             bool* helpAsked) {
    Parser parser;
    if (Status usage = parser.Parse(arguments, helpAsked); !usage.ok() || *helpAsked) return usage;
    std::vector<std::string> ports;
    if (const Status expanded = station::ExpandPortArguments(parser.parsed.ports, &ports);
        !expanded.ok())
        return expanded;
    *parsed = parser.parsed;
    if (parser.app.count("--record") > 0) parsed->recordPath = parser.record;
    if (parser.app.count("FIRMWARE") > 0) parsed->firmwarePath = parser.firmware;
    if (parser.app.count("--settings") > 0) {
        if (parser.settings.empty())
            return Status::Error(StatusKind::Usage, "--settings: the file's name is empty");
        parsed->settingsPath = parser.settings;
    }
    if (parser.app.count("--station") > 0) {
        if (!station::IsStationName(parser.station))
            return Status::Error(StatusKind::Usage,
                                 std::string("--station: ") + station::STATION_NAME_RULE);
        parsed->station = parser.station;
    }
    if (parser.app.count("--database") > 0) {
        if (Status usable = records::CheckDatabaseSetting(parser.database); !usable.ok())
            return Status::Error(StatusKind::Usage, "--database: " + usable.ToString());
        parsed->database = parser.database;
    }
    return Status::Ok();
}

std::string StationUsage() {
    return Parser().app.help();
}

StationSetup ApplyArguments(StationSetup setup, const StationArguments& arguments) {
    if (!arguments.ports.empty()) setup.ports = arguments.ports;
    if (arguments.recordPath) setup.recordPath = *arguments.recordPath;
    if (arguments.firmwarePath) setup.firmwarePath = *arguments.firmwarePath;
    if (arguments.station) setup.station = *arguments.station;
    if (arguments.database) setup.database = *arguments.database;
    return setup;
}

StationSetup StartingSetup(const std::filesystem::path& settingsFile,
                           const StationArguments& arguments, std::string* notice) {
    StationSetup kept;
    const Status loaded = LoadStationSetup(settingsFile, &kept);
    // A first start that names its ports has missed nothing.
    const bool firstStart = loaded.kind() == StatusKind::NotFound && !arguments.ports.empty();
    *notice = firstStart ? std::string() : loaded.message();
    return ApplyArguments(kept, arguments);
}

bool SettingsMustBeUsable(const StationArguments& arguments) {
    return arguments.headless || arguments.service || arguments.settingsPath.has_value();
}

std::optional<int> AnswerStationArguments(int argc, char** argv) {
    if (PrintVersionIfAsked(argc, argv, PROGRAM)) return 0;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    bool helpAsked = false;
    // A usage error is not answered here: the window shows it with the usage.
    (void)Parser().Parse(arguments, &helpAsked);
    if (!helpAsked) return std::nullopt;
    std::fputs(StationUsage().c_str(), stdout);
    return 0;
}

}  // namespace qvlink
