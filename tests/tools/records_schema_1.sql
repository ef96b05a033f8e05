-- The record database's schema as version 1 printed it, for the test of applying today's over it.
-- Quorvane Link: the record of every receiver from every station, schema version 1.
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

-- Stations log in as roles of qvlink_insert, which may only add rows; dashboards as roles of
-- qvlink_read, which may only read.
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

INSERT INTO schema_version (version) VALUES (1) ON CONFLICT DO NOTHING;
COMMIT;
