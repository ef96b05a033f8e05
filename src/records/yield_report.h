// The line's yield and its failures, counted the same way from record files and from the
// database, and as the station counts them (record::CountedAs: a receiver abort is a failed
// receiver): per station, port and firmware the completed, failed and stopped receivers and the
// first-pass yield (completed of completed and failed), and the failed receivers by result and
// phase with their share. Each record is counted once, however often its line appears.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_set>
#include <utility>
#include <vector>

#include "pg_connection.h"
#include "record_fields.h"

namespace qvlink::records {

// Which records a report counts: those of `station` (every station when empty) that started at
// or after `since` and before `until` (record times as ReadUtcTime gives them; empty: unbounded).
// The same rule for files and for the database, where it is a condition on start_time that its
// index serves, so that a day's report reads that day's rows.
struct ReportFilter {
    std::string since{};
    std::string station{};
    std::string until{};
};

struct YieldRow {
    std::string station, port, firmware, firmwareSha256;
    long long completed = 0, failed = 0, stopped = 0;

    bool operator==(const YieldRow&) const = default;
};

struct CauseRow {
    std::string resultText, phase;
    long long count = 0;

    bool operator==(const CauseRow&) const = default;
};

struct YieldReport {
    std::vector<YieldRow> yields;  // by station, port, firmware
    std::vector<CauseRow> causes;  // most frequent first

    bool operator==(const YieldReport&) const = default;
};

// Counts rows read from files.
class ReportCounter {
  public:
    explicit ReportCounter(ReportFilter filter);
    void Add(const record::RecordRow& row);
    YieldReport Take();

  private:
    ReportFilter filter_;
    std::optional<std::int64_t> sinceMicros_, untilMicros_;
    std::unordered_set<std::string> seen_;
    std::map<std::tuple<std::string, std::string, std::string, std::string>, YieldRow> yields_;
    std::map<std::pair<std::string, std::string>, long long> causes_;
};

// The query ReportFromDatabase runs: $1 and $2 the bounds of start_time ("-infinity" and
// "infinity" when unbounded), $3 the station or empty.
const std::string& ReportSql();

// The same report from the database (needs the SELECT right).
Status ReportFromDatabase(PgConnection& connection, const ReportFilter& filter,
                          YieldReport& report);

// The report's tables: both for a terminal unless one is asked for; CSV is always one table, the
// yield unless the causes are asked for, so that a spreadsheet or a CSV reader takes it whole.
enum class ReportTable { Default, Yield, Causes };

// As aligned columns for a terminal, or as CSV; control characters in a record's texts are shown
// as escapes ("\x1b"), printable UTF-8 as it is.
std::string FormatReport(const YieldReport& report, bool csv,
                         ReportTable table = ReportTable::Default);

}  // namespace qvlink::records
