// A record as JSON, both ways: the line a station writes, the line read back and checked, and
// the row the database is sent. All three follow RECORD_FIELDS; a line that passes the reader is
// one the database takes.
#pragma once

#include <string>
#include <string_view>

#include "record_fields.h"
#include "status.h"

namespace qvlink::record {

// `row` as a record line (without the newline): "schema" first, then every other field in
// RECORD_FIELDS' order, each under its name; a text that is not UTF-8 (a device path, a file
// name) is written with replacements. `row.schema` is RECORD_SCHEMA for a line written now.
std::string RecordLineText(const RecordRow& row);

// Reads one line (without its newline) into `row`. A line that is not a record this program
// knows is Invalid, its message saying why, the first fault found: "not a JSON object",
// "no field \"port\"", "field \"result\" is not a whole number", "schema 7 is not known to this
// program", "field \"station\" is longer than 1000 bytes". A line of schema 1 gets an id derived
// from its bytes (DerivedRecordId) and its host as its station. A NUL in a text becomes U+FFFD,
// as the database's text holds none.
Status ParseRecordLine(std::string_view line, RecordRow& row);

// The row as a JSON object with the database's column names, for a batch insert.
std::string RowJson(const RecordRow& row);

}  // namespace qvlink::record
