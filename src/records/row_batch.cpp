#include "row_batch.h"

#include <charconv>
#include <cmath>
#include <variant>

#include "record_json.h"
#include "record_sql.h"

namespace qvlink::records {
namespace {

// A text value in COPY's text format: its backslash, tab, newline and carriage return escaped.
void AppendCopyText(std::string& out, const std::string& text) {
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
}

void AppendCopyValue(std::string& out, const std::string& text) {
    AppendCopyText(out, text);
}
void AppendCopyValue(std::string& out, const std::optional<std::string>& text) {
    if (text)
        AppendCopyText(out, *text);
    else
        out += "\\N";
}
void AppendCopyValue(std::string& out, std::int64_t number) {
    out += std::to_string(number);
}
void AppendCopyValue(std::string& out, int number) {
    out += std::to_string(number);
}
void AppendCopyValue(std::string& out, const std::optional<double>& number) {
    // Null as the line's reader gives it, and as JSON gives a number it cannot write.
    if (!number || !std::isfinite(*number)) {
        out += "\\N";
        return;
    }
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, *number);
    out.append(digits, written.ptr);
}

// The rows as COPY's text format, one line each, in the columns' order.
std::string CopyText(std::span<const record::RecordRow> rows) {
    std::string text;
    text.reserve(rows.size() * 512);
    for (const record::RecordRow& row : rows) {
        bool first = true;
        for (const record::RecordField& field : record::RECORD_FIELDS) {
            if (!first) text += '\t';
            first = false;
            std::visit([&](auto member) { AppendCopyValue(text, row.*member); }, field.member);
        }
        text += '\n';
    }
    return text;
}

// A table of this session only, the rows' stop on their way in: typed as records' columns,
// with none of its rules (the INSERT into records checks them), emptied by each COMMIT.
const std::string& IncomingTableSql() {
    static const std::string sql = [] {
        std::string columns;
        for (const record::RecordField& field : record::RECORD_FIELDS) {
            if (!columns.empty()) columns += ", ";
            columns.append(field.column).append(" ").append(field.sqlType);
        }
        return "CREATE TEMPORARY TABLE IF NOT EXISTS qvlink_incoming (" + columns +
               ") ON COMMIT DELETE ROWS";
    }();
    return sql;
}

// Ends an open transaction after a refusal: a connection that is lost meanwhile has no
// transaction left anyway.
void RollBack(PgConnection& connection, const StopWake* stop) {
    if (connection.connected()) (void)connection.Exec("ROLLBACK", {}, stop, BATCH_LIMIT);
}

}  // namespace

Status CopyRows(PgConnection& connection, std::span<const record::RecordRow> rows,
                const StopWake* stop, InsertCounts& counts) {
    counts = {};
    if (rows.empty()) return Status::Ok();
    static const std::string columns = record::RecordColumnList();
    static const std::string copy = "COPY qvlink_incoming (" + columns + ") FROM STDIN";
    // No conflict target, as in InsertRows: the station's role has no SELECT right on records.
    static const std::string insert = "INSERT INTO records (" + columns + ") SELECT " + columns +
                                      " FROM qvlink_incoming ON CONFLICT DO NOTHING";
    const std::string data = CopyText(rows);
    PgResult result;
    Status status = connection.Exec("BEGIN", {}, stop, BATCH_LIMIT);
    if (status.ok()) status = connection.Exec(IncomingTableSql(), {}, stop, BATCH_LIMIT);
    if (status.ok()) status = connection.CopyIn(copy, data, stop, BATCH_LIMIT);
    if (status.ok()) status = connection.Exec(insert, {}, stop, BATCH_LIMIT, &result);
    if (status.ok()) status = connection.Exec("COMMIT", {}, stop, BATCH_LIMIT);
    if (!status.ok()) {
        RollBack(connection, stop);
        return status;
    }
    counts.added = result.AffectedRows();
    counts.alreadyThere = static_cast<long long>(rows.size()) - counts.added;
    return Status::Ok();
}

Status InsertRows(PgConnection& connection, std::span<const record::RecordRow> rows,
                  const StopWake* stop, InsertCounts& counts) {
    counts = {};
    if (rows.empty()) return Status::Ok();
    std::string array = "[";
    for (const record::RecordRow& row : rows) {
        if (array.size() > 1) array += ',';
        array += record::RowJson(row);
    }
    array += ']';
    // No conflict target: naming record_id there would need the SELECT right on it, which a
    // station's role does not have. The key is the table's only unique constraint.
    static const std::string columns = record::RecordColumnList();
    static const std::string sql = "INSERT INTO records (" + columns + ") SELECT " + columns +
                                   " FROM json_populate_recordset(NULL::records, $1::json) "
                                   "ON CONFLICT DO NOTHING";
    PgResult result;
    Status status = connection.Exec(sql, {array}, stop, BATCH_LIMIT, &result);
    if (!status.ok()) return status;
    counts.added = result.AffectedRows();
    counts.alreadyThere = static_cast<long long>(rows.size()) - counts.added;
    return Status::Ok();
}

namespace {

Status InsertHalving(PgConnection& connection, std::span<const record::RecordRow> rows,
                     std::span<const std::uint64_t> lines, const StopWake* stop,
                     InsertCounts& counts, std::vector<SkippedLine>& refused) {
    InsertCounts these;
    const Status status = InsertRows(connection, rows, stop, these);
    counts.added += these.added;
    counts.alreadyThere += these.alreadyThere;
    if (status.ok() || status.kind() != StatusKind::Invalid) return status;
    if (rows.size() == 1) {
        refused.push_back({lines.front(), "the database refused it: " + status.cause()});
        return Status::Ok();
    }
    const std::size_t half = rows.size() / 2;
    const Status first =
        InsertHalving(connection, rows.first(half), lines.first(half), stop, counts, refused);
    if (!first.ok()) return first;
    return InsertHalving(connection, rows.subspan(half), lines.subspan(half), stop, counts,
                         refused);
}

}  // namespace

Status InsertRowsSkippingRefused(PgConnection& connection, std::span<const record::RecordRow> rows,
                                 std::span<const std::uint64_t> lines, const StopWake* stop,
                                 InsertCounts& counts, std::vector<SkippedLine>& refused) {
    InsertCounts these;
    const Status copied = CopyRows(connection, rows, stop, these);
    if (copied.ok()) {
        counts.added += these.added;
        counts.alreadyThere += these.alreadyThere;
        return copied;
    }
    // Refused for what is in it, or a role that may not make a table of its own: row by row,
    // so that a refused record is named on its own.
    const bool rowWise = copied.kind() == StatusKind::Invalid ||
                         copied.kind() == StatusKind::Denied || copied.kind() == StatusKind::Usage;
    if (!rowWise || !connection.connected()) return copied;
    return InsertHalving(connection, rows, lines, stop, counts, refused);
}

}  // namespace qvlink::records
