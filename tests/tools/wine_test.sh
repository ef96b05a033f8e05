#!/usr/bin/env bash
# The Windows programs under Wine, against virtual receivers on Linux: COM1..COM3 of a fresh
# Wine prefix are mapped to three qvlink-sim pseudo-terminals, and qvlink-cli.exe upgrades
# them; the Windows serial port tests run against a third.
# usage: wine_test.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_PACK
set -u
win=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
work=$(mktemp -d)
export WINEPREFIX="$win/wineprefix-test" WINEDEBUG=-all
sims=()
cleanup() {
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null; done
    wineserver -k >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin >/dev/null
failures=0
checks=0
check() {  # check NAME CONDITION-COMMAND...
    local name="$1"
    shift
    checks=$((checks + 1))
    if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

start_sim() {  # start_sim NAME SIM-OPTIONS...: sets $NAME to the device it serves
    local name="$1"
    shift
    "$sim" "$@" fw.bin > "$name.out" &
    sims+=($!)
    for _ in $(seq 100); do [ -s "$name.out" ] && break; sleep 0.05; done
    printf -v "$name" '%s' "$(head -n 1 "$name.out")"
}

start_sim good --protocol block-crc,block-sum,bulk --devices 3 --timeout 20
start_sim failing --protocol bulk --verdict 3 --timeout 20
start_sim chatty --protocol block-crc --noise 20 --timeout 20 --devices 0

# Wine re-points its COM links from the registry at every start; the server is started only
# once the registry holds our devices, and kept running so that its services do not hold
# the test's output open.
wineserver -k >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$good" /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$failing" /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM3 /t REG_SZ /d "$chatty" /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1
wineserver -p 20 >/dev/null 2>&1
wine cmd /c exit >/dev/null 2>&1
for n in 1 2 3; do
    want=$([ $n = 1 ] && echo "$good" || { [ $n = 2 ] && echo "$failing" || echo "$chatty"; })
    got=$(readlink "$WINEPREFIX/dosdevices/com$n")
    if [ "$got" != "$want" ]; then
        echo "FAIL COM$n points at '$got', not at the test's receiver '$want'; nothing is run"
        exit 1
    fi
done
echo "ok   COM1..COM3 point at the test's receivers"

for protocol in block-crc block-sum bulk; do
    /usr/bin/time -o time.txt -f '%e s wall, %U s user, %S s sys' \
        timeout 120 wine "$win/tools/qvlink-cli.exe" --port COM1 fw.bin > cli.out 2> cli.err
    status=$?
    check "$protocol under Wine: exit $status, '$(tail -n 1 cli.out | tr -d '\r')'" \
        [ "$status" = 0 ] && [ "$(tail -n 1 cli.out | tr -d '\r')" = "Upgrade Completed" ]
    echo "     $protocol upgrade (the Wine process): $(cat time.txt)"
done
timeout 120 wine "$win/tools/qvlink-cli.exe" --port COM2 fw.bin > cli.out 2> cli.err
status=$?
check "device failure under Wine gives its text and exit 1" [ "$status" = 1 ] && [ "$(tail -n 1 cli.out | tr -d '\r')" = "Checksum Error" ]

QVLINK_TEST_PORT=3 timeout 120 wine "$win/tests/serial_win32_tests.exe" > serial.out 2>&1
status=$?
check "Windows serial port tests" [ "$status" = 0 ]
[ "$status" = 0 ] || cat serial.out

wait "${sims[0]}" 2>/dev/null
check "the receivers behind COM1 got exactly the image" [ "$?" = 0 ]
sed 's/^/     sim: /' good.out | tail -n +2

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
