#!/usr/bin/env bash
# The station window serving sixteen ports at 921600 baud on a virtual display: the window
# process's CPU share and the busiest tile's repaints per second (station_window_bench), and
# for each port the upgrade's time from contact to the end of its burn next to the time its
# bytes take on such a wire; then Stop all in the middle of sixteen transfers at 115200 baud, and
# how long until every tile shows a stopped port. Figures, not a pass/fail test.
# usage: station_window.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
if [ -z "${QVLINK_ON_XVFB:-}" ]; then
    QVLINK_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1366x768x24 -nolisten tcp" bash "$0" "$@"
fi
. "$(dirname "$(realpath "$0")")/../tests/tools/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$build/tools/qvlink-pack" pack image.raw fw.bin > /dev/null
wire=$(awk -v b=$((1025 * 1029 + 1025 + 2 + 17)) 'BEGIN { print b * 10 / 921600 }')
"$build/tools/qvlink-sim" --ports 16 --baud 921600 fw.bin > sim.out &
sim=$!
await_lines sim.out 16 "$sim" > /dev/null
mapfile -t ports < <(head -n 16 sim.out)
echo "16 ports at 921600 baud, block-crc (wire time after contact ${wire} s per port)"
QT_QPA_PLATFORM=xcb "$build/bench/station_window_bench" record.jsonl fw.bin "${ports[@]}"
wait "$sim" || { echo "station_window: a receiver did not get exactly the image" >&2; exit 1; }
jq -s -r --argjson wire "$wire" '
    [.[] | (.burn_seconds / $wire - 1) * 100] | sort as $d
    | "  over the wire time: best +\($d[0] * 100 | round / 100)%, median +\($d[length / 2 | floor] * 100 | round / 100)%, worst +\($d[-1] * 100 | round / 100)% (\(length) receivers)"' \
    record.jsonl

rm -f sim.out record.jsonl
"$build/tools/qvlink-sim" --ports 16 --baud 115200 fw.bin > sim.out &
sim=$!
await_lines sim.out 16 "$sim" > /dev/null
mapfile -t ports < <(head -n 16 sim.out)
echo "16 ports at 115200 baud, Stop all in the middle of the transfers"
QT_QPA_PLATFORM=xcb "$build/bench/station_window_bench" --stop-after 5 record.jsonl fw.bin "${ports[@]}"
wait "$sim" || true  # the receivers were cancelled
echo "  receivers that saw CAN CAN: $(grep -c 'cancelled (CAN CAN)' sim.out) of 16"
