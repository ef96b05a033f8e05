#!/usr/bin/env bash
# qvlink-cli on several ports at once against qvlink-sim: mixed protocols with one port's
# receivers misbehaving, the record of every finished receiver, the operator's stop on every
# port, a port that cannot be opened, record files that cannot be written, and the display on a
# terminal.
# usage: multiport_test.sh QVLINK_CLI QVLINK_SIM QVLINK_PACK
set -u
. "$(dirname "$(realpath "$0")")/checks.sh"
export LC_ALL=C
cli=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
work=$(mktemp -d)
sim_pids=()
trap 'for p in "${sim_pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin >/dev/null
# The CRC-32 the file carries: the payload's last four bytes, stored reversed and masked.
read -r -a head4 <<< "$(head -c 26 fw.bin | tail -c 4 | od -An -tu1)"
file_crc=$(printf '%02X%02X%02X%02X' $((head4[3] ^ 0xD3)) $((head4[2] ^ 0xD3)) \
    $((head4[1] ^ 0xD3)) $((head4[0] ^ 0xD3)))
file_size=$(stat -c %s fw.bin)
file_sha=$(sha256sum fw.bin | cut -d' ' -f1)



wait_sim() {  # wait_sim NAME: sets $sim_status. A sim still waiting after a minute is ended.
    local pid_var="${1}_pid"
    if ! await_exit "${!pid_var}" 60; then
        echo "     (sim $1 still waited for a flasher after 60 s: ended)"
        kill "${!pid_var}" 2>/dev/null
    fi
    wait "${!pid_var}"
    sim_status=$?
}

# Prints what each record line says, one line each: port, protocol, result, text, blocks
# resent, and whether the transfer and the burn have times.
record_summary() {
    jq -r '[.port, (.protocol // "none"), .result, .result_text, .resent,
            (.transfer_seconds | type), (.burn_seconds | type)] | @tsv' "$1"
}

# Every record line well formed: times, firmware, device, and a burn never shorter than the
# transfer before it.
records_well_formed() {  # records_well_formed FILE DEVICE-MAP-JSON
    jq -s -e --arg crc "$file_crc" --arg sha "$file_sha" --argjson size "$file_size" \
        --argjson devices "$2" '
        def iso: test("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}Z$");
        length > 0 and (map(.record_id) | unique | length) == length and all(.[];
            (.record_id | test("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"))
            and .station == .host and
            (.start | iso) and (.end | iso) and .start <= .end
            and .firmware == "fw.bin" and .firmware_size == $size and .firmware_crc32 == $crc
            and .device == $devices[.port] and .schema == 2 and .program == "qvlink-cli"
            and (.firmware_sha256 | test("^[0-9a-f]{64}$")) and .firmware_sha256 == $sha
            and (.host | length > 0) and (.receiver | type) == "number"
            and ([.phase] | inside(["handshake", "transfer", "burn", "done"]))
            and (.transfer_seconds == null or .transfer_seconds >= 0)
            and (.transfer_seconds == null or .burn_seconds == null
                 or .transfer_seconds <= .burn_seconds))' "$1" > /dev/null
}

# --- Four ports, three finished receivers each, mixed protocols; the fourth port's receivers
# misbehave: a NAKed block, a bulk checksum-error verdict, a receiver's cancel.
start_sim good 3 --devices 3 --protocol block-crc,bulk,block-sum --noise 20
start_sim bad 1 --devices 4 --protocol block-crc,bulk,cancel,block-sum --nak-block 7 --verdict 3
mapfile -t good < good.paths
bad=$(cat bad.paths)
QVLINK_COM1=${good[0]} QVLINK_COM2=${good[1]} QVLINK_COM3=${good[2]} \
    timeout -k 10 120 "$cli" --port COM1-COM3 --port "$bad" --continuous --count 3 --record rec.jsonl \
    fw.bin > cli.out 2> cli.err
status=$?
wait_sim good
good_status=$sim_status
wait_sim bad
check "four ports: exit 1 for the checksum error" [ "$status" = 1 ]
check "four ports: every good receiver got exactly the image" [ "$good_status" = 0 ]
check "four ports: the misbehaving receivers saw what they asked for" [ "$sim_status" = 0 ]
check "four ports: every good port completed three" \
    [ "$(grep -cE '^COM[123]: Upgrade Completed$' cli.out)" = 9 ]
