#!/usr/bin/env bash
# The Windows programs under Wine, against virtual receivers on Linux: COM1..COM4 of a fresh
# Wine prefix are mapped to four qvlink-sim pseudo-terminals, and qvlink-cli.exe upgrades
# them; the Windows serial port tests run against the third, and against the fourth, whose
# receiver is killed when the tests ask for it. Each program names the project's version with
# --version.
# usage: wine_test.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_PACK
set -u
. "$(dirname "$(realpath "$0")")/checks.sh"
. "$(dirname "$(realpath "$0")")/wine_ports.sh"
. "$(dirname "$(realpath "$0")")/wine_start.sh"
win=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
version=$(sed -n 's/^project(QuorvaneLink VERSION \([0-9.]*\).*/\1/p' \
    "$(dirname "$(realpath "$0")")/../../CMakeLists.txt")
work=$(mktemp -d)
use_wine_prefix test
cleanup() {
    stop_wine
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin >/dev/null

start_sim() {  # start_sim NAME SIM-OPTIONS...: sets $NAME to the device it serves, NAME_pid
    local name="$1"
    shift
    rm -f "$name.out"
    "$sim" "$@" fw.bin > "$name.out" &
    pids+=($!)
    printf -v "${name}_pid" '%s' $!
    await_lines "$name.out" 1 $!
    printf -v "$name" '%s' "$(head -n 1 "$name.out")"
}

# Each program names itself and the project's version.
for program in src/app/qvlink tools/qvlink-cli tools/qvlink-pack; do
    name=$(basename "$program")
    line=$(timeout 120 wine "$win/$program.exe" --version | tr -d '\r')
    check "$name.exe --version: '$line'" \
        grep -qxE "$name \(Quorvane Link\) ${version//./\\.}( \(commit [0-9a-f]+\))?" <<< "$line"
done

# ended STATUS LINE: the last run of qvlink-cli.exe exited with STATUS and printed LINE last.
ended() { [ "$status" = "$1" ] && [ "$(tail -n 1 cli.out | tr -d '\r')" = "$2" ]; }

start_sim good --protocol block-crc,block-sum,bulk,block-crc,bulk,block-sum --devices 6 --timeout 20
start_sim failing --protocol bulk --verdict 3 --timeout 20
start_sim chatty --protocol block-crc --noise 20 --timeout 20 --devices 0
start_sim cut --protocol silent --noise 20 --timeout 120

map_com_ports 20 1="$good" 2="$failing" 3="$chatty" 4="$cut" || exit 1
echo "ok   COM1..COM4 point at the test's receivers"

for protocol in block-crc block-sum bulk; do
    /usr/bin/time -o time.txt -f '%e s wall, %U s user, %S s sys' \
        timeout 120 wine "$win/tools/qvlink-cli.exe" --port COM1 fw.bin > cli.out 2> cli.err
    status=$?
    check "$protocol under Wine: exit $status, '$(tail -n 1 cli.out | tr -d '\r')'" \
        ended 0 "Upgrade Completed"
    echo "     $protocol upgrade (the Wine process): $(cat time.txt)"
done
# A firmware path that begins with a slash is a path, never a Windows-style option.
timeout 120 wine "$win/tools/qvlink-cli.exe" --port COM1 "$work/fw.bin" > cli.out 2> cli.err
status=$?
check "a path beginning with a slash under Wine: exit $status, '$(tail -n 1 cli.out | tr -d '\r')'" \
    ended 0 "Upgrade Completed"
# The record under Windows: a file found ending inside a line gets the next line on its own,
# and later runs append.
printf '{"torn":' > rec.jsonl
for run in 1 2; do
    timeout 120 wine "$win/tools/qvlink-cli.exe" --port COM1 --record rec.jsonl fw.bin \
        > cli.out 2> cli.err
    status=$?
    check "record run $run under Wine: exit $status" ended 0 "Upgrade Completed"
done
check "record under Wine: the torn line kept apart, two whole lines after it" eval \
    '[ "$(head -n 1 rec.jsonl)" = "{\"torn\":" ] && [ "$(wc -l < rec.jsonl)" = 3 ] &&
     tail -n 2 rec.jsonl | jq -s -e "length == 2 and all(.[]; .schema == 2 and .port == \"COM1\"
         and .result_text == \"Upgrade Completed\" and .receiver == 1)" > /dev/null'
timeout 120 wine "$win/tools/qvlink-cli.exe" --port COM2 fw.bin > cli.out 2> cli.err
status=$?
check "device failure under Wine gives its text and exit 1" ended 1 "Checksum Error"

# The receiver behind COM4 is killed once the tests have said so on a line of their own.
rm -f serial.out
QVLINK_TEST_PORT=3 QVLINK_TEST_CUT_PORT=4 timeout 120 wine "$win/tests/serial_win32_tests.exe" \
    > serial.out 2>&1 &
tests_pid=$!
await_match serial.out '^cut the line now' "$tests_pid" 120 && kill "$cut_pid"
wait "$tests_pid"
status=$?
check "Windows serial port tests" [ "$status" = 0 ]
[ "$status" = 0 ] || cat serial.out
grep -a '^lost .* after the cut' serial.out | tr -d '\r' | sed 's/^/     /'

wait "${pids[0]}" 2>/dev/null
check "the receivers behind COM1 got exactly the image" [ "$?" = 0 ]
sed 's/^/     sim: /' good.out | tail -n +2

report_checks
