// The record's parts of the database's SQL, made from RECORD_FIELDS and CountedAs, so that the
// table, the INSERT and the database's counting cannot drift from the line and the stations.
#pragma once

#include <string>

namespace qvlink::record {

// The columns of the table records that hold the record's fields, one per line, each
// "    name type[ PRIMARY KEY| NOT NULL]," (indented for a CREATE TABLE, every line ending in a
// comma: the table's own columns follow).
std::string RecordColumnsSql();

// The record's columns in order, "record_id, schema, station, ...", for an INSERT.
std::string RecordColumnList();

// record_outcome(result)'s CASE expression: every result CountedAs counts as completed or
// stopped named in an arm of its word (SqlOutcome), the rest, and any result no program
// knows, counted as CountedAs counts an unknown result ("failed"). Continuation lines are
// indented to stand under the first one's WHEN when it follows "    SELECT ".
std::string RecordOutcomeCaseSql();

}  // namespace qvlink::record