check "four ports: the misbehaving port's results in order" [ "$(grep -E "^$bad: [A-Z]" cli.out)" = \
    "$(printf '%s\n' "$bad: Upgrade Completed" "$bad: Checksum Error" "$bad: Receiver Abort" "$bad: Upgrade Completed")" ]
check "four ports: summary of the misbehaving port" grep -qE \
    "^  $bad +completed 2  failed 2 \(Checksum Error 1, Receiver Abort 1\)$" cli.out
check "four ports: summary in total" grep -qE \
    '^  total +completed 11  failed 2 \(Checksum Error 1, Receiver Abort 1\)( +[0-9.]+ per hour)?   mean [0-9]+ s   95 % within [0-9]+ s$' cli.out

expected_records=""
for port in COM1 COM2 COM3; do
    expected_records+="$port	block-crc	1000	Upgrade Completed	0	number	number
$port	bulk	0	Upgrade Completed	0	number	number
$port	block-sum	1000	Upgrade Completed	0	number	number
"
done
expected_records+="$bad	block-crc	1000	Upgrade Completed	1	number	number
$bad	bulk	3	Checksum Error	0	number	null
$bad	none	1002	Receiver Abort	0	null	null
$bad	block-sum	1000	Upgrade Completed	1	number	number"
check "record: one correct line per finished receiver" \
    [ "$(record_summary rec.jsonl | sort -s -k1,1)" = "$(sort -s -k1,1 <<< "$expected_records")" ]
devices=$(printf '{"COM1":"%s","COM2":"%s","COM3":"%s","%s":"%s"}' "${good[@]}" "$bad" "$bad")
check "record: times, device and firmware in every line" records_well_formed rec.jsonl "$devices"

# --- The record is appended to, never rewritten.
cp rec.jsonl rec.before
start_sim again 1 --protocol bulk
one=$(cat again.paths)
timeout -k 10 60 "$cli" --port "$one" --record rec.jsonl fw.bin > cli.out 2> cli.err
status=$?
wait_sim again
check "record: a later run appends" [ "$status:$(wc -l < rec.jsonl)" = 0:14 ]
check "record: the earlier lines stay as they were" cmp -s rec.before <(head -n 13 rec.jsonl)
check "record: a lone port keeps its output" [ "$(tail -n 1 cli.out)" = "Upgrade Completed" ]

# run_then_end_sim NAME CLI-OPTIONS...: runs the flasher on sim NAME's port and sets $status,
# then ends the sim, which would wait for ever for a flasher that does not come back, and waits
# for it so that what it wrote is complete.
run_then_end_sim() {
    local name="$1" pid_var="${1}_pid"
    shift
    timeout -k 10 60 "$cli" --port "$(cat "$name.paths")" "$@" fw.bin > cli.out 2> cli.err
    status=$?
    kill "${!pid_var}" 2>/dev/null
    wait "${!pid_var}" 2>/dev/null
}

# --- A record file that cannot be created is refused before anything is sent.
start_sim untouched 1 --protocol bulk --log untouched.log
run_then_end_sim untouched --record "$work/missing/rec.jsonl"
check "record in a missing folder: exit 2" [ "$status" = 2 ]
check "record in a missing folder: says why" grep -q "cannot append to the record file" cli.err
check "record in a missing folder: nothing sent" [ "$(grep -c -- '->' untouched.log)" = 0 ]

# --- A record that cannot be written stops its port before the next receiver.
start_sim full 1 --protocol bulk --devices 2
run_then_end_sim full --record /dev/full --continuous
check "record not written: exit 2" [ "$status" = 2 ]
check "record not written: says why" grep -q "cannot write the record" cli.err
check "record not written: no next receiver" [ "$(grep -c 'device' full.out)" = 1 ]

