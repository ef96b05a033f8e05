#include "database_schema.h"

#include <string>

#include "live_state.h"
#include "record_sql.h"

namespace qvlink::records {
namespace {

// 'serving', 'waiting', ...: the words of a port's state class, for the table's check.
std::string ServiceWordsSql() {
    std::string words;
    for (const record::PortService service : record::PORT_SERVICES)
        words.append(words.empty() ? "'" : ", '").append(record::ServiceWord(service)).append("'");
    return words;
}

// The receivers a bounded query counts: started from `since` until before `until`, as a
// condition on start_time that its index serves.
constexpr const char* BETWEEN = "start_time >= since AND start_time < until";

// The yield per hour, station, port and firmware of the records `where` chooses (every record
// when empty): the view's query and the bounded function's.
std::string YieldByHourSql(const std::string& where) {
    return R"SQL(SELECT date_trunc('hour', start_time) AS hour, station, port, firmware, firmware_sha256,
       count(*) FILTER (WHERE record_outcome(result) = 'completed') AS completed,
       count(*) FILTER (WHERE record_outcome(result) = 'failed') AS failed,
       count(*) FILTER (WHERE record_outcome(result) = 'stopped') AS stopped,
       round(count(*) FILTER (WHERE record_outcome(result) = 'completed')::numeric
             / nullif(count(*) FILTER (WHERE record_outcome(result) IN ('completed', 'failed')), 0),
             4) AS first_pass_yield
FROM records
)SQL" + (where.empty() ? "" : "WHERE " + where + "\n") +
           "GROUP BY 1, 2, 3, 4, 5";
}

// The failed receivers of the records `where` chooses by result and phase, with their share and
// the cumulative share, most frequent first.
std::string FailureCausesSql(const std::string& where) {
    return R"SQL(WITH causes AS (
    SELECT result_text, phase, count(*) AS count
    FROM records WHERE record_outcome(result) = 'failed')SQL" +
           (where.empty() ? "" : " AND " + where) + R"SQL(
    GROUP BY result_text, phase
)
SELECT result_text, phase, count,
       round(count::numeric / sum(count) OVER (), 4) AS share,
       round(sum(count) OVER (ORDER BY count DESC, result_text, phase)::numeric
             / sum(count) OVER (), 4) AS cumulative_share
FROM causes
ORDER BY count DESC, result_text, phase)SQL";
}

}  // namespace

const char* DatabaseSchemaSql() {
    // The record's columns and the counting rule come from the record's format; the rest is the
    // database's own.
    static const std::string sql =
        R"SQL(-- Quorvane Link: the record of every receiver from every station, and each station's ports as
-- they are now; schema version )SQL" +
        std::to_string(DATABASE_SCHEMA_VERSION) + R"SQL(.
-- Apply with: qvlink-records schema | psql -v ON_ERROR_STOP=1 -d DATABASE
-- Applying it again changes nothing.
SET client_min_messages = warning;
BEGIN;

CREATE TABLE IF NOT EXISTS schema_version (
    version integer PRIMARY KEY,
    applied_at timestamptz NOT NULL DEFAULT now()
);

-- One row per receiver: the fields of its record line, "start" and "end" as start_time and
-- end_time. A line written before lines had ids has one derived from its bytes.
CREATE TABLE IF NOT EXISTS records (
)SQL" + record::RecordColumnsSql() +
        R"SQL(    received_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS records_start_time ON records (start_time);
CREATE INDEX IF NOT EXISTS records_station ON records (station, start_time);
CREATE INDEX IF NOT EXISTS records_firmware_sha256 ON records (firmware_sha256);

-- As the stations count: completed, the firmware arrived; stopped, the operator stopped it;
-- failed, everything else, the receiver's own cancel ("Receiver Abort") included.
CREATE OR REPLACE FUNCTION record_outcome(result integer) RETURNS text
    LANGUAGE sql IMMUTABLE AS $$
    SELECT )SQL" +
        record::RecordOutcomeCaseSql() + R"SQL(
$$;

-- First-pass yield: completed receivers of those that completed or failed.
CREATE OR REPLACE VIEW yield_by_hour AS
)SQL" + YieldByHourSql("") +
        R"SQL(;

-- The failed receivers by what they ended with, most frequent first.
CREATE OR REPLACE VIEW failure_causes AS
)SQL" + FailureCausesSql("") +
        R"SQL(;

-- The same for the receivers started from `since` until before `until`, for a dashboard that
-- shows a day or a shift: the bounds reach the index on start_time (the function is inlined
-- into the query that calls it), so a day's query reads that day's rows however many years the
-- table holds. An hour the bounds cut counts the part of it they take.
CREATE OR REPLACE FUNCTION yield_by_hour_between(since timestamptz, until timestamptz)
    RETURNS TABLE (hour timestamptz, station text, port text, firmware text,
                   firmware_sha256 text, completed bigint, failed bigint, stopped bigint,
                   first_pass_yield numeric)
    LANGUAGE sql STABLE AS $$
)SQL" + YieldByHourSql(BETWEEN) +
        R"SQL(
$$;

CREATE OR REPLACE FUNCTION failure_causes_between(since timestamptz, until timestamptz)
    RETURNS TABLE (result_text text, phase text, count bigint, share numeric,
                   cumulative_share numeric)
    LANGUAGE sql STABLE AS $$
)SQL" + FailureCausesSql(BETWEEN) +
        R"SQL(
$$;

-- The failed receivers per hour, station, port and firmware by what they ended with.
CREATE OR REPLACE FUNCTION failure_causes_by_hour_between(since timestamptz, until timestamptz)
    RETURNS TABLE (hour timestamptz, station text, port text, firmware text,
                   firmware_sha256 text, result_text text, phase text, count bigint)
    LANGUAGE sql STABLE AS $$
