#!/usr/bin/env bash
# A COM port that comes back by itself under Wine. COM5 is mapped to a path of the test's, a
# link to a qvlink-sim pseudo-terminal, as a USB adapter in its slot; qvlink-cli.exe serves it
# in continuous mode. The adapter is unplugged in the middle of a transfer (the link removed, the
# receiver killed) and plugged in again (the link made again to a new receiver): the port says
# "Waiting for its port", then serves the next receiver, in the same run. Five times, each timed
# from the link made again to the new receiver in its transfer; then a last receiver served
# whole. Under Wine no device notices come: this is the look every second (the Windows device
# watch test prints which way the watch learns).
# usage: wine_comeback_test.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_PACK
set -u
. "$(dirname "$(realpath "$0")")/checks.sh"
. "$(dirname "$(realpath "$0")")/wine_ports.sh"
. "$(dirname "$(realpath "$0")")/wine_start.sh"
win=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
tries=5
work=$(mktemp -d)
use_wine_prefix comeback
cleanup() {
    stop_wine
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin > /dev/null
slot="$work/slot"

plug() {  # plug NAME SIM-OPTIONS...: a new receiver on its own pseudo-terminal, linked at the slot
    local name="$1"
    shift
    rm -f "$name.out"
    "$sim" "$@" fw.bin > "$name.out" 2>&1 &
    pids+=($!)
    sim_pid=$! sim_out="$name.out"
    await_lines "$name.out" 1 "$sim_pid" || return 1
    ln -s "$(head -n 1 "$name.out")" "$slot"
}
unplug() {
    rm -f "$slot"
    kill -KILL "$sim_pid" 2> /dev/null
    wait "$sim_pid" 2> /dev/null
}
# Wine's lines end in CR LF.
waits() { [ "$(count_matches cli.out $'^Waiting for its port\r?$')" -ge "$1" ]; }
show_logs() {
    ls -l "$slot" 2>&1 | sed 's/^/    slot: /'
    sed 's/^/    sim: /' "$sim_out"
    tr -d '\r' < cli.out | tail -n 20 | sed 's/^/    cli: /'
    tr -d '\r' < cli.err | tail -n 5 | sed 's/^/    cli err: /'
}

plug first --protocol block-crc --stall-at 5 --timeout 120 || exit 1
map_com_ports 60 5="$slot" || exit 1
echo "ok   COM5 points at the slot, a link to a receiver"
rm -f cli.out cli.err rec.jsonl
timeout -k 10 300 wine "$win/tools/qvlink-cli.exe" --continuous --count $((tries + 2)) \
    --out-of-service-after 0 --port COM5 --record rec.jsonl fw.bin > cli.out 2> cli.err &
cli_pid=$!
pids+=("$cli_pid")
if ! await_match "$sim_out" stalling "$cli_pid"; then
    fail "the first receiver is not served"
    show_logs
    report_checks
    exit 1
fi

times=()
failed_before=$failures
for try in $(seq 1 "$tries"); do
    unplug
    check "unplugged ($try): its receiver is lost and the port waits for its port" \
        await "$cli_pid" 30 "wait $try" waits "$try"
    plug "back$try" --protocol block-crc --stall-at 5 --timeout 120 || break
    plugged=$(date +%s%N)
    if await_match "$sim_out" stalling "$cli_pid" 30; then
        times+=($((($(date +%s%N) - plugged) / 1000000)))
        echo "ok   plugged in again ($try): the port serves the next receiver after ${times[-1]} ms"
    else
        fail "plugged in again ($try): the port does not serve the next receiver"
    fi
    checks=$((checks + 1))
done
unplug
check "unplugged once more, the port waits" await "$cli_pid" 30 "the last wait" waits $((tries + 1))
plug last --protocol block-crc --timeout 120
check "the last receiver is served whole; qvlink-cli.exe ends after it" await_exit "$cli_pid" 120
wait "$cli_pid"
status=$?
check "exit 1: the lost receivers failed (exit $status)" [ "$status" = 1 ]
check "the results and the waits in order" [ \
    "$(tr -d '\r' < cli.out | grep -E '^(Waiting for its port|Port Lost|Upgrade Completed)$' | paste -sd,)" \
    = "$(for _ in $(seq 0 "$tries"); do printf 'Port Lost,Waiting for its port,'; done)Upgrade Completed" ]
check "recorded against COM5, every receiver once, in order" [ \
    "$(jq -r '"\(.port) \(.receiver) \(.result_text)"' rec.jsonl | paste -sd,)" \
    = "$(for n in $(seq 1 $((tries + 1))); do printf 'COM5 %s Port Lost,' "$n"; done)COM5 $((tries + 2)) Upgrade Completed" ]
[ "$failures" = "$failed_before" ] || show_logs
if [ "${#times[@]}" -gt 0 ]; then
    sorted=($(printf '%s\n' "${times[@]}" | sort -n))
    echo "     comeback under Wine (the look every second), ${#sorted[@]} tries:" \
        "min ${sorted[0]} ms, median ${sorted[$((${#sorted[@]} / 2))]} ms, max ${sorted[-1]} ms"
fi
report_checks
