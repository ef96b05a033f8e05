#!/usr/bin/env bash
# qvlink-station as an operator runs it, on a virtual display with a window manager (keys from
# xdotool), against four virtual receivers: started from the command line it upgrades two
# receivers on each port and records all eight; F6 stops every port in the middle of a paced
# transfer (the receivers see CAN CAN); the window manager's close ends it with status 0 and the
# settings are kept; SIGTERM closes it as the window's close does. Every wait is bounded, the
# whole test by its limit below.
# usage: station_window_test.sh QVLINK_STATION QVLINK_SIM QVLINK_PACK
set -u
limit=300  # seconds
if [ -z "${QVLINK_ON_XVFB:-}" ]; then
    QVLINK_ON_XVFB=1 QVLINK_TEST_ENDS=$(($(date +%s) + limit)) exec timeout -k 10 "$limit" \
        xvfb-run -a -s "-screen 0 1366x768x24 -nolisten tcp" bash "$0" "$@"
fi
. "$(dirname "$(realpath "$0")")/checks.sh"
station=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
export QT_QPA_PLATFORM=xcb
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
cd "$work" || exit 1
openbox > openbox.log 2>&1 &
pids+=($!)
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1; }
await $! 20 "window manager" wm_up || echo "     (the window manager did not announce itself)"

head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw quorvane.bin >/dev/null

start_sim() {  # start_sim NAME PORTS SIM-OPTIONS...: their paths, comma-separated, in $NAME
    local name="$1" ports="$2"
    shift 2
    rm -f "$name.out"
    "$sim" --ports "$ports" "$@" quorvane.bin > "$name.out" 2> "$name.err" &
    pids+=($!)
    printf -v "${name}_pid" '%s' $!
    await_lines "$name.out" "$ports" $!
    printf -v "$name" '%s' "$(head -n "$ports" "$name.out" | paste -sd,)"
}
start_station() {  # start_station NAME ARGUMENTS...: in the background, output in NAME.*
    local name="$1"
    shift
    "$station" "$@" > "$name.stdout" 2> "$name.stderr" &
    station_pid=$!
    pids+=($!)
}
window_of() {  # window_of PID: the station window of process PID, once it is shown
    xdotool search --onlyvisible --pid "$1" --name '^Quorvane Link Station( - .*)?$' 2>/dev/null | head -n 1
}
# time_left: the seconds the test's limit leaves, less enough to report the checks and clean up.
time_left() {
    local left=$((QVLINK_TEST_ENDS - $(date +%s) - 15))
    echo $((left > 0 ? left : 0))
}
# key PID KEY: KEY in the station window of process PID, once the window manager has made it the
# active window (a key sent before goes elsewhere on a busy machine). The window is waited for as
# long as the test's limit allows: on a loaded machine it may show a minute after the program
# has started serving its ports, and a program that never shows it fails only this test.
key() {
    local window attempt
    await "$1" "$(time_left)" "station window" has_window "$1" || return 1
    window=$(window_of "$1")
    for attempt in 1 2 3; do
        timeout 10 xdotool windowactivate --sync "$window" >/dev/null 2>&1
        await "$1" 10 "active station window" is_active "$window" && break
    done
    xdotool key "$2"
}
is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
has_window() { [ -n "$(window_of "$1")" ]; }
# closes_with PID STATUS: Alt+F4, the window manager's close, ends process PID with STATUS. A
# key the window manager lost is sent again while the process runs (three times at most); a
# second close is the same as one. Without a window there is nothing to send it to.
closes_with() {
    local attempt
    for attempt in 1 2 3; do
        key "$1" alt+F4 || break
        await_exit "$1" 20 && break
        echo "     (still running 20 s after Alt+F4)"
    done
    ended_with "$1" 1 "$2"
}
# end_if_running PID: a program a failed check left running ends as SIGTERM ends it, so that the
# checks after that one test what they name, not the leftover.
end_if_running() {
    kill -0 "$1" 2>/dev/null || return 0
    echo "     (ending process $1 with SIGTERM for the checks that follow)"
    kill -TERM "$1"
    await_exit "$1" 30 || kill -KILL "$1"
}
ended_with() {  # ended_with PID SECONDS STATUS: process PID ended within SECONDS with STATUS
    local status
    await_exit "$1" "$2" || { echo "     (still running after $2 s)"; return 1; }
    wait "$1"
    status=$?
    [ "$status" = "$3" ] || echo "     (it ended with status $status)"
    [ "$status" = "$3" ]
}

# 1. From the command line: two receivers on each of four ports, all recorded.
start_sim first 4 --devices 2
start_station first --port "$first" --record r.jsonl --start quorvane.bin
check "eight receivers recorded" await_lines r.jsonl 8 "$station_pid" 120
check "every receiver got exactly the image" eval \
    'await_lines first.out 12 "$first_pid" 60 && [ "$(grep -c ": OK: " first.out)" = 8 ]'
check "the record names the program and every port" \
    eval '[ "$(jq -r "select(.program == \"qvlink-station\") | .port" r.jsonl | sort -u | paste -sd,)" = "$(tr , "\n" <<< "$first" | sort | paste -sd,)" ]'
check "closing the window ends the program with status 0" closes_with "$station_pid" 0
end_if_running "$station_pid"
check "the settings kept the ports, the firmware and the record" \
    eval 'jq -e --arg ports "$first" ".ports == [\$ports] and .firmware == \"quorvane.bin\"
        and .record == \"r.jsonl\" and .out_of_service_after == 3" QVLinkStation.json >/dev/null'

# 2. F6 in the middle of a paced transfer; the kept firmware and record are used again.
# Three receivers on one sim, and one on a sim of its own whose transcript shows the progress.
start_sim paced 3 --baud 115200 --timeout 60
start_sim logged 1 --baud 115200 --timeout 60 --log logged.log
start_station paced --port "$paced,$logged" --start
check "the paced transfers are under way (block 30 sent)" \
    await_match logged.log ' -> 1028 bytes: 1E E1 ' "$station_pid" 60
# Every receiver's verdict: four transfers of 90 s each end within a second of a stop. A lost
# key is sent again (a second Stop all is the same as one).
verdicts() { await_lines paced.out 6 "$paced_pid" "$1" && await_lines logged.out 2 "$logged_pid" "$1"; }
key "$station_pid" F6
verdicts 15 > /dev/null || { echo "     (F6 again)"; key "$station_pid" F6; }
check "F6: every receiver saw CAN CAN" eval \
    'verdicts 30 && [ "$(cat paced.out logged.out | grep -c "cancelled (CAN CAN)")" = 4 ]'
check "after F6 the window stays open" kill -0 "$station_pid"
check "each stopped receiver has its line" await_lines r.jsonl 12 "$station_pid" 10
check "the stopped lines say so" eval '[ "$(tail -n 4 r.jsonl | jq -r .result_text | sort -u)" = Stopped ]'

# 3. SIGTERM (a station PC shutting down) closes the window as the operator's close does.
kill -TERM "$station_pid"
check "SIGTERM ends the program with status 0" ended_with "$station_pid" 30 0
check "and the settings are kept" \
    eval 'jq -e --arg ports "$paced,$logged" ".ports == [\$ports]" QVLinkStation.json >/dev/null'
report_checks
