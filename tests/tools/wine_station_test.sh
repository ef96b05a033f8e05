#!/usr/bin/env bash
# The Windows station window qvlink-station.exe under Wine, on a virtual display with a window
# manager, against qvlink-sim receivers mapped to Wine's COM ports: four ports upgrade two
# receivers each and record them, the window closes with Alt+F4 and keeps its setup; then F6
# stops four paced transfers at once without ending the program; then a receiver killed in the
# middle of its transfer is recorded "Port Lost" and its tile waits for its port while two others
# go on.
# qvlink-probe.exe reads the window's controls. Every wait is bounded; failures leave a
# screenshot and the logs.
# usage: wine_station_test.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_PACK [LOG_DIR]
set -u
here=$(dirname "$(realpath "$0")")
. "$here/wine_start.sh"
on_virtual_display 600 1366x768x24 "$0" "$@"
. "$here/checks.sh"
. "$here/wine_ports.sh"
. "$here/wine_windows.sh"
win=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
logs=$(realpath -m "${4:-$win/wine-station-logs}")
exe="$win/src/app/qvlink-station.exe" probe_exe="$win/tests/qvlink-probe.exe"
title="Quorvane Link Station"
rm -rf "$logs" && mkdir -p "$logs"
work=$(mktemp -d)
use_wine_prefix station-test "$WINE_NO_BROWSER"
cleanup() {
    stop_wine
    cp "$work"/*.out "$work"/*.err "$work"/*.txt "$work"/run/*.json* "$logs"/ 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1

# A failed check leaves the screen in the log folder.
shots=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
    shots=$((shots + 1))
    import -window root "$logs/$(printf %02d "$shots")-$(echo "$1" | tr -c 'A-Za-z0-9\n' - | head -c 50).png" 2>/dev/null
}

# The window's controls, tab-separated: id, class, state, centre, text (see qvlink-probe.exe).
read_window() { probe window "$title" > window.txt && [ -s window.txt ]; }
text_of() { awk -F'\t' -v id="$1" '$1 == id { print $5; exit }' window.txt; }
# One line per tile in order: name, phase, progress, result (the tile's controls in tab order).
tiles() {
    awk -F'\t' -v OFS='\t' '$1 == 3101 { if (n) print name, phase, bar, result; n++; name = $5 }
        $1 == 3103 { phase = $5 } $1 == 3104 { bar = $5 } $1 == 3106 { result = $5 }
        END { if (n) print name, phase, bar, result }' window.txt
}
completed_shows() { read_window && [ "$(text_of 3006)" = "$1" ]; }
# every_tile FIELD ERE: each of the four tiles' FIELD (2 phase, 3 progress, 4 result) matches.
every_tile() {
    read_window && [ "$(tiles | awk -F'\t' -v f="$1" -v re="$2" '$f ~ re' | grep -c .)" = 4 ]
}
# transfers_under_way [N]: each of the N (4) tiles shows a transfer at 2 % or more.
transfers_under_way() {
    read_window && [ "$(tiles | awk -F'\t' '$3 >= 2' | grep -c .)" = "${1:-4}" ]
}
# tile_field PORT FIELD: that FIELD of the tile of PORT (COM9).
tile_field() { tiles | awk -F'\t' -v p="$1" -v f="$2" '$1 == p { print $f }'; }
start_station() {  # start_station ARGUMENTS...: qvlink-station.exe in run/, until its window shows
    (cd run && exec timeout 300 wine "$exe" "$@") > station.out 2> station.err &
    station_pid=$!
    pids+=("$station_pid")
    wait_until 120 read_window
}
ended_with() {  # ended_with STATUS: the station process has ended, with STATUS
    await_exit "$station_pid" 30 || return 1
    wait "$station_pid"
    local status=$?
    echo "     (exit status $status)"
    [ "$status" = "$1" ]
}
# closes_with STATUS: Alt+F4, the window manager's close, ends the station with STATUS. A key
# lost on a busy machine is sent again while the station runs (three times at most); a second
# close is the same as one.
closes_with() {
    local attempt
    for attempt in 1 2 3; do
        press alt+F4
        await_exit "$station_pid" 20 && break
        echo "     (still running 20 s after Alt+F4)"
    done
    ended_with "$1"
}
kept() { jq -e "$1" run/QVLinkStation.json > /dev/null 2>&1; }  # kept JQ-CONDITION

imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr a-z A-Z | sort)
check "qvlink-station.exe imports only system DLLs: $(echo $imports)" \
    test -z "$(echo "$imports" | grep -vxE 'KERNEL32.DLL|USER32.DLL|GDI32.DLL|COMCTL32.DLL|COMDLG32.DLL|SHELL32.DLL|ADVAPI32.DLL|WINMM.DLL|MSVCRT.DLL|WS2_32.DLL|SECUR32.DLL|OLE32.DLL|SETUPAPI.DLL')"

# --version and --help are answered on stdout, before any window.
version=$(sed -n 's/^project(QuorvaneLink VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")
line=$(timeout 120 wine "$exe" --version | tr -d '\r')
check "qvlink-station.exe --version: '$line'" \
    grep -qxE "qvlink-station \(Quorvane Link\) ${version//./\\.}( \(commit [0-9a-f]+\))?" <<< "$line"
check "qvlink-station.exe --help names --port, --record and --start" \
    eval 'timeout 120 wine "$exe" --help | tr -d "\r" > help.txt && grep -q -- "--port" help.txt &&
        grep -q -- "--record" help.txt && grep -q -- "--start" help.txt'

head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw quorvane.bin >/dev/null
start_sims() {  # start_sims NAME COUNT SIM-OPTIONS...: COUNT ports; sets NAME_pid and NAME_ports
    local name="$1" count="$2"
    shift 2
    rm -f "$name.out" "$name.err"
    "$sim" --ports "$count" "$@" quorvane.bin > "$name.out" 2> "$name.err" &
    pids+=($!)
    printf -v "${name}_pid" '%s' $!
    await_lines "$name.out" "$count" $! 30 || require "the $name receivers start" false
    mapfile -t "${name}_ports" < <(head -n "$count" "$name.out")
}
start_sims fast 4 --devices 2 --timeout 120
start_sims paced 4 --devices 1 --baud 115200 --timeout 120
start_sims going 2 --devices 1 --baud 115200 --timeout 120
start_sims cut 1 --devices 1 --baud 115200 --timeout 120
map_com_ports 60 1="${fast_ports[0]}" 2="${fast_ports[1]}" 3="${fast_ports[2]}" \
    4="${fast_ports[3]}" 5="${paced_ports[0]}" 6="${paced_ports[1]}" 7="${paced_ports[2]}" \
    8="${paced_ports[3]}" 9="${going_ports[0]}" 10="${going_ports[1]}" 11="${cut_ports[0]}" ||
    exit 1
echo "ok   COM1..COM4 point at two receivers each, COM5..COM11 at paced ones"

start_window_manager openbox.log

# 1. Four ports, two receivers each, from the command line alone.
mkdir run && cp quorvane.bin run/
require "the station window opens" start_station --port COM1-COM4 --record r.jsonl --start quorvane.bin
require "eight receivers recorded" await_lines run/r.jsonl 8 "$station_pid" 90
check "the record: eight completed receivers, two on each of COM1..COM4, by qvlink-station" \
    jq -s -e 'length == 8 and all(.[]; .result_text == "Upgrade Completed"
        and .program == "qvlink-station") and
        ([.[].port] | sort) == ["COM1","COM1","COM2","COM2","COM3","COM3","COM4","COM4"]' \
    run/r.jsonl > /dev/null
check "the header counts 8 completed" wait_until 10 completed_shows 8
check "every tile shows 'Upgrade Completed'" wait_until 10 every_tile 4 '^Upgrade Completed$'
tiles > tiles-completed.txt
check "Alt+F4 ends the program with 0" closes_with 0
# The receivers' program ends once the station has let go of its lines.
sims_ended_well() { await_exit "$1" 30 && wait "$1"; }
check "every receiver got exactly the image" sims_ended_well "$fast_pid"
check "QVLinkStation.json keeps the ports, the firmware and the record" \
    kept '.ports == ["COM1-COM4"] and .firmware == "quorvane.bin" and .record == "r.jsonl"'

# 2. The kept firmware and record, four other ports given, F6 in the middle of the transfers.
require "the station window opens again" start_station --port COM5-COM8 --start
require "four paced transfers are under way" wait_until 60 transfers_under_way
tiles > tiles-transfer.txt
import -window root "$logs/station-transfer.png" 2>/dev/null
# F6 works wherever the focus is: here on the first tile's box, one Tab after Stop all.
focus_on_a_box() { [ "$(probe focus | cut -f 1)" = 3108 ]; }
press Tab
check "Tab takes the focus from Stop all to the first tile's box" \
    wait_until 10 focus_on_a_box
press F6
cancelled() { [ "$(count_matches paced.out 'cancelled \(CAN CAN\)')" = 4 ]; }
check "F6: every receiver saw CAN CAN" await "$paced_pid" 30 "four CAN CAN" cancelled
check "every tile shows a stopped port" wait_until 10 every_tile 2 '^stopped'
check "the program still runs after F6" kill -0 "$station_pid"
check "then Alt+F4 ends it with 0" closes_with 0
check "QVLinkStation.json keeps the new ports and the kept firmware and record" \
    kept '.ports == ["COM5-COM8"] and .firmware == "quorvane.bin" and .record == "r.jsonl"'

# 3. Three paced transfers; the receiver on the third port is killed in the middle of its
# transfer, as when its cable is pulled: its receiver is recorded "Port Lost" at once and that
# tile waits for its port to come back, while the other two go on.
require "the station window opens on COM9..COM11" start_station --port COM9-COM11 --start
require "three paced transfers are under way" wait_until 60 transfers_under_way 3
kill "$cut_pid"
cut_ended() { read_window && [ "$(tile_field COM11 4)" = "Waiting for its port" ]; }
check "the killed receiver's tile waits for its port" wait_until 15 cut_ended
tiles > tiles-cut.txt
at_cut=("$(tile_field COM9 3)" "$(tile_field COM10 3)")
check "its receiver is recorded as 'Port Lost' without waiting for Stop all" \
    await_match run/r.jsonl '"port":"COM11".*"result_text":"Port Lost"' "$station_pid" 15
# The other two tiles' progress moves on after the cut, and neither is lost.
going_on() {
    read_window && [ "$(tile_field COM9 4)" = Upgrading ] &&
        [ "$(tile_field COM10 4)" = Upgrading ] &&
        [ "$(tile_field COM9 3)" -gt "${at_cut[0]:-100}" ] 2>/dev/null &&
        [ "$(tile_field COM10 3)" -gt "${at_cut[1]:-100}" ] 2>/dev/null
}
check "the other two transfers go on (at the cut: ${at_cut[*]} %)" wait_until 30 going_on
press F6
going_cancelled() { [ "$(count_matches going.out 'cancelled \(CAN CAN\)')" = 2 ]; }
check "F6: both receivers still under way saw CAN CAN" \
    await "$going_pid" 30 "two CAN CAN" going_cancelled
check "then Alt+F4 ends it with 0" closes_with 0

# 4. A usage error is said in a box; the program then ends with 2.
mkdir usage
(cd usage && exec timeout 300 wine "$exe" --port) > usage.out 2> usage.err &
station_pid=$!
pids+=("$station_pid")
usage_box() { probe window "$title" > box.txt && grep -qP '^\S+\tStatic\t[^\t]*\t[^\t]*\t.*--port' box.txt; }
require "a usage error is said in a box" wait_until 120 usage_box
press Return
check "once it is dismissed the program ends with 2" ended_with 2
check "nothing is kept after a usage error" [ ! -e usage/QVLinkStation.json ]

# 5. The port chooser, from the keyboard, in a folder with no settings yet.
mkdir chooser
(cd chooser && exec timeout 300 wine "$exe") > chooser.out 2> chooser.err &
station_pid=$!
pids+=("$station_pid")
require "the station window opens with no ports" wait_until 120 read_window
chooser_shown() { probe window Ports > ports.txt && [ -s ports.txt ]; }
chooser_edit() { awk -F'\t' '$1 == 3202 { print $5 }' ports.txt; }
press alt+p
require "Alt+P opens the port chooser" wait_until 30 chooser_shown
check "the chooser is owned by the station window" \
    grep -qxE "owner	$title( - .*)?" ports.txt
press Tab Ports && xdotool type --delay 20 "COM2, COM3-COM4"
check "the chooser's line takes what is typed" \
    wait_until 10 eval 'chooser_shown && [ "$(chooser_edit)" = "COM2, COM3-COM4" ]'
press Return Ports
tile_names() { read_window && [ "$(tiles | cut -f 1 | tr '\n' ' ')" = "$1" ]; }
check "OK makes a tile for each port named" wait_until 10 tile_names "COM2 COM3 COM4 "
# The firmware chooser moves Windows' current folder to where it was confirmed; the settings
# stay with the folder the station started in.
mkdir chooser/sub && cp quorvane.bin chooser/sub/
chooser="open quorvane upgrade file(*.bin)"
press alt+f
require "Alt+F opens the firmware chooser" wait_until 60 eval 'probe window "$chooser" | grep -q .'
# Into the folder first, as an operator goes there, then the file.
in_sub() { probe window "$chooser" | grep -qP '^\S+\tComboBox\t.*\tsub$'; }
press ctrl+a "$chooser" && xdotool type --delay 20 'sub'
press Return "$chooser"
check "the chooser shows the folder 'sub'" wait_until 20 in_sub
press ctrl+a "$chooser" && xdotool type --delay 20 'quorvane.bin'
press Return "$chooser"
check "the header shows the chosen firmware" \
    wait_until 20 eval 'read_window && [[ "$(text_of 3002)" == "quorvane.bin   1048614 bytes"* ]]'
check "Alt+F4 ends it with 0" closes_with 0
check "QVLinkStation.json, in the folder it started in, keeps the chosen ports and firmware" \
    eval 'jq -e ".ports == [\"COM2\", \"COM3-COM4\"] and (.firmware | test(\"sub.quorvane[.]bin$\"))" \
        chooser/QVLinkStation.json > /dev/null && [ ! -e chooser/sub/QVLinkStation.json ]'

finish
