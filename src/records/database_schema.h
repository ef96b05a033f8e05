// The database every station's record goes to: its tables, views and roles as SQL that
// `qvlink-records schema` prints. Applying it again changes nothing; a later version adds to it
// and says so in the table schema_version.
#pragma once

namespace qvlink::records {

inline constexpr int DATABASE_SCHEMA_VERSION = 1;

// The SQL, one transaction, for psql or any client.
const char* DatabaseSchemaSql();

}  // namespace qvlink::records