# --- A port that cannot be opened among good ones: left out, exit 4 when nothing else failed.
start_sim pair 2 --protocol block-crc
mapfile -t pair < pair.paths
timeout -k 10 60 "$cli" --port "${pair[0]},/dev/qvlink-no-such-device,${pair[1]}" fw.bin \
    > cli.out 2> cli.err
status=$?
wait_sim pair
check "unopenable port among good ones: exit 4" [ "$status" = 4 ]
check "unopenable port among good ones: the others completed" \
    [ "$(grep -c ': Upgrade Completed$' cli.out):$sim_status" = 2:0 ]
check "unopenable port: reported" grep -q '^open /dev/qvlink-no-such-device error!$' cli.err
check "unopenable port: in the summary" grep -qE '^  /dev/qvlink-no-such-device +not opened$' cli.out
start_sim refusing 1 --protocol bulk --verdict 4
timeout -k 10 60 "$cli" --port "$(cat refusing.paths)" --port /dev/qvlink-no-such-device fw.bin \
    > cli.out 2> cli.err
status=$?
wait_sim refusing
check "unopenable port and a failure: exit 1" [ "$status" = 1 ]

timeout -k 10 10 "$cli" --port COM1,COM2,COM1 fw.bin > /dev/null 2>&1
check "a port named twice: usage error" [ "$?" = 2 ]
QVLINK_COM1=${pair[0]} timeout -k 10 10 "$cli" --port "COM1,${pair[0]}" fw.bin > /dev/null 2> cli.err
status=$?
check "one device under two names: usage error naming both" \
    eval '[ "$status" = 2 ] && grep -qF "COM1 and ${pair[0]} are the same device" cli.err'

# --- The operator's stop reaches every port: CAN CAN where a block's answer is awaited
# (a block, the EOT), nothing where the run waits for anything else.
names=(block eot chunk silent)
options=("--protocol block-crc --stall-at 5" "--protocol block-sum --stall-at 1026"
    "--protocol bulk --stall-at 9" "--protocol silent")
wants=("sent 0x18 0x18$" "sent 0x18 0x18$" "sent nothing and closed" "sent nothing and closed")
ports=()
for i in 0 1 2 3; do
    # shellcheck disable=SC2086
    start_sim "${names[$i]}" 1 ${options[$i]} --timeout 60
    ports+=("$(cat "${names[$i]}.paths")")
done
timeout -k 10 90 "$cli" --port "$(IFS=,; echo "${ports[*]}")" --continuous fw.bin > cli.out 2> cli.err &
cli_pid=$!
for name in "${names[@]}"; do await_match "$name.out" stalling "$cli_pid"; done
interrupt_under_timeout "$cli_pid"
wait "$cli_pid"
status=$?
check "stop: exit 130" [ "$status" = 130 ]
for i in 0 1 2 3; do
    wait_sim "${names[$i]}"
    check "stop: ${names[$i]} port stopped" grep -qx "${ports[$i]}: Stopped" cli.out
    check "stop: ${names[$i]} receiver saw '${wants[$i]}'" grep -q -- "${wants[$i]}" "${names[$i]}.out"
done
# --- On a terminal: one line per port and one for the totals, redrawn in place when something
# changes (at most four times a second). Each redraw goes back up exactly as many lines as there
# are ports and the totals and rewrites them all, and the last one shows how every port ended.
# Two transfers at a real line's pace keep changing; the flasher is stopped once it has redrawn
# three times, however long that takes. The second port goes by a longer name (a link to its
# device), so that the columns must line up.
start_sim screen 2 --protocol bulk --baud 115200 --timeout 60
mapfile -t screen < screen.paths
ln -s "${screen[1]}" "$work/port-with-a-longer-name"
screen[1]="$work/port-with-a-longer-name"
up=$'\e[3A'
redraws() { [ "$(grep -oF "$up" term.out 2>/dev/null | wc -l)" -ge 3 ]; }
rm -f term.out cli.pid
script -qec "echo \$\$ > cli.pid; exec '$cli' --port '${screen[0]}' --port '${screen[1]}' fw.bin" \
    /dev/null > term.out 2>&1 &
