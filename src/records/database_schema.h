// The database every station's record goes to: its tables, views and roles as SQL that
// `qvlink-records schema` prints. The columns of the record's fields and record_outcome() are
// made from the record's format (record_sql.h); the rest is written here. Applying it again
// changes nothing; a later version adds to it and says so in the table schema_version.
#pragma once

namespace qvlink::records {

// 2 added each station's live state (station_ports, station_logins, station_live(),
// station_health) to 1; 3 the queries bounded in time (yield_by_hour_between(),
// failure_causes_between(), failure_causes_by_hour_between()) to 2.
inline constexpr int DATABASE_SCHEMA_VERSION = 3;

// The SQL, one transaction, for psql or any client.
const char* DatabaseSchemaSql();

}  // namespace qvlink::records
