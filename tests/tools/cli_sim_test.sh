#!/usr/bin/env bash
# qvlink-cli against qvlink-sim on a pseudo-terminal: every path end to end, the receiver's
# failures and cancel, the operator's stop in each kind of wait, a receiver that goes away in
# each phase, continuous mode, and a port that comes back by itself.
# usage: cli_sim_test.sh QVLINK_CLI QVLINK_SIM QVLINK_PACK
set -u
. "$(dirname "$(realpath "$0")")/checks.sh"
cli=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
work=$(mktemp -d)
sim_pid=""
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin >/dev/null


start_sim() {  # start_sim SIM-OPTIONS...; sets $device (empty when the sim printed none)
    rm -f sim.out sim.err
    "$sim" "$@" fw.bin > sim.out 2>sim.err &
    sim_pid=$!
    device=""
    await_lines sim.out 1 "$sim_pid" && device=$(head -n 1 sim.out)
}

wait_sim() {  # wait_sim; sets $sim_status. A sim still waiting after a minute is ended.
    await_exit "$sim_pid" 60
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid"
    sim_status=$?
    sim_pid=""
}

# run_case NAME WANT_CLI_STATUS WANT_LAST_LINE "SIM OPTIONS" [CLI OPTIONS...]
run_case() {
    local name="$1" want_status="$2" want_line="$3" sim_options="$4"
    shift 4
    # shellcheck disable=SC2086
    start_sim $sim_options
    timeout -k 10 60 "$cli" --port "$device" "$@" fw.bin > cli.out 2> cli.err
    local status=$?
    wait_sim
    local last
    last=$(tail -n 1 cli.out)
    checks=$((checks + 1))
    if [ "$status" != "$want_status" ] || [ "$last" != "$want_line" ]; then
        fail "$name: exit $status (want $want_status), last line '$last' (want '$want_line')"
        sed 's/^/    sim: /' sim.out
        sed 's/^/    cli: /' cli.err
    else
        echo "ok   $name"
    fi
}

run_case block-crc 0 "Upgrade Completed" "--protocol block-crc"
check "block-crc: receiver got exactly the image" [ "$sim_status" = 0 ]
run_case block-sum 0 "Upgrade Completed" "--protocol block-sum --noise 700"
check "block-sum with boot chatter: receiver got exactly the image" [ "$sim_status" = 0 ]
run_case bulk 0 "Upgrade Completed" "--protocol bulk --noise 50"
check "bulk: receiver got exactly the image" [ "$sim_status" = 0 ]
run_case block-faults 0 "Upgrade Completed" "--protocol block-crc --nak-block 300 --early-c --nak-eot"
check "block resends: receiver got identical blocks" [ "$sim_status" = 0 ]
check "status lines show progress" grep -q '^\[step 1/2\] transfering data ... % 99$' cli.out

run_case bulk-checksum-error 1 "Checksum Error" "--protocol bulk --verdict 3"
run_case bulk-memory-error 1 "Allow Memory Error" "--protocol bulk --verdict 4"
run_case bulk-sdram-error 1 "SDram Error" "--protocol bulk --verdict 5"
run_case bulk-burn-error 1 "Burning Error" "--protocol bulk --burn-fail"
run_case block-burn-error 1 "Burning Error" "--protocol block-sum --burn-fail"

run_case cancel-then-restart 0 "Upgrade Completed" "--protocol cancel,block-crc --devices 2"
check "cancel is reported before the restart" grep -q '^Receiver Abort$' cli.out
check "receiver saw nothing after its cancel" [ "$sim_status" = 0 ]

run_case continuous-three 0 "Upgrade Completed" "--protocol block-crc,bulk,block-sum --devices 3 --noise 20" --continuous --count 3
check "continuous: three receivers upgraded" [ "$(grep -c '^Upgrade Completed$' cli.out)" = 3 ]
check "continuous: every receiver got exactly the image" [ "$sim_status" = 0 ]
run_case continuous-failure-then-good 1 "Upgrade Completed" "--protocol bulk,block-crc --devices 2 --verdict 3" --continuous --count 2
check "continuous: an earlier failure is reported" grep -q '^Checksum Error$' cli.out

