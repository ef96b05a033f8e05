#!/usr/bin/env bash
# Paths in three scripts under Wine: the firmware in "Prüfstand", the records in "产线3", the
# station's settings and a transcript in "Линия". qvlink-pack.exe makes the firmware there (the
# receiver checks every byte of it), qvlink-cli.exe upgrades a qvlink-sim receiver from it and
# records into 产线3, a file it cannot load is named as written, qvlink-records.exe reports from
# the record what the Linux qvlink-records does, and qvlink-station.exe, started in Линия, serves
# a receiver, keeps its settings there and serves again from what it kept. Wine hands the
# programs these names in UTF-16; its ANSI code page holds none of the Chinese or Cyrillic ones.
# usage: wine_paths_test.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_RECORDS [LOG_DIR]
set -u
here=$(dirname "$(realpath "$0")")
. "$here/wine_start.sh"
on_virtual_display 600 1366x768x24 "$0" "$@"
. "$here/checks.sh"
. "$here/wine_ports.sh"
. "$here/wine_windows.sh"
# Wine reads the command line and the file names in the locale's encoding.
export LC_ALL=C.UTF-8
win=$(realpath "$1") sim=$(realpath "$2") records=$(realpath "$3")
logs=$(realpath -m "${4:-$win/wine-paths-logs}")
cli_exe="$win/tools/qvlink-cli.exe" pack_exe="$win/tools/qvlink-pack.exe"
records_exe="$win/tools/qvlink-records.exe" station_exe="$win/src/app/qvlink-station.exe"
probe_exe="$win/tests/qvlink-probe.exe"
title="Quorvane Link Station"
rm -rf "$logs" && mkdir -p "$logs"
work=$(mktemp -d)
use_wine_prefix paths-test "$WINE_NO_BROWSER"
cleanup() {
    stop_wine
    cp "$work"/*.out "$work"/*.err "$work"/*.txt "$work"/产线3/* "$work"/Линия/*.json "$logs"/ \
        2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
firmware="Prüfstand/Übung.bin" record="产线3/记录.jsonl"
mkdir Prüfstand 产线3 Линия

# qvlink-pack.exe reads the image from one folder and writes the firmware into another.
head -c 1048576 /dev/urandom > Линия/образ.raw
set_up_wine_prefix
timeout 120 wine "$pack_exe" pack Линия/образ.raw "$firmware" > pack.out 2> pack.err
check "qvlink-pack.exe packs Линия/образ.raw into $firmware and says so as written" \
    eval '[ -f "$firmware" ] &&
        grep -qF "into $firmware (1048614 bytes)" <(tr -d "\r" < pack.out)'

# One receiver for each program run, each on a port of its own (COM1 for qvlink-cli.exe, COM2 and
# COM3 for the two runs of the station), so that none of them meets the next receiver.
for n in 1 2 3; do
    "$sim" --timeout 120 "$firmware" > "sim$n.out" 2> "sim$n.err" &
    pids+=($!)
    printf -v "sim${n}_pid" '%s' $!
    require "receiver $n starts" await_lines "sim$n.out" 1 $! 30
done
map_com_ports 60 1="$(head -n 1 sim1.out)" 2="$(head -n 1 sim2.out)" 3="$(head -n 1 sim3.out)" ||
    exit 1

# received N: receiver N has checked its upgrade byte for byte.
received() {
    local pid="sim${1}_pid"
    await_lines "sim$1.out" 2 "${!pid}" 90 && [ "$(sed -n 2p "sim$1.out" | grep -c ': OK: ')" = 1 ]
}

timeout 120 wine "$cli_exe" --port COM1 --record "$record" --trace Линия/trace.txt "$firmware" \
    > cli.out 2> cli.err
status=$?
check "qvlink-cli.exe upgrades from $firmware into $record: exit $status" \
    eval '[ "$status" = 0 ] && [ "$(tail -n 1 cli.out | tr -d "\r")" = "Upgrade Completed" ] &&
        received 1'
check "its record line is in $record, its transcript in Линия" \
    eval 'jq -s -e "length == 1 and .[0].result_text == \"Upgrade Completed\"" "$record" \
        > /dev/null && grep -q -- "->" Линия/trace.txt'
timeout 120 wine "$cli_exe" --port COM1 产线3/缺少.bin > missing.out 2> missing.err
status=$?
check "a missing firmware is named as written: exit $status, '$(tr -d '\r' < missing.err)'" \
    eval '[ "$status" = 3 ] && grep -qF "\\产线3\\缺少.bin> error" missing.err'

"$records" report "$record" > report-linux.txt
timeout 120 wine "$records_exe" report "$record" 2> report.err | tr -d '\r' > report-win.txt
check "qvlink-records.exe report $record equals the Linux report of it" \
    eval 'grep -qF " Übung.bin " report-win.txt && cmp -s report-linux.txt report-win.txt'

# The station window, started in Линия: the settings file is kept there, naming the firmware and
# the record as given; started again with nothing but --start, it serves from what it kept.
start_window_manager openbox.log
read_window() { probe window "$title" > window.txt && [ -s window.txt ]; }
start_station() {  # start_station ARGUMENTS...: qvlink-station.exe in Линия, until its window shows
    (cd Линия && exec timeout 300 wine "$station_exe" "$@") > station.out 2> station.err &
    station_pid=$!
    pids+=("$station_pid")
    wait_until 120 read_window
}
closes_with_0() {  # Alt+F4 ends the station with status 0 (sent again while it runs, 3 times)
    local attempt status
    for attempt in 1 2 3; do
        press alt+F4
        await_exit "$station_pid" 20 && break
    done
    wait "$station_pid"
    status=$?
    echo "     (exit status $status)"
    [ "$status" = 0 ]
}
kept() { jq -e "$1" Линия/QVLinkStation.json > /dev/null 2>&1; }
station_record="产线3/站.jsonl"
for run in 1 2; do
    if [ "$run" = 1 ]; then
        require "the station window opens in Линия" \
            start_station --port COM2 --record "../$station_record" --start "../$firmware"
    else
        require "the station window opens again, on COM3, with its kept firmware and record" \
            start_station --port COM3 --start
    fi
    check "run $run: its header names Übung.bin" grep -qF "Übung.bin" window.txt
    check "run $run: a receiver served from $firmware and recorded in $station_record" \
        eval 'received $((run + 1)) && await_lines "$station_record" "$run" "$station_pid" 60'
    check "run $run: Alt+F4 ends it with 0" closes_with_0
    check "run $run: Линия/QVLinkStation.json names the firmware and the record as given" \
        kept ".firmware == \"../$firmware\" and .record == \"../$station_record\""
done
check "the station's record: two completed receivers" \
    eval 'jq -s -e "length == 2 and all(.[]; .result_text == \"Upgrade Completed\")" \
        "$station_record" > /dev/null'
finish
