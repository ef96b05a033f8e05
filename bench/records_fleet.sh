#!/usr/bin/env bash
# A factory's stations against one server as installed: 300 stations' forwarders (threads of one
# program, each on a record file of its own with 20 lines, 10 more each arriving over the first
# minute) and a throwaway local PostgreSQL server allowing 100 connections (97 for the stations'
# role). Prints when every line was a row (the goal: within 2 minutes) and the most connections
# open at once (at most 97). Figures, not a pass/fail test.
# usage: records_fleet.sh BUILD_DIR [STATIONS]
set -euo pipefail
build=$(realpath "$1")
stations=${2:-300}
here=$(dirname "$(realpath "$0")")
. "$here/../tests/support/pg_cluster.sh"
work=$(mktemp -d)
chmod 755 "$work"
trap 'pg_cluster_remove; rm -rf "$work"' EXIT
pg_cluster_init "$work/pg"
pg_cluster_start -c max_connections=100
pg_records_database "$build/tools/qvlink-records"
pg_sql "CREATE ROLE fleet LOGIN IN ROLE qvlink_insert" > /dev/null
"$build/tests/record_maker" $((stations * 30)) fleet-line > "$work/lines.jsonl"
mkdir "$work/stations"
"$build/bench/forwarder_fleet_bench" "$PG_RECORDS" "host=$PG_DIR port=$PG_PORT user=fleet dbname=qvlink" \
    "$work/stations" "$work/lines.jsonl" "$stations" 20 60 $((60000 / (stations * 10))) 240
