#include "yield_report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <tuple>

#include "record_counting.h"
#include "record_time.h"
#include "text_table.h"
#include "utc_time.h"

namespace qvlink::records {
namespace {

using YieldKey = std::tuple<std::string, std::string, std::string, std::string>;
using CauseKey = std::pair<std::string, std::string>;

// One group of records with one result: where the report's counting happens, for files and for
// the database alike.
struct Group {
    std::string station, port, firmware, firmwareSha256;
    int result = 0;
    std::string resultText, phase;
    long long count = 0;
};

void Count(std::map<YieldKey, YieldRow>& yields, std::map<CauseKey, long long>& causes,
           const Group& group) {
    YieldRow& row = yields[{group.station, group.port, group.firmware, group.firmwareSha256}];
    row.station = group.station;
    row.port = group.port;
    row.firmware = group.firmware;
    row.firmwareSha256 = group.firmwareSha256;
    switch (record::CountedAs(static_cast<UpgradeResult>(group.result))) {
        case record::Counted::Completed:
            row.completed += group.count;
            break;
        case record::Counted::Failed:
        case record::Counted::ReceiverAbort:
            row.failed += group.count;
            causes[{group.resultText, group.phase}] += group.count;
            break;
        case record::Counted::Stopped:
        case record::Counted::Nothing:
            row.stopped += group.count;
            break;
    }
}

YieldReport Ordered(const std::map<YieldKey, YieldRow>& yields,
                    const std::map<CauseKey, long long>& causes) {
    YieldReport report;
    for (const auto& [key, row] : yields) report.yields.push_back(row);
    for (const auto& [key, count] : causes) report.causes.push_back({key.first, key.second, count});
    std::stable_sort(report.causes.begin(), report.causes.end(),
                     [](const CauseRow& a, const CauseRow& b) { return a.count > b.count; });
    return report;
}

std::string Percent(long long part, long long whole) {
    if (whole == 0) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f %%",
                  100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

std::string Fraction(long long part, long long whole) {
    if (whole == 0) return "";
    char text[16];
    std::snprintf(text, sizeof text, "%.4f",
                  static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

}  // namespace

ReportCounter::ReportCounter(ReportFilter filter) : filter_(std::move(filter)) {
    if (!filter_.since.empty()) sinceMicros_ = record::UtcMicros(filter_.since).value_or(0);
    if (!filter_.until.empty()) untilMicros_ = record::UtcMicros(filter_.until).value_or(0);
}

void ReportCounter::Add(const record::RecordRow& row) {
    if (!filter_.station.empty() && row.station != filter_.station) return;
    const std::int64_t start = record::UtcMicros(row.start).value_or(0);
    if ((sinceMicros_ && start < *sinceMicros_) || (untilMicros_ && start >= *untilMicros_)) return;
    if (!seen_.insert(row.recordId).second) return;
    Count(yields_, causes_,
          {row.station, row.port, row.firmware, row.firmwareSha256, row.result, row.resultText,
           row.phase, 1});
}

YieldReport ReportCounter::Take() {
    return Ordered(yields_, causes_);
}

const std::string& ReportSql() {
    static const std::string sql =
        "SELECT station, port, firmware, firmware_sha256, result, result_text, phase, count(*) "
        "FROM records "
        "WHERE start_time >= $1::timestamptz AND start_time < $2::timestamptz "
        "AND (NULLIF($3, '') IS NULL OR station = $3) "
        "GROUP BY station, port, firmware, firmware_sha256, result, result_text, phase";
    return sql;
}

Status ReportFromDatabase(PgConnection& connection, const ReportFilter& filter,
                          YieldReport& report) {
    PgResult result;
    // As bounds the planner sees (the statement is planned with its values), so that a bounded
    // report reads the index on start_time and an unbounded one the whole table.
    const std::string since = filter.since.empty() ? "-infinity" : filter.since;
    const std::string until = filter.until.empty() ? "infinity" : filter.until;
    Status status = connection.Exec(ReportSql(), {since, until, filter.station}, nullptr,
                                    std::chrono::seconds(300), &result);
    if (!status.ok()) return status;
    std::map<YieldKey, YieldRow> yields;
    std::map<CauseKey, long long> causes;
    for (int i = 0; i < result.rows(); ++i)
        Count(yields, causes,
              {result.Value(i, 0), result.Value(i, 1), result.Value(i, 2), result.Value(i, 3),
               std::stoi(result.Value(i, 4)), result.Value(i, 5), result.Value(i, 6),
               std::stoll(result.Value(i, 7))});
    report = Ordered(yields, causes);
    return Status::Ok();
}

std::string FormatReport(const YieldReport& report, bool csv, ReportTable table) {
    std::vector<std::vector<std::string>> yields = {
        {"station", "port", "firmware", "sha256", "completed", "failed", "stopped",
         csv ? "first_pass_yield" : "first-pass yield"}};
    for (const YieldRow& row : report.yields) {
        const long long tried = row.completed + row.failed;
        yields.push_back({Shown(row.station), Shown(row.port), Shown(row.firmware),
                          Shown(csv ? row.firmwareSha256 : row.firmwareSha256.substr(0, 12)),
                          std::to_string(row.completed), std::to_string(row.failed),
                          std::to_string(row.stopped),
                          csv ? Fraction(row.completed, tried) : Percent(row.completed, tried)});
    }
    long long failures = 0;
    for (const CauseRow& cause : report.causes) failures += cause.count;
    std::vector<std::vector<std::string>> causes = {
        {"result", "phase", "count", "share", csv ? "cumulative_share" : "cumulative"}};
    long long cumulative = 0;
    for (const CauseRow& cause : report.causes) {
        cumulative += cause.count;
        causes.push_back({Shown(cause.resultText), Shown(cause.phase), std::to_string(cause.count),
                          csv ? Fraction(cause.count, failures) : Percent(cause.count, failures),
                          csv ? Fraction(cumulative, failures) : Percent(cumulative, failures)});
    }
    if (table == ReportTable::Default && csv) table = ReportTable::Yield;
    std::string out;
    if (table != ReportTable::Causes) {
        out += csv ? "" : "Yield\n";
        out += Table(yields, 4, csv);
    }
    if (table == ReportTable::Yield) return out;
    if (!csv) out += table == ReportTable::Causes ? "Failure causes\n" : "\nFailure causes\n";
    if (!csv && report.causes.empty()) return out + "none\n";
    return out + Table(causes, 2, csv);
}

}  // namespace qvlink::records