script_pid=$!
await_lines cli.pid 1 "$script_pid" && await "$script_pid" 60 "three redraws" redraws
kill -INT "$(cat cli.pid)"
await_exit "$script_pid" 60 || kill "$script_pid"
wait_sim screen
check "terminal: redrawn several times" [ "$(grep -oF "$up" term.out | wc -l)" -ge 3 ]
check "terminal: always three lines back up" [ "$(grep -oE $'\e\\[[0-9]+A' term.out | sort -u)" = "$up" ]
check "terminal: every redraw is three lines" \
    awk -v RS=$'\e\\[3A' '{ if (NR > 1 && lines != 3) bad = 1; lines = gsub(/\n/, "&") }
        END { exit bad }' term.out
last_draw=$(awk -v RS=$'\e\\[3A' 'END { print }' term.out | head -n 3 | tr -d '\r' | sed $'s/\e\\[K$//')
width=${#screen[1]}
# (cut at the terminal's 80 columns, as every line is: "  stopped 1" does not fit the longer name)
check "terminal: the last redraw shows both ports stopped, in columns" \
    [ "$(head -n 2 <<< "$last_draw" | cut -c 1-$((width + 33)))" = \
    "$(printf '%-*s  Stopped   completed 0  failed 0\n' "$width" "${screen[0]}" "$width" "${screen[1]}")" ]
# (how many were stopped depends on whether both receivers had announced themselves by then)
check "terminal: the totals below them" [ "$(tail -n 1 <<< "$last_draw" | cut -c 1-$((width + 23)))" = \
    "$(printf '%-*s  completed 0  failed 0' "$width" total)" ]

# fits COLUMNS FILE: no piece of terminal output (between carriage returns and newlines, without
# the erase-line sequence) before the summary is wider than the terminal.
fits() {
    awk -v RS='[\r\n]' -v columns="$1" '/^summary/ { exit bad } { gsub(/\x1b\[K/, "") }
        length($0) >= columns { bad = 1 } END { exit bad }' "$2"
}

# --- A narrow terminal with one port: the status line is cut to the width, so that rewriting
# it in place never leaves a trail of wrapped rows.
start_sim narrow 1 --protocol bulk
# The terminal's text goes to a file of its own: narrow.out is the receiver's, which it still
# writes to when its receiver is done.
script -qec "stty cols 40; exec '$cli' --port '$(cat narrow.paths)' fw.bin" /dev/null \
    > narrow.term 2>&1
wait_sim narrow
# What each row shows in the end: a carriage return goes back to the row's start.
check "one port on 40 columns: the upgrade completes" \
    eval "sed 's/\r\$//; s/.*\r//; s/\x1b\[K//g' narrow.term | grep -qx 'Upgrade Completed'"
check "one port on 40 columns: no line is wider" fits 40 narrow.term

# --- Twelve ports on ten rows would scroll on every redraw: a line per change instead, each cut
# to the width.
start_sim rack 12 --protocol silent --timeout 60
rm -f rack.term rack.pid
script -qec "stty cols 40 rows 10; echo \$\$ > rack.pid; exec '$cli' --port '$(paste -sd, rack.paths)' fw.bin" \
    /dev/null > rack.term 2>&1 &
script_pid=$!
every_port_waits() { [ "$(grep -c 'waiting for' rack.term)" -ge 12 ]; }
await_lines rack.pid 1 "$script_pid" && await "$script_pid" 60 "a line for each port" every_port_waits
kill -INT "$(cat rack.pid)"
await_exit "$script_pid" 60 || kill "$script_pid"
# A port whose flasher came and went before its receiver had begun to stall (on a busy machine)
# waits for the next flasher, as between receivers, so the sim need not end by itself; what
# this part checks is the flasher's terminal.
await_exit "$rack_pid" 10 || kill "$rack_pid"
wait_sim rack
check "rack on ten rows: never moves back up" [ "$(grep -cE $'\e\\[[0-9]+A' rack.term)" = 0 ]
check "rack on ten rows: says why" grep -q 'do not fit the terminal' rack.term
check "rack on ten rows: no line is wider than 40 columns" fits 40 rack.term
check "rack on ten rows: every port stopped" [ "$(grep -c ': Stopped' rack.term)" = 12 ]

report_checks
