#!/usr/bin/env bash
# The station without a window on Windows, under Wine, against qvlink-sim receivers on Wine's
# COM ports (a quick one on COM1, a paced one on COM2 whose transfer is under way at the stop):
# qvlink-station.exe --headless writes every port event to stdout and records each receiver;
# Ctrl+C (Wine turns a SIGINT to a program on a console into one) stops every port as Stop all
# does, prints the summary and ends with 0; settings that cannot serve end it with 2 and why.
# Then the same station as the service QVLinkStation: registered by --install-service (a sample
# station.json, not started), started by "net start", serving into station.log and the record
# in %ProgramData%\Quorvane Link, and stopped by "net stop" with the paced transfer stopped and
# exit code 0; settings that cannot serve stop it with the service-specific error 2 and the
# reason in the log; --remove-service removes it.
# usage: wine_service_test.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_PACK
set -u
here=$(dirname "$(realpath "$0")")
. "$here/checks.sh"
. "$here/wine_ports.sh"
. "$here/wine_start.sh"
win=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
exe="$win/src/app/qvlink-station.exe"
work=$(mktemp -d)
use_wine_prefix service-test "$WINE_NO_BROWSER"
trap 'stop_wine; rm -rf "$work"' EXIT
cd "$work" || exit 1
rm -rf "$WINEPREFIX"
folder="$WINEPREFIX/drive_c/ProgramData/Quorvane Link"
key='HKLM\System\CurrentControlSet\Services\QVLinkStation'

head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin > /dev/null
start_sims() {  # start_sims NAME SIM-OPTIONS...: one port; its path in $NAME
    local name="$1"
    shift
    "$sim" --ports 1 "$@" fw.bin > "$name.out" 2>&1 &
    pids+=($!)
    await_lines "$name.out" 1 $! 30 || { fail "the $name receiver did not start"; report_checks; exit; }
    printf -v "$name" '%s' "$(head -n 1 "$name.out")"
}
start_sims quick --devices 0 --protocol bulk --timeout 300
start_sims paced --devices 0 --protocol bulk --baud 115200 --timeout 300
map_com_ports 60 1="$quick" 2="$paced" || exit 1
fw_windows="Z:${work//\//\\}\\fw.bin"
json_path() { sed 's/\\/\\\\/g' <<< "$1"; }
# paced_under_way FILE: COM2's transfer has moved past its first percent.
paced_under_way() { has_match "$1" '^COM2: \[step 1/2\] transfering data \.\.\. % +([2-9]|[1-9][0-9])'; }

# --- --headless on a console: stdout, the record, Ctrl+C.
printf '{"ports": ["COM1", "COM2"], "firmware": "%s", "record": "rec.jsonl"}\n' \
    "$(json_path "$fw_windows")" > station.json
timeout 300 wine cmd /c "$(winepath -w "$exe")" --headless --settings station.json \
    > headless.out 2> headless.err &
headless_pid=$!
pids+=("$headless_pid")
check "--headless: a receiver on COM1 completed, a line on stdout" \
    await_match headless.out '^COM1: Upgrade Completed.?$' "$headless_pid" 120
check "--headless: COM2's transfer is under way" \
    await "$headless_pid" 120 "COM2 under way" paced_under_way headless.out
# ours_in_prefix PID: the process runs in this test's Wine prefix.
ours_in_prefix() { tr '\0' '\n' < "/proc/$1/environ" 2> /dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; }
windows_pid=
for pid in $(pgrep -f 'qvlink-station\.exe --headless --settings station\.json'); do
    [ "$pid" != "$headless_pid" ] && ours_in_prefix "$pid" && windows_pid=$pid
done
check "--headless: its Windows process is found" [ -n "$windows_pid" ]
kill -INT "$windows_pid"
await_exit "$headless_pid" 60
wait "$headless_pid"
status=$?
check "Ctrl+C: status 0 (was $status)" [ "$status" = 0 ]
check "Ctrl+C: COM2's transfer stopped as Stop all stops it" grep -q '^COM2: Stopped' headless.out
# COM1's quick receivers follow one another: it may be stopped in contact with one too.
check "Ctrl+C: the summary, with the stopped receiver" \
    grep -qE '^  total +completed [1-9][0-9]*  failed 0  stopped [12] ' headless.out
completed_lines=$(grep -cE ': Upgrade Completed.?$' headless.out)
check "--headless: each receiver completed has its record line ($completed_lines), COM2's stop too" \
    eval '[ "$(jq -s "map(select(.result_text == \"Upgrade Completed\")) | length" rec.jsonl)" = "$completed_lines" ] &&
        jq -e -s "any(.[]; .port == \"COM2\" and .result_text == \"Stopped\")" rec.jsonl > /dev/null'

