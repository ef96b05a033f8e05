// Sending record rows to the database: one INSERT, so one transaction, per batch; a row whose
// record_id is there already is left as it is, so a batch sent twice adds nothing the second
// time. Needs only the INSERT right on the table records.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "pg_connection.h"
#include "record_fields.h"
#include "skipped_line.h"

namespace qvlink::records {

struct InsertCounts {
    long long added = 0;
    long long alreadyThere = 0;
};

Status InsertRows(PgConnection& connection, std::span<const record::RecordRow> rows,
                  const StopWake* stop, InsertCounts& counts);

// Sends `rows` (`lines` their line numbers) as InsertRows does; when the server refuses a batch
// for what is in it, sends it again in halves, so that only the rows refused on their own are
// left out, each named in `refused` with the server's reason. Adds what went to `counts`. Any
// other error (the server away, a right missing) ends it: what committed before stays, and the
// caller sends the batch again later.
Status InsertRowsSkippingRefused(PgConnection& connection, std::span<const record::RecordRow> rows,
                                 std::span<const std::uint64_t> lines, const StopWake* stop,
                                 InsertCounts& counts, std::vector<SkippedLine>& refused);

// How long one batch may take before the connection is taken as lost.
inline constexpr std::chrono::seconds BATCH_LIMIT{60};

}  // namespace qvlink::records