# stop_case NAME "SIM OPTIONS" WANT_SIM_VERDICT_PART: stops the flasher where the receiver stalls.
stop_case() {
    local name="$1" sim_options="$2" want="$3"
    # shellcheck disable=SC2086
    start_sim $sim_options --timeout 30
    timeout -k 10 60 "$cli" --port "$device" fw.bin > cli.out 2> cli.err &
    local cli_pid=$!
    await_match sim.out stalling "$sim_pid"
    interrupt_under_timeout "$cli_pid"
    wait "$cli_pid"
    local status=$?
    wait_sim
    checks=$((checks + 1))
    if [ "$status" != 130 ] || [ "$(tail -n 1 cli.out)" != "Stopped" ] || ! grep -q -- "$want" sim.out; then
        fail "stop $name: exit $status, last line '$(tail -n 1 cli.out)', sim: $(tail -n 1 sim.out)"
    else
        echo "ok   stop $name"
    fi
}

stop_case handshake "--protocol silent" "sent nothing and closed"
stop_case block-answer "--protocol block-crc --stall-at 5" "sent 0x18 0x18"
stop_case eot-answer "--protocol block-sum --stall-at 1026" "sent 0x18 0x18"
stop_case block-burn "--protocol block-crc --stall-burn" "sent nothing and closed"
stop_case bulk-sync "--protocol bulk --stall-at 0" "sent nothing and closed"
stop_case bulk-chunk "--protocol bulk --stall-at 9" "sent nothing and closed"
stop_case bulk-checksum "--protocol bulk --stall-at 257" "sent nothing and closed"
stop_case bulk-verdict "--protocol bulk --stall-verdict" "sent nothing and closed"
stop_case bulk-burn "--protocol bulk --stall-burn" "sent nothing and closed"

# lost_case NAME WANT_STATUS "SIM OPTIONS": the receiver's side goes away where it stalls (as
# when a USB adapter is pulled); the flasher must say so at once, with little CPU. A receiver
# under way when the line goes is a failed receiver (exit 1); a line lost with nobody on it is
# the port's trouble alone (exit 4). (In continuous mode the port waits for its device instead:
# see the case after.)
lost_case() {
    local name="$1" want_status="$2" sim_options="$3"
    # shellcheck disable=SC2086
    start_sim $sim_options --timeout 30
    /usr/bin/time -o time.txt -f '%e %U %S' timeout -k 10 20 "$cli" --port "$device" fw.bin \
        > cli.out 2> cli.err &
    local cli_pid=$!
    await_match sim.out stalling "$sim_pid"
    local killed_at
    killed_at=$(date +%s.%N)
    kill -KILL "$sim_pid"
    wait "$cli_pid"
    local status=$?
    local ended_at
    ended_at=$(date +%s.%N)
    wait_sim
    checks=$((checks + 1))
    if [ "$status" != "$want_status" ] || [ "$(tail -n 1 cli.out)" != "Port Lost" ]; then
        fail "lost $name: exit $status, last line '$(tail -n 1 cli.out)'"
    else
        echo "ok   lost $name: Port Lost after $(awk "BEGIN { printf \"%.2f\", $ended_at - $killed_at }") s (wall, user, sys of the whole run: $(tail -n 1 time.txt))"
    fi
}

lost_case handshake 4 "--protocol silent"
lost_case block-transfer 1 "--protocol block-crc --stall-at 5"
lost_case bulk-transfer 1 "--protocol bulk --stall-at 9"
lost_case burn 1 "--protocol block-sum --stall-burn"

