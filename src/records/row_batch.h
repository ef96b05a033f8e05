// Sending record rows to the database: one transaction per batch; a row whose record_id is there
// already is left as it is, so a batch sent twice adds nothing the second time. A batch goes by
// COPY into a table of the session's own and one INSERT from there (fast for a long backlog);
// a batch the server refuses for what is in it goes row-wise by InsertRows, halved until the
// refused rows stand alone. Needs the INSERT right on the table records (and the database's
// TEMPORARY right, which every role has unless taken away; without it every batch goes
// row-wise).
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

// One transaction: COPY into the session's table qvlink_incoming, one INSERT from it into
// records. A refusal rolls it back; nothing of the batch stays.
Status CopyRows(PgConnection& connection, std::span<const record::RecordRow> rows,
                const StopWake* stop, InsertCounts& counts);

// Sends `rows` (`lines` their line numbers) by CopyRows, or row-wise by InsertRows; when the server
// refuses a batch for what is in it, sends it again in halves, so that only the rows refused on
// their own are left out, each named in `refused` with the server's reason. Adds what went to
// `counts`. Any other error (the server away, a right missing) ends it: what committed before
// stays, and the caller sends the batch again later.
Status InsertRowsSkippingRefused(PgConnection& connection, std::span<const record::RecordRow> rows,
                                 std::span<const std::uint64_t> lines, const StopWake* stop,
                                 InsertCounts& counts, std::vector<SkippedLine>& refused);

// How long one batch may take before the connection is taken as lost.
inline constexpr std::chrono::seconds BATCH_LIMIT{60};

}  // namespace qvlink::records
