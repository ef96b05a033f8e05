#!/usr/bin/env bash
# Eight ports at 921600 baud at once: one qvlink-sim serving eight paced pseudo-terminals and one
# qvlink-cli upgrading all eight with a record. For each port, the upgrade's time from the
# receiver's contact to the end of its burn (from the record) next to the time the bytes after
# contact take on such a wire; and the flasher's CPU time as a share of one core for the whole
# run. Once with the block protocol, once with the bulk protocol. Figures, not a pass/fail test.
# usage: multiport.sh BUILD_TOOLS_DIR
set -euo pipefail
tools=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$tools/qvlink-pack" pack image.raw fw.bin > /dev/null
baud=921600
# Bytes on the wire after contact, both ways: blocks and their answers, EOT and its answer, the
# burn reports; or the first answer, the chunks and theirs, the checksum, its answer, the
# verdict and the burn reports.
declare -A bytes_after_contact=([block-crc]=$((1025 * 1029 + 1025 + 2 + 17))
    [bulk]=$((1 + 256 * 4096 + 256 + 3 + 17)))

for protocol in block-crc bulk; do
    rm -f sim.out  # the first round's would otherwise be read before this sim's is made
    "$tools/qvlink-sim" --ports 8 --baud "$baud" --protocol "$protocol" fw.bin > sim.out &
    sim=$!
    until [ -f sim.out ] && [ "$(wc -l < sim.out)" -ge 8 ]; do
        kill -0 "$sim" 2>/dev/null || { echo "multiport: qvlink-sim did not start" >&2; exit 1; }
        sleep 0.05
    done
    ports=$(head -n 8 sim.out | paste -sd,)
    rm -f record.jsonl
    TIMEFORMAT='%R %U %S'
    { time "$tools/qvlink-cli" --port "$ports" --record record.jsonl fw.bin > cli.out 2> cli.err; } 2> time.txt
    wait "$sim" || { echo "multiport: a receiver did not get exactly the image" >&2; exit 1; }
    read -r wall user sys < time.txt
    wire=$(awk -v b="${bytes_after_contact[$protocol]}" -v baud="$baud" 'BEGIN { print b * 10 / baud }')
    echo "eight ports at $baud baud, $protocol (wire time after contact ${wire} s per port)"
    jq -r --argjson wire "$wire" \
        '"  \(.port)\tcontact to burn end \(.burn_seconds) s\t(+\((.burn_seconds / $wire - 1) * 10000 | round / 100)%)"' \
        record.jsonl
    awk -v w="$wall" -v u="$user" -v s="$sys" \
        'BEGIN { printf "  flasher: wall %.3f s, cpu %.3f s = %.2f%% of one core\n", w, u + s, 100 * (u + s) / w }'
done
