#!/usr/bin/env bash
# Renders the pictures the README shows into docs/: the dialog offscreen; the Windows station
# window under Wine when there is a Windows build (tests/tools/wine_station_shot.sh); and the
# station window with eight ports during a run on a virtual display (three ports fast, three
# paced, two whose receivers refuse the data until the port goes out of service).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${QVLINK_ON_XVFB:-}" ]; then
    cmake --build build/release --target qt_window_tests qvlink-sim qvlink-pack qvlink-station
    mkdir -p docs
    QT_QPA_PLATFORM=offscreen QVLINK_SCREENSHOT_DIR="$PWD/docs" \
        build/release/tests/qt_window_tests --gtest_filter='*RendersTheReadyAndTransferStates*'
    if [ -x build/win/src/app/qvlink-station.exe ]; then
        bash tests/tools/wine_station_shot.sh build/win build/release/tools/qvlink-sim \
            build/release/tools/qvlink-pack
    else
        echo "no Windows build: bash scripts/build-windows.sh first for docs/station-windows.png"
    fi
    QVLINK_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1366x768x24 -nolisten tcp" bash "$0" "$@"
fi

# On the virtual display: the station window on Linux.
. tests/tools/checks.sh
root=$PWD bin=$PWD/build/release
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
cd "$work"
openbox > /dev/null 2>&1 &
pids+=($!)
head -c 1048576 /dev/urandom > image.raw
"$bin/tools/qvlink-pack" pack image.raw quorvane.bin > /dev/null
ports=""
serve() {  # serve NAME N SIM-OPTIONS...: N more ports for the station
    local name="$1" count="$2"
    shift 2
    "$bin/tools/qvlink-sim" --ports "$count" --devices 0 "$@" quorvane.bin > "$name.out" 2>&1 &
    pids+=($!)
    await_lines "$name.out" "$count" $!
    ports="$ports${ports:+,}$(head -n "$count" "$name.out" | paste -sd,)"
}
serve fast 3 --baud 921600
serve paced 3 --baud 230400
serve refusing 2 --protocol bulk --verdict 3
QT_QPA_PLATFORM=xcb "$bin/src/app/qvlink-station" --port "$ports" --record record.jsonl --start \
    quorvane.bin > station.out 2>&1 &
pids+=($!)
# The window's title counts the receivers: wait until the fast ones have completed and the
# refusing ones are out of service.
shown() { xdotool search --onlyvisible --name '^Quorvane Link Station - [3-9] completed, 6 failed$'; }
await $! 120 "three completed receivers" shown > /dev/null
import -window "$(shown | head -n 1)" "$root/docs/station-linux.png"
echo "docs/station-linux.png"
