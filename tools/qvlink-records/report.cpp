#include <cstdio>
#include <tuple>

#include "conninfo_check.h"
#include "outbox_reader.h"
#include "record_time.h"
#include "records_commands.h"
#include "utc_time.h"
#include "utf8_output.h"
#include "yield_report.h"

namespace qvlink::records {

int Report(const ReportRequest& request) {
    ReportFilter filter;
    filter.station = request.station;
    for (const auto& [option, given, time] : {std::tuple{"--since", &request.since, &filter.since},
                                              {"--until", &request.until, &filter.until}}) {
        if (given->empty()) continue;
        if (const Status read = ReadUtcTime(*given, time); !read.ok()) {
            std::fprintf(stderr, "qvlink-records: %s %s: %s\n", option, given->c_str(),
                         read.message().c_str());
            return EXIT_FAILED;
        }
    }
    if (!filter.since.empty() && !filter.until.empty() &&
        record::UtcMicros(filter.until) <= record::UtcMicros(filter.since)) {
        std::fprintf(stderr, "qvlink-records: --until %s is not after --since %s\n",
                     request.until.c_str(), request.since.c_str());
        return EXIT_FAILED;
    }
    YieldReport report;
    if (request.database) {
        PgConnection connection;
        Status status = CheckConnInfo(request.conninfo);
        if (status.ok())
            status = connection.Open(request.conninfo, nullptr, std::chrono::seconds(10));
        if (status.ok()) status = ReportFromDatabase(connection, filter, report);
        if (!status.ok()) {
            std::fprintf(stderr, "qvlink-records: %s\n", status.ToString().c_str());
            return EXIT_FAILED;
        }
    } else {
        ReportCounter counter(filter);
        long long skipped = 0;
        for (const std::string& path : request.files) {
            const Status read = ReadWholeFile(path, 1000, [&](const OutboxBatch& batch) {
                for (const record::RecordRow& row : batch.rows) counter.Add(row);
                skipped += static_cast<long long>(batch.skipped.size());
            });
            if (!read.ok()) {
                WriteUtf8(stderr, "qvlink-records: " + read.ToString() + "\n");
                return EXIT_FAILED;
            }
        }
        if (skipped)
            std::fprintf(stderr, "qvlink-records: %lld %s no record %s left out\n", skipped,
                         skipped == 1 ? "line that is" : "lines that are",
                         skipped == 1 ? "was" : "were");
        report = counter.Take();
    }
    return WriteUtf8(stdout, FormatReport(report, request.csv, request.table)) ? 0 : EXIT_FAILED;
}

}  // namespace qvlink::records
