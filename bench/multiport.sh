#!/usr/bin/env bash
# Several ports at once: one qvlink-sim serving paced pseudo-terminals and one qvlink-cli
# upgrading all of them with a record. For each port, the upgrade's time from the receiver's
# contact to the end of its burn (from the record) next to the time the bytes after contact take
# on such a wire; the flasher's CPU time as a share of one core and its peak resident memory.
# Eight ports at 921600 baud (block protocol, then bulk), 32 ports at 921600 baud, and eight at
# 115200 baud, a real line's speed (about a minute and a half). Figures, not a pass/fail test.
# usage: multiport.sh BUILD_TOOLS_DIR
set -euo pipefail
tools=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$tools/qvlink-pack" pack image.raw fw.bin > /dev/null
# Bytes on the wire after contact, both ways: blocks and their answers, EOT and its answer, the
# burn reports; or the first answer, the chunks and theirs, the checksum, its answer, the
# verdict and the burn reports.
declare -A bytes_after_contact=([block-crc]=$((1025 * 1029 + 1025 + 2 + 17))
    [bulk]=$((1 + 256 * 4096 + 256 + 3 + 17)))

run() {  # run PORTS BAUD PROTOCOL
    local count="$1" baud="$2" protocol="$3"
    rm -f sim.out record.jsonl  # an earlier round's would otherwise be read
    "$tools/qvlink-sim" --ports "$count" --baud "$baud" --protocol "$protocol" fw.bin > sim.out &
    local sim=$!
    until [ -f sim.out ] && [ "$(wc -l < sim.out)" -ge "$count" ]; do
        kill -0 "$sim" 2>/dev/null || { echo "multiport: qvlink-sim did not start" >&2; exit 1; }
        sleep 0.05
    done
    local ports
    ports=$(head -n "$count" sim.out | paste -sd,)
    /usr/bin/time -o time.txt -f '%e %U %S %M' \
        "$tools/qvlink-cli" --port "$ports" --record record.jsonl fw.bin > cli.out 2> cli.err
    wait "$sim" || { echo "multiport: a receiver did not get exactly the image" >&2; exit 1; }
    local wall user sys rss wire
    read -r wall user sys rss < time.txt
    wire=$(awk -v b="${bytes_after_contact[$protocol]}" -v baud="$baud" 'BEGIN { print b * 10 / baud }')
    echo "$count ports at $baud baud, $protocol (wire time after contact ${wire} s per port)"
    if [ "$count" -le 8 ]; then
        jq -r --argjson wire "$wire" \
            '"  \(.port)\tcontact to burn end \(.burn_seconds) s\t(+\((.burn_seconds / $wire - 1) * 10000 | round / 100)%)"' \
            record.jsonl
    fi
    jq -s -r --argjson wire "$wire" '
        [.[] | (.burn_seconds / $wire - 1) * 100] | sort as $d
        | "  over the wire time: best +\($d[0] * 100 | round / 100)%, median +\($d[length / 2 | floor] * 100 | round / 100)%, worst +\($d[-1] * 100 | round / 100)% (\(length) receivers)"' \
        record.jsonl
    awk -v w="$wall" -v u="$user" -v s="$sys" -v r="$rss" \
        'BEGIN { printf "  flasher: wall %.3f s, cpu %.3f s = %.2f%% of one core, peak RSS %.1f MiB\n", w, u + s, 100 * (u + s) / w, r / 1024 }'
}

run 8 921600 block-crc
run 8 921600 bulk
run 32 921600 block-crc
run 32 921600 bulk
run 8 115200 block-crc