# Settings that cannot serve: status 2 and the reason.
printf '{"ports": [' > damaged.json
printf '{"ports": [], "firmware": "%s"}\n' "$(json_path "$fw_windows")" > empty.json
for case in "damaged.json:cannot be used: not JSON" "empty.json:no ports to serve"; do
    timeout 120 wine "$exe" --headless --settings "${case%%:*}" > refused.out 2> refused.err
    status=$?
    check "--headless with ${case%%:*}: status 2 (was $status) and '${case#*:}'" \
        eval '[ "$status" = 2 ] && grep -q "${case#*:}" refused.err'
done

# --- The service.
timeout 120 wine "$exe" --install-service > install.out 2>&1
status=$?
check "--install-service: 0 and the settings it made named" \
    eval '[ "$status" = 0 ] && grep -q "station.json (a sample" install.out && [ -f "$folder/station.json" ]'
wine reg query "$key" 2> /dev/null | tr -d '\r' > key.txt
check "registered: its image path runs this program with --service, on demand" \
    eval 'grep -qE "ImagePath +REG_SZ +\"Z:.*qvlink-station.exe\" --service$" key.txt &&
        grep -qE "Start +REG_DWORD +0x3$" key.txt'
query() { timeout 60 wine sc query QVLinkStation 2> /dev/null | tr -d '\r' > query.txt; }
state_is() { query && grep -qE "STATE +: [0-9]+ +$1" query.txt; }
check "registered, not started" state_is STOPPED
printf '{"ports": ["COM1", "COM2"], "firmware": "%s", "record": "record.jsonl"}\n' \
    "$(json_path "$fw_windows")" > "$folder/station.json"
timeout 120 wine net start QVLinkStation > net.out 2>&1
status=$?
check "net start: 0 and running" eval '[ "$status" = 0 ] && state_is RUNNING'
check "the service: a receiver on COM1 completed, in its log" \
    await_match "$folder/station.log" '^COM1: Upgrade Completed.?$' $$ 120
check "the service: COM2's transfer is under way" \
    await $$ 120 "COM2 under way" paced_under_way "$folder/station.log"
timeout 120 wine net stop QVLinkStation > net.out 2>&1
status=$?
# net stop may return while the ports still end: the state is awaited.
check "net stop: 0, stopped, exit code 0" \
    eval '[ "$status" = 0 ] && await $$ 60 "the service stopped" state_is STOPPED &&
        grep -qE "WIN32_EXIT_CODE +: 0 " query.txt'
tr -d '\r' < "$folder/station.log" > log.txt
check "net stop: COM2's transfer stopped, the summary and the end in the log" \
    eval 'grep -q "^COM2: Stopped" log.txt && grep -qE "^  total +completed [1-9][0-9]*  failed 0  stopped [12] " log.txt &&
        grep -q "the service ends with status 0" log.txt'
check "the service's record is in its folder, COM2's stop in it" \
    eval 'jq -e -s "any(.[]; .port == \"COM2\" and .result_text == \"Stopped\")" "$folder/record.jsonl" > /dev/null'

# Settings that cannot serve: the service stops with its own error 2, the reason in the log.
printf '{"ports": [], "firmware": "%s"}\n' "$(json_path "$fw_windows")" > "$folder/station.json"
timeout 120 wine net start QVLinkStation > net.out 2>&1
check "no ports: the service stops with the service-specific error 2" \
    eval 'await $$ 60 "the service stopped" state_is STOPPED &&
        grep -qE "WIN32_EXIT_CODE +: 1066 " query.txt && grep -qE "SERVICE_EXIT_CODE +: 2 " query.txt'
check "no ports: the reason is in the log" grep -q "no ports to serve" "$folder/station.log"

# --remove-service: gone, twice harmless; the folder stays.
timeout 120 wine "$exe" --remove-service > remove.out 2>&1
status=$?
check "--remove-service: 0, the registration is gone" \
    eval '[ "$status" = 0 ] && ! wine reg query "$key" > /dev/null 2>&1'
timeout 120 wine "$exe" --remove-service > remove.out 2>&1
status=$?
check "--remove-service again: 0, nothing to remove" \
    eval '[ "$status" = 0 ] && grep -q "not registered" remove.out'
check "the settings, the log and the record stay" \
    eval '[ -f "$folder/station.json" ] && [ -f "$folder/station.log" ] && [ -f "$folder/record.jsonl" ]'
report_checks
