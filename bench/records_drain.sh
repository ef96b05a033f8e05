#!/usr/bin/env bash
# The record database's pace: a backlog of record lines (1,000,000 unless told) sent to a
# throwaway local PostgreSQL server (fsync on, as a real one runs) by `qvlink-records push` and by
# the forwarder draining it, each into an empty table, and push once more into the full table
# (every line already there). The goal is 50,000 lines/s or more. Figures, not a pass/fail test.
# usage: records_drain.sh BUILD_DIR [LINES]
set -euo pipefail
build=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
. "$here/../tests/support/pg_cluster.sh"
work=$(mktemp -d)
chmod 755 "$work"
trap 'pg_cluster_remove; rm -rf "$work"' EXIT
pg_cluster_init "$work/pg"
pg_cluster_start -c fsync=on
pg_records_database "$build/tools/qvlink-records"
db=$PG_RECORDS
lines=${2:-1000000}
"$build/tests/record_maker" "$lines" bench-line > "$work/backlog.jsonl"

push() {  # push WHAT: one push of the backlog, its figures
    /usr/bin/time -o "$work/push.time" -f '%e %U %S' \
        "$build/tools/qvlink-records" push --database "$db" "$work/backlog.jsonl" > "$work/push.out" 2> "$work/push.err"
    read -r wall user sys < "$work/push.time"
    awk -v what="$1" -v n="$lines" -v wall="$wall" -v user="$user" -v sys="$sys" 'BEGIN {
        printf "qvlink-records push (%s): %d lines in %.2f s: %.0f lines/s, %.2f s CPU in the program\n",
            what, n, wall, n / wall, user + sys }'
    [ "$(pg_sql "SELECT count(*) FROM records")" = "$lines" ] || { echo "push: rows missing" >&2; exit 1; }
}
push "an empty table"
push "every line already there"

pg_sql "TRUNCATE records"
"$build/bench/forwarder_drain_bench" "$db" "$work/backlog.jsonl"
[ "$(pg_sql "SELECT count(*) FROM records")" = "$lines" ] || { echo "forwarder: rows missing" >&2; exit 1; }
