-- The record database's schema as version 2 printed it, for the test of applying today's over it.
-- Quorvane Link: the record of every receiver from every station, and each station's ports as
-- they are now; schema version 2.
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
    record_id uuid PRIMARY KEY,
    schema integer NOT NULL,
    station text NOT NULL,
    start_time timestamptz NOT NULL,
    end_time timestamptz NOT NULL,
    port text NOT NULL,
    device text NOT NULL,
    protocol text,
    result integer NOT NULL,
    result_text text NOT NULL,
    transfer_seconds double precision,
    burn_seconds double precision,
    resent bigint NOT NULL,
    firmware text NOT NULL,
    firmware_size bigint NOT NULL,
    firmware_crc32 text NOT NULL,
    firmware_sha256 text NOT NULL,
    receiver integer NOT NULL,
    phase text NOT NULL,
    host text NOT NULL,
    program text NOT NULL,
    version text NOT NULL,
    received_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS records_start_time ON records (start_time);
CREATE INDEX IF NOT EXISTS records_station ON records (station, start_time);
CREATE INDEX IF NOT EXISTS records_firmware_sha256 ON records (firmware_sha256);

-- As the stations count: completed, the firmware arrived; stopped, the operator stopped it;
-- failed, everything else, the receiver's own cancel ("Receiver Abort") included.
CREATE OR REPLACE FUNCTION record_outcome(result integer) RETURNS text
    LANGUAGE sql IMMUTABLE AS $$
    SELECT CASE WHEN result IN (0, 1000) THEN 'completed'
                WHEN result = 253 THEN 'stopped'
                ELSE 'failed' END
$$;

-- First-pass yield: completed receivers of those that completed or failed.
CREATE OR REPLACE VIEW yield_by_hour AS
SELECT date_trunc('hour', start_time) AS hour, station, port, firmware, firmware_sha256,
       count(*) FILTER (WHERE record_outcome(result) = 'completed') AS completed,
       count(*) FILTER (WHERE record_outcome(result) = 'failed') AS failed,
       count(*) FILTER (WHERE record_outcome(result) = 'stopped') AS stopped,
       round(count(*) FILTER (WHERE record_outcome(result) = 'completed')::numeric
             / nullif(count(*) FILTER (WHERE record_outcome(result) IN ('completed', 'failed')), 0),
             4) AS first_pass_yield
FROM records
GROUP BY 1, 2, 3, 4, 5;

-- The failed receivers by what they ended with, most frequent first.
CREATE OR REPLACE VIEW failure_causes AS
WITH causes AS (
    SELECT result_text, phase, count(*) AS count
    FROM records WHERE record_outcome(result) = 'failed'
    GROUP BY result_text, phase
)
SELECT result_text, phase, count,
       round(count::numeric / sum(count) OVER (), 4) AS share,
       round(sum(count) OVER (ORDER BY count DESC, result_text, phase)::numeric
             / sum(count) OVER (), 4) AS cumulative_share
FROM causes
ORDER BY count DESC, result_text, phase;

-- Each station's ports as they are now, one row per station and port: the port's word as the
-- station shows it, its state, its receivers completed and failed, the firmware and program, and
-- when its state began and the station was last heard from. Stations refresh their rows through
-- station_live() at every change and at least once a minute.
CREATE TABLE IF NOT EXISTS station_ports (
    station text NOT NULL,
    port text NOT NULL,
    word text NOT NULL,
    state text NOT NULL CHECK (state IN ('serving', 'waiting', 'out of service', 'not serving')),
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

-- One row per station and port: its health is its state, or "silent" when the station has not been
-- heard from for 3 minutes (it refreshes its rows at least once a minute).
CREATE OR REPLACE VIEW station_health AS
SELECT station, port,
       CASE WHEN last_seen < now() - interval '3 minutes' THEN 'silent' ELSE state END AS health,
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

INSERT INTO schema_version (version) VALUES (2) ON CONFLICT DO NOTHING;
COMMIT;