# A port that comes back by itself in continuous mode, named as a rack names its slots (a
# by-path link). The link is not there at the start: the port waits for its port. Made to a
# receiver's device, the port serves it; unplugged mid-transfer (the link removed, then the
# device), the receiver is "Port Lost" and the port waits again; the link made again to a new
# device, the port serves on. Ctrl-C ends the wait as the operator's stop; the lost receiver
# failed, and the exit status says so.
mkdir -p by-path
slot="$work/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0"
rm -f cli.out back.jsonl
timeout -k 10 60 "$cli" --continuous --port "$slot" --record back.jsonl fw.bin > cli.out 2> cli.err &
cli_pid=$!
waits_for_port() { [ "$(count_matches cli.out '^Waiting for its port$')" -ge "$1" ]; }
show_back_logs() {  # what the receiver, the flasher and the link showed, after a failure
    ls -l by-path | sed 's/^/    link: /'
    sed 's/^/    sim: /' sim.out sim.err
    sed 's/^/    cli: /' cli.out cli.err | tail -n 20
}
check "comes back: a missing port is waited for" await "$cli_pid" 30 "the wait" waits_for_port 1
start_sim --protocol block-crc --stall-at 5 --timeout 30
first_device=$device
ln -s "$first_device" "$slot"
failed_before=$failures
check "comes back: the port serves once its link is there" await_match sim.out stalling "$sim_pid"
[ "$failures" = "$failed_before" ] || show_back_logs
rm "$slot"
kill -KILL "$sim_pid"
wait "$sim_pid" 2>/dev/null
check "comes back: unplugged, its receiver is lost and the port waits again" \
    await "$cli_pid" 30 "the second wait" waits_for_port 2
start_sim --protocol bulk --timeout 30
ln -s "$device" "$slot"
check "comes back: plugged in again as another device, it serves on" \
    await_match cli.out '^Upgrade Completed$' "$cli_pid"
interrupt_under_timeout "$cli_pid"
wait "$cli_pid"
status=$?
wait_sim
check "comes back: Ctrl-C ends it, exit 1 for the lost receiver (exit $status)" [ "$status" = 1 ]
failed_before=$failures
check "comes back: the results and waits in order" [ "$(grep -E '^(Waiting for its port|Port Lost|Upgrade Completed|Stopped)$' cli.out | paste -sd,)" \
    = "Waiting for its port,Port Lost,Waiting for its port,Upgrade Completed,Stopped" ]
check "comes back: recorded under its slot, with the device of the moment" [ \
    "$(jq -r '"\(.port) \(.receiver) \(.result_text) \(.device)"' back.jsonl | paste -sd,)" \
    = "usb-0:1.2:1.0-port0 1 Port Lost $first_device,usb-0:1.2:1.0-port0 2 Upgrade Completed $device" ]
[ "$failures" = "$failed_before" ] || show_back_logs

# A stdout that takes nothing (a full pipe, a terminal held with Ctrl-S) holds up no transfer and
# no stop: the receiver is upgraded, or stopped, while the flasher's output waits.
stalled_case() {  # stalled_case NAME "SIM OPTIONS" WANT_SIM_LINE [stop]
    local name="$1" sim_options="$2" want="$3" stop="${4:-}"
    rm -f out.fifo drained.out
    mkfifo out.fifo
    exec 7<>out.fifo                      # a reader that never reads
    head -c 65536 /dev/zero > out.fifo    # fills the pipe: the flasher's first write waits
    # shellcheck disable=SC2086
    start_sim $sim_options --timeout 30
    timeout -k 10 90 "$cli" --port "$device" fw.bin > out.fifo 2> cli.err &
    local cli_pid=$!
    if [ -n "$stop" ]; then
        await_match sim.out stalling "$sim_pid"
        interrupt_under_timeout "$cli_pid"
    fi
    checks=$((checks + 1))
    if await_match sim.out "$want" "$sim_pid"; then
        echo "ok   stalled stdout, $name: the receiver saw '$want'"
    else
        fail "stalled stdout, $name: sim says '$(tail -n 1 sim.out)'"
    fi
    # The drain must not hold the test's own end open, or it would never see the end.
    timeout 60 cat out.fifo > drained.out 7>&- &
    local cat_pid=$!
    exec 7>&-
    wait "$cli_pid"
    local status=$?
    wait "$cat_pid"
    wait_sim
    check "stalled stdout, $name: exit $status once drained, last line '$(tail -n 1 drained.out)'" \
        [ "$status" = "${5:-0}" ]
}
stalled_case transfer "--protocol bulk" "device 1: OK" "" 0
stalled_case stop "--protocol silent" "sent nothing and closed" stop 130

