#!/usr/bin/env bash
# qvlink-station --headless against qvlink-sim, as a service manager runs it: settings that
# cannot be used end the start with status 2; the notify socket hears READY, the totals, the
# watchdog's pings and STOPPING; every port event is a line on stdout; SIGHUP rereads the
# settings (a damaged file changes nothing, a port added starts, a new firmware file takes over
# between receivers, a refused one is said); SIGTERM stops every port and ends with status 0.
# usage: headless_station_test.sh QVLINK_STATION QVLINK_SIM QVLINK_PACK NOTIFY_LISTEN
set -u
. "$(dirname "$(realpath "$0")")/../tools/checks.sh"
export LC_ALL=C
station=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3") listen=$(realpath "$4")
work=$(mktemp -d)
sim_pids=()
trap 'for p in "${sim_pids[@]}" ${station_pid:-} ${listen_pid:-}; do kill "$p" 2>/dev/null; done
      rm -rf "$work"' EXIT
cd "$work"
# No display of any kind: the headless station must not need one.
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=none-such
# await_count FILE ERE N PID: N whole lines of FILE match ERE.
await_count() {
    await "$4" 60 "$3 lines '$2' in $1" eval "[ \"\$(count_matches '$1' '$2')\" -ge $3 ]"
}
head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin > /dev/null
head -c 1048576 /dev/urandom > image2.raw
"$pack" pack image2.raw fw2.bin > /dev/null
sha2=$(sha256sum fw2.bin | cut -d' ' -f1)

# --- Settings that cannot be used: status 2 and the reason, nothing served.
printf '{"ports": ["/dev/null"], "firmware": ' > damaged.json
"$station" --headless --settings damaged.json > out 2> err
check "damaged settings: status 2" [ $? = 2 ]
check "damaged settings: the reason names the file" grep -q "damaged.json cannot be used: not JSON" err
"$station" --headless --settings missing.json > out 2> err
check "missing settings, no ports named: status 2" [ $? = 2 ]
check "missing settings: said" grep -q "missing.json is not there" err
printf '{"ports": [], "firmware": "fw.bin"}\n' > empty.json
"$station" --headless --settings empty.json > out 2> err
check "no ports: status 2 and why" [ "$?:$(grep -c 'no ports to serve' err)" = 2:1 ]

# --- A shift: two ports, a notify socket with a watchdog of 0.4 s.
start_sim shift 2 --devices 1000 --protocol bulk
mapfile -t ports < shift.paths
printf '{"ports": ["%s", "%s"], "firmware": "fw.bin", "record": "rec.jsonl"}\n' \
    "${ports[0]}" "${ports[1]}" > station.json
rm -f notify.out
"$listen" "$work/notify" > notify.out 2>&1 &
listen_pid=$!
await_match notify.out '^listening$' "$listen_pid" || fail "the notify socket did not listen"
NOTIFY_SOCKET="$work/notify" WATCHDOG_USEC=400000 \
    "$station" --headless --settings station.json > station.out 2> station.err &
station_pid=$!
await_match notify.out '^READY=1 \| STATUS=2 of 2 ports serving' "$station_pid" ||
    fail "READY with the status"
check "two receivers completed, each a line with its port first" \
    await_count station.out ": Upgrade Completed$" 2 "$station_pid"
check "the totals reached the service manager" \
    await_match notify.out '^STATUS=2 of 2 ports serving; completed [1-9]' "$station_pid"
check "the watchdog is pinged while the ports answer" \
    await_count notify.out "^WATCHDOG=1$" 3 "$station_pid"

# A damaged file on SIGHUP changes nothing.
cp station.json station.good
printf '{"ports": [' > station.json
kill -HUP "$station_pid"
check "SIGHUP, damaged settings: said, nothing changes" \
    await_match station.err "station.json cannot be used: not JSON: nothing changes" "$station_pid"
# A new firmware file, served by a receiver that checks every byte against it on a port
# added; the two ports of before are removed and stop after their receiver.
rm -f new.out
"$sim" --ports 1 --devices 1000 --protocol bulk fw2.bin > new.out 2>&1 &
sim_pids+=($!)
await_lines new.out 1 $! || fail "the second sim did not start"
added=$(head -n 1 new.out)
sha1=$(sha256sum fw.bin | cut -d' ' -f1)
printf '{"ports": ["%s"], "firmware": "fw2.bin", "record": "rec.jsonl"}\n' "$added" > station.json
kill -HUP "$station_pid"
check "SIGHUP: the new firmware is said" \
    await_match station.err "the firmware file fw2.bin \(SHA-256 ${sha2:0:12}\.\.\.\) takes over" "$station_pid"
check "SIGHUP: the ports removed are said" \
    await_count station.err ': removed from the settings, stops after its receiver$' 2 "$station_pid"
check "SIGHUP: the port added is said" await_match station.err "^qvlink-station: $added: added$" "$station_pid"
check "the added port serves its receivers the new firmware, byte for byte" \
    await_count station.out "^$added: Upgrade Completed$" 2 "$station_pid"
check "the record names the firmware each receiver got" \
    jq -e -s --arg new "$added" --arg sha1 "$sha1" --arg sha2 "$sha2" \
    'all(.[]; .firmware_sha256 == (if .port == $new then $sha2 else $sha1 end))' rec.jsonl
# A refused firmware file: said, the one before stays.
printf 'not firmware' > fw3.bin
printf '{"ports": ["%s"], "firmware": "fw3.bin", "record": "rec.jsonl"}\n' "$added" > station.json
kill -HUP "$station_pid"
check "SIGHUP: a refused firmware file is said and fw2.bin stays" \
    await_match station.err "the firmware file fw3.bin was refused \(.*\): fw2.bin stays" "$station_pid"

kill -TERM "$station_pid"
await_exit "$station_pid" 60
wait "$station_pid"
status=$?
station_pid=
check "SIGTERM: status 0" [ "$status" = 0 ]
check "SIGTERM: STOPPING told" await_match notify.out '^STOPPING=1' "$listen_pid" 10
check "SIGTERM: the port still serving stopped" grep -q "^$added: Stopped$" station.out
check "SIGTERM: the summary" grep -qE '^  total +completed [0-9]+  failed 0' station.out
check "every receiver served has its record line" \
    [ "$(wc -l < rec.jsonl)" = "$(grep -c ': Upgrade Completed$' station.out)" ]

# --- A notify socket nobody listens on: said once, the station serves all the same.
start_sim alone 1 --devices 1000 --protocol bulk
alone=$(cat alone.paths)
printf '{"ports": ["%s"], "firmware": "fw.bin"}\n' "$alone" > alone.json
NOTIFY_SOCKET="$work/nobody" "$station" --headless --settings alone.json > alone.out 2> alone.err &
station_pid=$!
check "no manager listening: the receiver is served" \
    await_match alone.out ": Upgrade Completed$" "$station_pid"
kill -INT "$station_pid"
await_exit "$station_pid" 60
wait "$station_pid"
status=$?
station_pid=
check "no manager listening: said once, SIGINT ends with status 0" \
    [ "$status:$(grep -c 'cannot tell the service manager' alone.err)" = 0:1 ]
report_checks
