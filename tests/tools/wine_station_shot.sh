#!/usr/bin/env bash
# Renders the picture of the Windows station window the docs show: qvlink-station.exe under
# Wine on a 1366x768 virtual display with a window manager, eight ports in the middle of a run
# against qvlink-sim receivers: four upgrading one receiver after another, one whose receivers
# refuse the image, one still on its first transfer, one whose device is missing and one fast
# port with several receivers done. The picture is taken once every tile shows that.
# usage: wine_station_shot.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_PACK [PNG]
#   PNG defaults to docs/station-windows.png; the window's frame is cut out of the screen.
set -u
here=$(dirname "$(realpath "$0")")
. "$here/wine_start.sh"
on_virtual_display 300 1366x768x24 "$0" "$@"
. "$here/checks.sh"
. "$here/wine_ports.sh"
. "$here/wine_windows.sh"
win=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
png=$(realpath -m "${4:-$here/../../docs/station-windows.png}")
exe="$win/src/app/qvlink-station.exe" probe_exe="$win/tests/qvlink-probe.exe"
title="Quorvane Link Station"
work=$(mktemp -d)
use_wine_prefix station-test "$WINE_NO_BROWSER"
cleanup() {
    stop_wine
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1

read_window() {
    probe window "$title" > window.txt && [ -s window.txt ]
}
# One line per tile: name, progress, result, completed, failed.
tiles() {
    awk -F'\t' -v OFS='\t' '
        function flush() { if (n) print name, bar, result, counts[2], counts[4] }
        $1 == 3101 { flush(); n++; name = $5 } $1 == 3104 { bar = $5 } $1 == 3106 { result = $5 }
        $1 == 3107 { split($5, counts, / +/) } END { flush() }' window.txt
}
# The run shows what the picture is for: every port as described above.
mid_run() {
    read_window || return 1
    tiles | awk -F'\t' '
        $1 ~ /^COM[1-4]$/ && $4 >= 1 && $2 >= 10 && $2 <= 90 { ok++ }
        $1 == "COM5" && $5 >= 1 { ok++ }
        $1 == "COM6" && $2 >= 20 { ok++ }
        $1 == "COM7" && $3 != "" { ok++ }
        $1 == "COM8" && $4 >= 3 { ok++ }
        END { exit ok != 8 }'
}

head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw quorvane.bin >/dev/null
devices=()
start_sims() {  # start_sims COUNT SIM-OPTIONS...: adds the ports it serves to $devices
    local count="$1" out="sim$((${#devices[@]} + 1)).out"
    shift
    "$sim" --ports "$count" --devices 0 --timeout 60 "$@" quorvane.bin > "$out" 2>/dev/null &
    pids+=($!)
    await_lines "$out" "$count" $! 30 || exit 1
    mapfile -t -O "${#devices[@]}" devices < <(head -n "$count" "$out")
}
start_sims 4 --baud 2000000 --protocol block-crc,block-sum
start_sims 1 --baud 2000000 --protocol bulk --verdict 3
start_sims 1 --baud 230400 --protocol block-sum
devices+=(/nonexistent/qvlink-no-device)
start_sims 1 --protocol bulk
mappings=()
for i in "${!devices[@]}"; do mappings+=("$((i + 1))=${devices[$i]}"); done
map_com_ports 60 "${mappings[@]}" || exit 1

start_window_manager /dev/null

mkdir run && cp quorvane.bin run/
(cd run && exec timeout 200 wine "$exe" --port COM1-COM8 --record station.jsonl --start \
    quorvane.bin) > /dev/null 2>&1 &
pids+=($!)
if ! wait_until 120 mid_run; then
    echo "wine_station_shot: the run did not reach the pictured state:" >&2
    tiles >&2
    exit 1
fi
mkdir -p "$(dirname "$png")"
import -window root -trim +repage "$png"
echo "wrote $png"