# A port whose receivers only cancel must not wait for ever: cancels count in a run of
# failures, and three in a row take the port out of service (exit 1), --count or not.
run_case cancels-only 1 "Receiver Abort" "--protocol cancel --devices 3" --continuous --count 2
check "cancels only: out of service, said on stderr" grep -q 'out of service: 3 receivers in a row failed or cancelled' cli.err

# A reader that leaves (a pager, head) ends the display, not the run: no SIGPIPE, every
# receiver upgraded and recorded, the closed output said at most once.
start_sim --protocol bulk,block-crc --devices 2
rm -f piped.jsonl
timeout -k 10 60 "$cli" --port "$device" --continuous --count 2 --record piped.jsonl fw.bin 2> cli.err | head -n 1 > /dev/null
status=${PIPESTATUS[0]}
wait_sim
check "closed stdout: the run goes on to its end (exit $status)" [ "$status" = 0 ]
check "closed stdout: both receivers recorded" [ "$(wc -l < piped.jsonl)" = 2 ]
check "closed stdout: said at most once" [ "$(grep -c 'the output was closed' cli.err)" -le 1 ]

# The record follows its path: deleted while a receiver is under way (log rotation, an
# operator archiving the day's file), it is made again for that receiver's line, and said.
start_sim --protocol bulk --stall-at 9 --timeout 30
rm -f rotated.jsonl
timeout -k 10 60 "$cli" --port "$device" --record rotated.jsonl fw.bin > cli.out 2> cli.err &
cli_pid=$!
await_match sim.out stalling "$sim_pid"
rm rotated.jsonl
interrupt_under_timeout "$cli_pid"
wait "$cli_pid"
wait_sim
check "record deleted mid-run: the stopped receiver's line is in a new file" \
    [ "$(jq -r .result_text rotated.jsonl 2>/dev/null)" = Stopped ]
check "record deleted mid-run: said on stderr" grep -q 'record goes on in a new' cli.err

# Refusals before any run.
rm -f record.fifo && mkfifo record.fifo
timeout -k 10 20 "$cli" --port /dev/null --record record.fifo fw.bin >/dev/null 2>cli.err
status=$?
check "a record pipe with no reader: refused at once (exit $status)" [ "$status" = 2 ]
check "a record pipe with no reader: said why" grep -q 'no program reads' cli.err
timeout -k 10 10 "$cli" --port /dev/null,/dev/zero --trace trace.txt fw.bin >/dev/null 2>cli.err
status=$?
check "--trace with two ports: usage error (exit $status)" [ "$status" = 2 ]
check "--trace with two ports: said why" grep -q -- '--trace takes one port' cli.err
printf 'too short' > short.bin
timeout -k 10 10 "$cli" --port /dev/null short.bin >/dev/null 2>cli.err
status=$?
check "refused file: exit 3 and the load's text" [ "$status" = 3 ] && check "refused file text" [ "$(head -n 1 cli.err)" = "file size error [1]" ]
QVLINK_COM3=/dev/qvlink-no-such-device timeout -k 10 10 "$cli" --port COM3 fw.bin >/dev/null 2>cli.err
status=$?
check "unopenable port: exit 4" [ "$status" = 4 ]
check "unopenable port: dialog's text" [ "$(head -n 1 cli.err)" = "open port3 error!" ]
timeout -k 10 10 "$cli" --port COM1 >/dev/null 2>&1
check "usage error: exit 2" [ "$?" = 2 ]

run_case trace 0 "Upgrade Completed" "--protocol bulk" --trace trace.txt
check "trace records the chunks" grep -q -- '-> 4096 bytes' trace.txt

report_checks
