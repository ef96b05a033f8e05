// A station's live state on its way to the database: one call of the schema's station_live(),
// which replaces the station's rows in station_ports and marks them seen now. The database
// checks that the login role sending it is the one its station's state first came from; the
// station's role needs no right on the tables, only on that function.
#pragma once

#include <chrono>
#include <string>

#include "live_state.h"
#include "pg_connection.h"

namespace qvlink::records {

// The state as station_live() takes it: {"station", "program", "version", "firmware_sha256"
// (null when none), "ports": [{"port", "word", "state", "completed", "failed"}]}; a text that
// is not UTF-8 is sent with replacements.
std::string StationLiveJson(const record::StationLive& live);

// One call, one transaction. A refusal (Denied: another role sends this station's state) leaves
// the connection open; a lost connection is closed, as PgConnection::Exec does.
Status SendStationLive(PgConnection& connection, const record::StationLive& live,
                       const StopWake* stop);

inline constexpr std::chrono::seconds LIVE_LIMIT{30};

}  // namespace qvlink::records
