#!/usr/bin/env bash
# The main job: sets up the machine, builds everything, makes a sample firmware file, starts a
# virtual receiver on a pseudo-terminal and upgrades it with the command-line flasher.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)"
tools=build/release/tools

demo=build/demo
mkdir -p "$demo"
head -c 1048576 /dev/urandom > "$demo/image.raw"
"$tools/qvlink-pack" pack "$demo/image.raw" "$demo/quorvane.bin"
"$tools/qvlink-pack" check "$demo/quorvane.bin"

"$tools/qvlink-sim" --protocol block-crc --noise 64 "$demo/quorvane.bin" > "$demo/sim.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$demo/sim.out" ] && break; sleep 0.05; done
device=$(head -n 1 "$demo/sim.out")
echo "virtual receiver on $device"
"$tools/qvlink-cli" --port "$device" "$demo/quorvane.bin"
wait $sim
tail -n +2 "$demo/sim.out"