SELECT date_trunc('hour', start_time) AS hour, station, port, firmware, firmware_sha256,
       result_text, phase, count(*) AS count
FROM records
WHERE record_outcome(result) = 'failed' AND )SQL" +
        std::string(BETWEEN) + R"SQL(
GROUP BY 1, 2, 3, 4, 5, 6, 7
$$;

-- Each station's ports as they are now, one row per station and port: the port's word as the
-- station shows it, its state, its receivers completed and failed, the firmware and program, and
-- when its state began and the station was last heard from. Stations refresh their rows through
-- station_live() at every change and at least once a minute.
CREATE TABLE IF NOT EXISTS station_ports (
    station text NOT NULL,
    port text NOT NULL,
    word text NOT NULL,
    state text NOT NULL CHECK (state IN ()SQL" +
        ServiceWordsSql() + R"SQL()),
    completed integer NOT NULL,
    failed integer NOT NULL,
    firmware_sha256 text,
    program text NOT NULL,
    version text NOT NULL,
    state_since timestamptz NOT NULL DEFAULT now(),
    last_seen timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (station, port)
);

-- The login role each station's live state comes from: the first one that sent it. Only that
-- role may send it again (an administrator may change it here).
CREATE TABLE IF NOT EXISTS station_logins (
    station text PRIMARY KEY,
    login_role name NOT NULL,
    since timestamptz NOT NULL DEFAULT now()
);

-- A station's live state: {"station", "program", "version", "firmware_sha256", "ports":
-- [{"port", "word", "state", "completed", "failed"}]}. Replaces the station's rows (a port it
-- no longer has goes) and marks them seen now. It runs with its owner's rights, so that a
-- station's role needs no right on the tables: it may send its own station's state and nothing
-- else, as the database itself checks against the role the station first sent it as (the
-- session's login role, which SET ROLE does not change).
CREATE OR REPLACE FUNCTION station_live(live json) RETURNS void
    LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, public, pg_temp AS $$
DECLARE
    station_name text := live->>'station';
    sender name;
BEGIN
    INSERT INTO station_logins (station, login_role) VALUES (station_name, session_user)
        ON CONFLICT DO NOTHING;
    SELECT login_role INTO sender FROM station_logins WHERE station = station_name;
    IF sender IS DISTINCT FROM session_user THEN
        RAISE EXCEPTION 'the live state of station % comes from role %, not %', station_name,
            sender, session_user USING ERRCODE = 'insufficient_privilege';
    END IF;
    DELETE FROM station_ports
    WHERE station = station_name
      AND port NOT IN (SELECT e.value->>'port' FROM json_array_elements(live->'ports') AS e);
    INSERT INTO station_ports AS s (station, port, word, state, completed, failed,
                                    firmware_sha256, program, version)
    SELECT station_name, p.port, p.word, p.state, p.completed, p.failed,
           live->>'firmware_sha256', live->>'program', live->>'version'
    FROM json_to_recordset(live->'ports')
         AS p(port text, word text, state text, completed integer, failed integer)
    ON CONFLICT (station, port) DO UPDATE
    SET word = excluded.word, state = excluded.state, completed = excluded.completed,
        failed = excluded.failed, firmware_sha256 = excluded.firmware_sha256,
        program = excluded.program, version = excluded.version,
        state_since = CASE WHEN s.state = excluded.state THEN s.state_since ELSE now() END,
        last_seen = now();
END
$$;

-- One row per station and port: its health is its state, or ")SQL" +
        std::string(record::SILENT) + R"SQL(" when the station has not been
-- heard from for 3 minutes (it refreshes its rows at least once a minute).
CREATE OR REPLACE VIEW station_health AS
SELECT station, port,
       CASE WHEN last_seen < now() - interval '3 minutes' THEN ')SQL" +
        record::SILENT + R"SQL(' ELSE state END AS health,
       state, word, completed, failed, firmware_sha256, program, version, state_since, last_seen
FROM station_ports;

-- Stations log in as roles of qvlink_insert, which may only add records and send their own
-- station's live state; dashboards as roles of qvlink_read, which may only read.
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'qvlink_insert') THEN
        CREATE ROLE qvlink_insert NOLOGIN;
    END IF;
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'qvlink_read') THEN
        CREATE ROLE qvlink_read NOLOGIN;
    END IF;
END
$$;
GRANT USAGE ON SCHEMA public TO qvlink_insert, qvlink_read;
GRANT INSERT ON records TO qvlink_insert;
GRANT SELECT ON records, yield_by_hour, failure_causes, schema_version TO qvlink_read;
GRANT EXECUTE ON FUNCTION record_outcome(integer) TO qvlink_read;
REVOKE ALL ON FUNCTION station_live(json) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION station_live(json) TO qvlink_insert;
GRANT SELECT ON station_health TO qvlink_read;
-- The bounded queries are the readers' only (a function may be called by anyone unless revoked).
REVOKE ALL ON FUNCTION yield_by_hour_between(timestamptz, timestamptz),
    failure_causes_between(timestamptz, timestamptz),
    failure_causes_by_hour_between(timestamptz, timestamptz) FROM PUBLIC;
GRANT EXECUTE ON FUNCTION yield_by_hour_between(timestamptz, timestamptz),
    failure_causes_between(timestamptz, timestamptz),
    failure_causes_by_hour_between(timestamptz, timestamptz) TO qvlink_read;

INSERT INTO schema_version (version) VALUES ()SQL" +
        std::to_string(DATABASE_SCHEMA_VERSION) + R"SQL() ON CONFLICT DO NOTHING;
COMMIT;
)SQL";
    return sql.c_str();
}

}  // namespace qvlink::records
