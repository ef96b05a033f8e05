#!/usr/bin/env bash
# A dashboard's day at any size: a year of records in a throwaway local PostgreSQL server, 20,000
# rows in one database and 2,000,000 in another (made in SQL, a receiver every 26 min or 16 s),
# and the last day's yield and failure causes asked of both: first as a dashboard asked before
# schema 3 (the view yield_by_hour with `WHERE hour >= ...`), then through the bounded functions
# and `qvlink-records report --since`. Each figure is the median of 5 runs; the goal is each
# bounded query within 3x between the two sizes. Figures, not a pass/fail test.
# usage: records_bounded.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
. "$here/../tests/support/pg_cluster.sh"
work=$(mktemp -d)
chmod 755 "$work"
trap 'pg_cluster_remove; rm -rf "$work"' EXIT
pg_cluster_init "$work/pg"
pg_cluster_start
records="$build/tools/qvlink-records"

declare -A conninfo
for rows in 20000 2000000; do
    db="qvlink_$rows"
    PG_DB=postgres pg_sql "CREATE DATABASE $db"
    conninfo[$rows]="host=$PG_DIR port=$PG_PORT user=postgres dbname=$db"
    "$records" schema | psql "${conninfo[$rows]}" -X -q -v ON_ERROR_STOP=1 > /dev/null
    # 50 stations of 8 ports, one receiver in twelve failed for one of three causes, one stopped.
    start=$(date +%s.%N)
    PG_DB=$db pg_sql "
        INSERT INTO records (record_id, schema, station, start_time, end_time, port, device,
                             protocol, result, result_text, transfer_seconds, burn_seconds,
                             resent, firmware, firmware_size, firmware_crc32, firmware_sha256,
                             receiver, phase, host, program, version)
        SELECT gen_random_uuid(), 2, 'line-' || i % 50, t, t + interval '90 s', 'COM' || 1 + i % 8,
               '/dev/ttyS0', 'bulk', r.result, r.text, 60, 20, 0, 'quorvane.bin', 1048576,
               'a1b2c3d4', repeat('a', 64), i, r.phase, 'host-' || i % 50, 'qvlink-station', '1.1'
        FROM generate_series(1, $rows) AS i,
             LATERAL (SELECT now() - interval '365 days' * i / $rows AS t) AS at,
             LATERAL (SELECT (ARRAY[1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000, 253, 1003,
                                    2, 7])[1 + i % 12] AS result) AS c,
             LATERAL (SELECT c.result,
                             CASE c.result WHEN 1000 THEN 'Upgrade Completed'
                                           WHEN 253 THEN 'Stopped' WHEN 1003 THEN 'Port Lost'
                                           WHEN 2 THEN 'Checksum Error' ELSE 'Burning Error' END
                                 AS text,
                             CASE WHEN c.result = 7 THEN 'burn' ELSE 'transfer' END AS phase) AS r
        " > /dev/null
    PG_DB=$db pg_sql "VACUUM ANALYZE records"
    awk -v n="$rows" -v s="$start" -v e="$(date +%s.%N)" \
        'BEGIN { printf "%9d rows made in %.1f s\n", n, e - s }'
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
query_ms() {  # query_ms ROWS SQL: the median of 5 runs as psql times them
    for _ in 1 2 3 4 5; do
        printf '\\timing on\n\\o /dev/null\n%s;\n' "$2" | psql "${conninfo[$1]}" -X -q -A -v ON_ERROR_STOP=1
    done | awk '/^Time: / { print $2 }' | median
}
report_ms() {  # report_ms ROWS ARGUMENTS...: the median of 5 runs of the report, wall time
    local rows=$1
    shift
    for _ in 1 2 3 4 5; do
        local start end
        start=$(date +%s%N)
        "$records" report --database "${conninfo[$rows]}" "$@" > /dev/null
        end=$(date +%s%N)
        echo $(((end - start) / 1000)) | awk '{ print $1 / 1000 }'
    done | median
}
since=$(date -u -d '1 day ago' +%Y-%m-%dT%H:%M)
day="now() - interval '1 day', now()"
row() {  # row WHAT SMALL_MS BIG_MS
    awk -v what="$1" -v s="$2" -v b="$3" \
        'BEGIN { printf "%-58s %9.1f %9.1f %6.1fx\n", what, s, b, b / s }'
}
count() { PG_DB="qvlink_$1" pg_sql "$2"; }
printf '%-58s %9s %9s\n' "the last day's" "20,000" "2,000,000"
for what in "records|SELECT count(*) FROM records WHERE start_time >= now() - interval '1 day'" \
    "rows of yield_by_hour_between|SELECT count(*) FROM yield_by_hour_between($day)"; do
    printf '%-58s %9s %9s\n' "${what%%|*}" "$(count 20000 "${what#*|}")" "$(count 2000000 "${what#*|}")"
done
printf '%-58s %9s %9s %7s\n' "" "" "" "ratio"
for what in "yield_by_hour WHERE hour >= now() - 1 day (before)|SELECT * FROM yield_by_hour WHERE hour >= now() - interval '1 day'" \
    "yield_by_hour_between|SELECT * FROM yield_by_hour_between($day)" \
    "failure_causes_between|SELECT * FROM failure_causes_between($day)" \
    "failure_causes_by_hour_between|SELECT * FROM failure_causes_by_hour_between($day)"; do
    row "${what%%|*} (ms)" "$(query_ms 20000 "${what#*|}")" "$(query_ms 2000000 "${what#*|}")"
done
row "qvlink-records report --since $since (ms)" \
    "$(report_ms 20000 --since "$since")" "$(report_ms 2000000 --since "$since")"
row "qvlink-records report (the whole year; ms)" "$(report_ms 20000)" "$(report_ms 2000000)"
