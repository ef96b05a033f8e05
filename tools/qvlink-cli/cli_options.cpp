#include "cli_options.h"

#include <CLI/CLI.hpp>

#include "port_list.h"
#include "record_line.h"
#include "record_link.h"

namespace qvlink::cli {
namespace {

const char* const DESCRIPTION = "Writes the firmware in FILE.bin into a receiver on each PORT.";

const char* const EXPLANATION =
    "Ports: COM1..COM8 (on Linux /dev/ttyS0../dev/ttyS7, or the device named by the environment\n"
    "variable QVLINK_COM<n>), or a device path. --port may be repeated and takes a list\n"
    "(COM1,COM2,COM5) or a range (COM1-COM8). Each port upgrades its own receivers at the same\n"
    "time as the others; a port that cannot be opened is reported and left out. With\n"
    "--continuous a port whose device goes away (a USB adapter pulled), or is not there at the\n"
    "start, says \"Waiting for its port\" and serves on once the device is back; name a rack's\n"
    "slots by their /dev/serial/by-path links, which stay with the slot.\n"
    "\n"
    "The file is checked exactly as the dialog checks it. Then the tool waits for the receiver\n"
    "to announce itself, sends the image, and follows the burn; it prints one result line per\n"
    "receiver. After \"Receiver Abort\" (the receiver cancelled) it waits for the receiver to\n"
    "start again, with or without --continuous; a cancel is not counted as a finish for\n"
    "--count, but it counts for --out-of-service-after as a failure does: a port whose\n"
    "receivers fail or cancel K times in a row stops (exit status 1). Ctrl-C (SIGINT) or\n"
    "SIGTERM stops every port. A closed stdout (a pager or `head` that quit) ends the display,\n"
    "not the run; the summary then goes to stderr.\n"
    "With several ports, a terminal shows one line per port, redrawn in place; otherwise every\n"
    "change is a line of its own that starts with the port (\"COM3: Upgrade Completed\"). A\n"
    "summary per port and in total ends the output.\n"
    "\n"
    "--record appends one JSON object per line for every receiver that made itself known (it\n"
    "announced itself or cancelled), whatever its end, the operator's stop included; each line\n"
    "is on disk before the next receiver on that port starts: schema, record_id, station, start,\n"
    "end, port, device, protocol, result, result_text, transfer_seconds, burn_seconds, resent,\n"
    "firmware, firmware_size, firmware_crc32, firmware_sha256, receiver, phase, host, program,\n"
    "version.\n"
    "A line that cannot be written whole is cut away again, and that port stops; the receiver\n"
    "without its line is named on stderr and in the summary. The record follows its path: moved\n"
    "or deleted during a run, it is made again and said so. A pipe with no reader is refused.\n"
    "\n"
    "--database sends every record line to a PostgreSQL database as well, while the ports\n"
    "serve; the record file is the outbox, and FILE.sent beside it says how far it got, so a\n"
    "database that is away loses nothing: its lines go with the next run (or qvlink-records\n"
    "push). CONNINFO is libpq's (postgresql://host/db or \"host=... dbname=...\", with the PG*\n"
    "environment variables); the password goes in ~/.pgpass (on Windows\n"
    "%APPDATA%\\postgresql\\pgpass.conf), never on the command line. At the end the tool sends\n"
    "what is unsent for at most --database-wait seconds and says what stays; the exit status\n"
    "does not depend on the database.\n"
    "\n"
    "Exit status: 0 every receiver ended \"Upgrade Completed\"; 1 a receiver failed (or a port\n"
    "could not run one, or went out of service), whatever else happened; 2 usage error, or the\n"
    "record file could not be written; 3 the firmware file was refused; 4 a port could not be\n"
    "opened, or it went away with no receiver on it (\"Port Lost\"); 130 stopped by the\n"
    "operator.";

struct Parser {
    CLI::App app{DESCRIPTION, "qvlink-cli"};
    std::vector<std::string> portArguments;
    CliOptions options;

    Parser() {
        app.footer(EXPLANATION);
        // A path is a path: "/fw/quorvane.bin" is never taken for a Windows-style option.
        app.allow_windows_style_options(false);
        app.get_formatter()->column_width(22);
        app.add_flag("--version")->description("print the program's name and version");
        app.add_option("--port", portArguments, "a port, a list or a range; may be repeated")
            ->type_name("PORT")
            ->expected(1)
            ->take_all()
            ->required();
        app.add_flag("--continuous", options.continuous,
                     "after each receiver, wait for the next one on the same port");
        app.add_option("--count", options.count,
                       "per port, stop after N finished receivers (a cancel is no finish)")
            ->type_name("N")
            ->check(CLI::Range(1, 1'000'000));
        app.add_option("--out-of-service-after", options.outOfServiceAfter,
                       "per port, stop after K receivers in a row failed or cancelled "
                       "(default 3; 0: never)")
            ->type_name("K")
            ->check(CLI::Range(0, 1000));
        app.add_option("--trace", options.tracePath,
                       "one port only: write a transcript of every byte each way")
            ->type_name("FILE");
        app.add_option("--record", options.recordPath, "append a JSON line for every receiver")
            ->type_name("FILE");
        app.add_option("--station", options.station,
                       "the station's name in the record (default: the host's name)")
            ->type_name("NAME");
        app.add_option("--database", options.database,
                       "send the record to this PostgreSQL database as well (libpq's "
                       "connection settings; needs --record)")
            ->type_name("CONNINFO");
        app.add_option("--database-wait", options.databaseWait,
                       "at the end, send what is unsent for at most S seconds (default 10)")
            ->type_name("S")
            ->check(CLI::Range(0, 3600));
        app.add_option("FILE.bin", options.firmwarePath, "the firmware file")
            ->type_name("")
            ->required();
    }
};

}  // namespace

Status ParseCliOptions(int argc, char** argv, CliOptions* options, bool* helpAsked) {
    Parser parser;
    try {
        parser.app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        *helpAsked = true;
        return Status::Ok();
    } catch (const CLI::ParseError& e) {
        return Status::Error(StatusKind::Usage, e.what());
    }
    *options = parser.options;
    if (Status ports = station::ExpandPortArguments(parser.portArguments, &options->ports);
        !ports.ok())
        return ports;
    if (parser.app.count("--station") > 0 && !station::IsStationName(options->station))
        return Status::Error(StatusKind::Usage,
                             std::string("--station: ") + station::STATION_NAME_RULE);
    options->databaseGiven = parser.app.count("--database") > 0;
    if (options->databaseGiven) {
        if (options->recordPath.empty())
            return Status::Error(StatusKind::Usage,
                                 "--database needs --record: the record file is what is sent");
        if (Status conninfo = records::CheckDatabaseSetting(options->database); !conninfo.ok())
            return Status::Error(StatusKind::Usage, "--database: " + conninfo.ToString());
    }
    if (options->ports.size() > 1 && !options->tracePath.empty())
        return Status::Error(StatusKind::Usage, "--trace takes one port");
    return Status::Ok();
}

std::string CliUsage() {
    return Parser().app.help();
}

}  // namespace qvlink::cli
