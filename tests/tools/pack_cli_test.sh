#!/usr/bin/env bash
# qvlink-pack from the outside: round trip, exact refusal texts on stderr, exit statuses.
set -u
pack=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0

expect() {  # expect NAME WANT_STATUS WANT_STDERR -- COMMAND...
    local name="$1" want_status="$2" want_err="$3"
    shift 4
    "$@" >out.txt 2>err.txt
    local status=$?
    local err
    err=$(head -n 1 err.txt)
    if [ "$status" != "$want_status" ] || { [ -n "$want_err" ] && [ "$err" != "$want_err" ]; }; then
        echo "FAIL $name: status $status (want $want_status), stderr '$err' (want '$want_err')"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

head -c 1048576 /dev/urandom > image.raw
expect pack 0 "" -- "$pack" pack image.raw good.bin
[ "$(stat -c %s good.bin)" = 1048614 ] || { echo "FAIL size of good.bin"; failures=$((failures + 1)); }
expect check-good 0 "" -- "$pack" check good.bin
grep -q '^OK' out.txt || { echo "FAIL check prints OK"; failures=$((failures + 1)); }
expect unpack 0 "" -- "$pack" unpack good.bin back.raw
cmp -s image.raw back.raw || { echo "FAIL round trip differs"; failures=$((failures + 1)); }

cp good.bin magic.bin && printf 'q' | dd of=magic.bin conv=notrunc status=none
expect outer-magic 3 "File Data Error [1]" -- "$pack" check magic.bin
cp good.bin data.bin && printf '\x00' | dd of=data.bin bs=1 seek=500000 conv=notrunc status=none
expect data-bit 3 "File Data Error [4]" -- "$pack" check data.bin
head -c 38 good.bin > short.bin
expect too-small 3 "file size error [1]" -- "$pack" check short.bin
head -c 1000 /dev/urandom > small.raw
"$pack" pack small.raw small.bin >/dev/null 2>&1
expect short-payload 3 "file size error [2]" -- "$pack" check small.bin
expect missing 3 "Open file<$work/absent.bin> error！" -- "$pack" check absent.bin
expect usage 2 "" -- "$pack" frobnicate
expect usage-args 2 "" -- "$pack" check
expect help 0 "" -- "$pack" --help

[ "$failures" = 0 ]
