#!/usr/bin/env bash
# A rack PC's station at rest: 128 ports waiting for receivers (qvlink-sim's silent receivers
# never announce themselves), served by qvlink-station --headless and, for comparison, by
# qvlink-cli --continuous. Once every port waits, for 20 s: the process's wake-ups a second (the
# context switches of all its threads), its CPU time as a share of one core and its resident
# memory. Figures, not a pass/fail test.
# usage: headless_station.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
tools=$build/tools
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$tools/qvlink-pack" pack image.raw fw.bin > /dev/null
ports=128
seconds=20
# Two sims of 64 ports each (the most one serves).
paths=()
for half in a b; do
    "$tools/qvlink-sim" --ports 64 --protocol silent --devices 0 --timeout 3600 fw.bin > "sim$half.out" &
    pids+=($!)
    until [ -f "sim$half.out" ] && [ "$(wc -l < "sim$half.out")" -ge 64 ]; do sleep 0.05; done
    mapfile -t -O "${#paths[@]}" paths < <(head -n 64 "sim$half.out")
done
jq -n --args '{ports: $ARGS.positional, firmware: "fw.bin", record: "rec.jsonl"}' "${paths[@]}" \
    > station.json

switches() {  # switches PID: every thread's context switches so far
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print n }'
}
cpu_ticks() { awk '{ print $14 + $15 }' /proc/"$1"/stat; }

measure() {  # measure NAME COMMAND...: runs COMMAND until every port waits, then measures
    local name="$1"
    shift
    rm -f out.txt
    "$@" > out.txt 2> err.txt &
    local pid=$!
    pids+=("$pid")
    local deadline=$((SECONDS + 120))
    until [ -f out.txt ] && [ "$(grep -c 'waiting for connection' out.txt)" -ge "$ports" ]; do
        [ "$SECONDS" -lt "$deadline" ] || { echo "$name: the ports did not all wait" >&2; exit 1; }
        sleep 0.1
    done
    sleep 2  # the start's last draws settle
    local s0 c0 s1 c1 hz
    hz=$(getconf CLK_TCK)
    s0=$(switches "$pid") c0=$(cpu_ticks "$pid")
    sleep "$seconds"
    s1=$(switches "$pid") c1=$(cpu_ticks "$pid")
    local rss threads
    rss=$(awk '/^VmRSS:/ { print $2 }' /proc/"$pid"/status)
    threads=$(ls /proc/"$pid"/task | wc -l)
    kill -TERM "$pid"
    wait "$pid" || true
    awk -v n="$name" -v s=$((s1 - s0)) -v c=$((c1 - c0)) -v hz="$hz" -v t="$seconds" \
        -v r="$rss" -v th="$threads" 'BEGIN {
        printf "  %-28s %6.2f wake-ups/s   cpu %.3f%% of one core   RSS %.1f MiB   %d threads\n",
            n, s / t, 100 * c / hz / t, r / 1024, th }'
}

echo "$ports ports waiting for receivers, measured over $seconds s"
measure "qvlink-station --headless" "$build/src/app/qvlink-station" --headless --settings station.json
measure "qvlink-cli --continuous" "$tools/qvlink-cli" --port "$(IFS=,; echo "${paths[*]}")" \
    --continuous --record rec.jsonl fw.bin
