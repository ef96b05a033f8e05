#include "row_batch.h"

#include "record_json.h"
#include "record_sql.h"

namespace qvlink::records {

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

Status InsertRowsSkippingRefused(PgConnection& connection, std::span<const record::RecordRow> rows,
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
    const Status first = InsertRowsSkippingRefused(connection, rows.first(half), lines.first(half),
                                                   stop, counts, refused);
    if (!first.ok()) return first;
    return InsertRowsSkippingRefused(connection, rows.subspan(half), lines.subspan(half), stop,
                                     counts, refused);
}

}  // namespace qvlink::records
