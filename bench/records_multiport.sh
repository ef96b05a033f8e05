#!/usr/bin/env bash
# The forwarder beside the ports: 32 ports at 921600 baud served by one qvlink-cli, once without
# a database and once sending its record to a throwaway local PostgreSQL server. For each run,
# every port's time from contact to the end of the burn over the wire time (from the record), the
# flasher's CPU, and with the database the forwarder thread's own CPU (read from /proc while it
# runs) as a share of one core. Figures, not a pass/fail test.
# usage: records_multiport.sh BUILD_TOOLS_DIR [PORTS]
set -euo pipefail
here=$(dirname "$(realpath "$0")")
tools=$(realpath "$1")
count=${2:-32}
. "$here/../tests/support/pg_cluster.sh"
work=$(mktemp -d)
PG_DIR=$(mktemp -d /tmp/qvlink-pg.XXXXXX)
trap 'pg_cluster_remove; rm -rf "$work"' EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$tools/qvlink-pack" pack image.raw fw.bin > /dev/null
pg_cluster_init "$PG_DIR" && pg_cluster_start
pg_records_database "$tools/qvlink-records"
db=$PG_RECORDS
baud=921600
wire=$(awk -v b=$((1025 * 1029 + 1025 + 2 + 17)) -v baud=$baud 'BEGIN { print b * 10 / baud }')

# Ticks of the forwarder thread of process $1 (utime + stime), the last seen.
forwarder_ticks() {
    local task
    for task in /proc/"$1"/task/*; do
        [ "$(cat "$task/comm" 2>/dev/null)" = qvlink-forward ] || continue
        awk '{ print $14 + $15 }' "$task/stat" 2>/dev/null
    done
}

run() {  # run LABEL CLI-OPTIONS...
    local label="$1"
    shift
    rm -f sim.out record.jsonl record.jsonl.sent
    "$tools/qvlink-sim" --ports "$count" --baud $baud --devices 2 fw.bin > sim.out &
    local sim=$!
    until [ -f sim.out ] && [ "$(wc -l < sim.out)" -ge "$count" ]; do
        kill -0 "$sim" 2>/dev/null || { echo "records_multiport: qvlink-sim did not start" >&2; exit 1; }
        sleep 0.05
    done
    /usr/bin/time -o time.txt -f '%e %U %S' "$tools/qvlink-cli" --port "$(head -n "$count" sim.out | paste -sd,)" \
        --continuous --count 2 --record record.jsonl "$@" fw.bin > cli.out 2> cli.err &
    local timer=$! cli ticks="" seen
    while kill -0 "$timer" 2>/dev/null; do
        [ -n "${cli:-}" ] || cli=$(pgrep -n -P "$timer" qvlink-cli || true)
        if [ -n "$cli" ]; then
            seen=$(forwarder_ticks "$cli")
            [ -n "$seen" ] && ticks=$seen
        fi
        sleep 0.2
    done
    wait "$timer"
    wait "$sim" || { echo "records_multiport: a receiver did not get exactly the image" >&2; exit 1; }
    local wall user sys
    read -r wall user sys < time.txt
    echo "$count ports at $baud baud, two receivers each, $label (wire time after contact $wire s)"
    jq -s -r --argjson wire "$wire" '
        [.[] | (.burn_seconds / $wire - 1) * 100] | sort as $d
        | "  over the wire time: best +\($d[0] * 100 | round / 100)%, median +\($d[length / 2 | floor] * 100 | round / 100)%, worst +\($d[-1] * 100 | round / 100)% (\(length) receivers)"' \
        record.jsonl
    awk -v w="$wall" -v u="$user" -v s="$sys" \
        'BEGIN { printf "  flasher: wall %.2f s, cpu %.2f s = %.2f%% of one core\n", w, u + s, 100 * (u + s) / w }'
    if [ "$#" -gt 0 ] && [ -z "$ticks" ]; then
        echo "  forwarder thread: not seen"
    elif [ "$#" -gt 0 ]; then
        awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" -v w="$wall" \
            'BEGIN { printf "  forwarder thread: cpu %.2f s = %.3f%% of one core\n", t / hz, 100 * t / hz / w }'
        echo "  rows in the database: $(pg_sql "SELECT count(*) FROM records") of $(wc -l < record.jsonl) lines; $(tail -n 1 cli.out)"
    fi
}

run "no database"
run "with the forwarder" --database "$db"
