#!/usr/bin/env bash
# The main job: sets up the machine, builds everything, makes a sample firmware file with
# qvlink-pack and checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)"

demo=build/demo
mkdir -p "$demo"
head -c 1048576 /dev/urandom > "$demo/image.raw"
build/release/tools/qvlink-pack pack "$demo/image.raw" "$demo/quorvane.bin"
build/release/tools/qvlink-pack check "$demo/quorvane.bin"
