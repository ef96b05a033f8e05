// Sending record rows to the database: one INSERT, so one transaction, per batch; a row whose
// record_id is there already is left as it is, so a batch sent twice adds nothing the second
// time. Needs only the INSERT right on the table records.
#pragma once

#include <chrono>
#include <vector>

#include "pg_connection.h"
#include "record_row.h"

namespace qvlink::records {

struct InsertCounts {
    long long added = 0;
    long long alreadyThere = 0;
};

Status InsertRows(PgConnection& connection, const std::vector<RecordRow>& rows,
                  const StopWake* stop, InsertCounts& counts);

// How long one batch may take before the connection is taken as lost.
inline constexpr std::chrono::seconds BATCH_LIMIT{60};

}  // namespace qvlink::records
