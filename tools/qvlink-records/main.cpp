// qvlink-records: the record of every station in one database. Prints the database's schema,
// sends record files to it, reports yield and failure causes from it or from files, and shows
// every station's live state.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "database_schema.h"
#include "program_version.h"
#include "records_commands.h"
#include "utf8_arguments.h"
#include "write_signals.h"

namespace {

const char* const EXPLANATION =
    "The database is PostgreSQL; CONNINFO is libpq's: a URI (postgresql://host/db) or\n"
    "\"host=... dbname=... user=...\", completed by the PG* environment variables. A password\n"
    "is never given here: it goes in ~/.pgpass (on Windows %APPDATA%\\postgresql\\pgpass.conf),\n"
    "or the file PGPASSFILE names.\n"
    "\n"
    "  schema   prints the SQL that makes the database: tables, views, the functions a\n"
    "           dashboard bounds in time (yield_by_hour_between(since, until),\n"
    "           failure_causes_between, failure_causes_by_hour_between) and the roles\n"
    "           qvlink_insert (stations) and qvlink_read (reports, dashboards). Applying it\n"
    "           again, or over an earlier version, keeps every row and changes nothing else:\n"
    "           qvlink-records schema | psql -d DB -v ON_ERROR_STOP=1\n"
    "  push     sends record files (a station that ran offline, files brought from elsewhere).\n"
    "           Each record is kept once however often it is sent; a line that is no record is\n"
    "           skipped and named by its number.\n"
    "  report   yield per station, port and firmware, and the causes of failures, from the\n"
    "           database (--database CONNINFO) or from record files (FILE...). --since TIME\n"
    "           and --until TIME count the receivers started at or after the one and before\n"
    "           the other (UTC: 2025-03-01, 2025-03-01T08:00), and from the database read only\n"
    "           those rows; --station NAME one station's. --format table (aligned, both tables\n"
    "           unless --table yield or --table causes names one) or csv (one table: the\n"
    "           yield unless --table causes).\n"
    "  status   the floor now: one line per station (its ports serving, waiting for their port,\n"
    "           out of service, not serving, and when it was last heard from; \"silent\" after 3\n"
    "           minutes without a word), then the ports that need a hand.\n"
    "\n"
    "Exit status: 0 done; 1 push skipped lines that are no record, or status found ports that\n"
    "need a hand; 2 usage error, a file that cannot be read, or the database could not be\n"
    "reached or refused.";

}  // namespace

int main(int rawArgc, char** rawArgv) {
    // Paths on the command line as written, whatever the system's code page.
    qvlink::Utf8Arguments arguments(rawArgc, rawArgv);
    const int argc = arguments.Argc();
    char** const argv = arguments.Argv();
    if (qvlink::PrintVersionIfAsked(argc, argv, "qvlink-records")) return 0;
    qvlink::station::IgnoreWriteSignals();
    CLI::App app{"Gathers the record of every station in one PostgreSQL database.",
                 "qvlink-records"};
    app.footer(EXPLANATION);
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    app.add_flag("--version")->description("print the program's name and version");

    app.add_subcommand("schema", "print the database's SQL");

    std::string pushDatabase;
    std::vector<std::string> pushFiles;
    CLI::App* push = app.add_subcommand("push", "send record files to the database");
    push->add_option("--database", pushDatabase, "the database (libpq's connection settings)")
        ->type_name("CONNINFO")
        ->required();
    push->add_option("FILE", pushFiles, "record files")->type_name("")->required();

    qvlink::records::ReportRequest request;
    std::string format = "table";
    CLI::App* report = app.add_subcommand("report", "yield and failure causes");
    CLI::Option* database =
        report->add_option("--database", request.conninfo, "report from this database")
            ->type_name("CONNINFO");
    CLI::Option* files =
        report->add_option("FILE", request.files, "report from these record files")->type_name("");
    database->excludes(files);
    report
        ->add_option("--since", request.since,
                     "only receivers started at or after TIME (UTC: 2025-03-01, "
                     "2025-03-01T08:00)")
        ->type_name("TIME");
    report
        ->add_option("--until", request.until,
                     "only receivers started before TIME (UTC, as --since)")
        ->type_name("TIME");
    report->add_option("--station", request.station, "only this station")->type_name("NAME");
    report->add_option("--format", format, "table (default) or csv")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"table", "csv"}));
    std::string table;
    report
        ->add_option("--table", table,
                     "only this table: yield or causes (csv: one table, yield by default)")
        ->type_name("TABLE")
        ->check(CLI::IsMember({"yield", "causes"}));

    std::string statusDatabase;
    CLI::App* status = app.add_subcommand("status", "every station's ports now");
    status->add_option("--database", statusDatabase, "the database (libpq's connection settings)")
        ->type_name("CONNINFO")
        ->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : qvlink::records::EXIT_FAILED;
    }
    if (app.got_subcommand("schema")) {
        std::fputs(qvlink::records::DatabaseSchemaSql(), stdout);
        return std::fflush(stdout) == 0 ? 0 : qvlink::records::EXIT_FAILED;
    }
    if (app.got_subcommand(push)) return qvlink::records::PushFiles(pushDatabase, pushFiles);
    if (app.got_subcommand(status)) return qvlink::records::ShowFloor(statusDatabase);
    if (database->count() == 0 && request.files.empty()) {
        std::fprintf(stderr, "qvlink-records report: give --database CONNINFO or record files\n");
        return qvlink::records::EXIT_FAILED;
    }
    request.database = database->count() > 0;
    request.csv = format == "csv";
    if (!table.empty())
        request.table = table == "causes" ? qvlink::records::ReportTable::Causes
                                          : qvlink::records::ReportTable::Yield;
    return qvlink::records::Report(request);
}
