#!/usr/bin/env bash
# The main job: sets up what the programs need, builds the four programs it runs and makes a
# sample firmware file. With a display it opens the dialog with COM1 mapped to a virtual receiver
# that serves receiver after receiver (press "Upgrade Software", then "Open"); without one it
# starts a virtual receiver and upgrades it with the command-line flasher. The tests and what they
# need are scripts/test-all.sh's.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh programs
# A user's build (no tests, warnings not errors), through ccache as the test command's builds
# (see there), so that a second run compiles only what changed.
root=$(pwd -P)
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVLINK_BUILD_TESTS=OFF \
    -DQVLINK_WERROR=OFF -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build/release -j "$(nproc)" --target qvlink qvlink-pack qvlink-sim qvlink-cli
tools=build/release/tools

demo=build/demo
mkdir -p "$demo"
head -c 1048576 /dev/urandom > "$demo/image.raw"
"$tools/qvlink-pack" pack "$demo/image.raw" "$demo/quorvane.bin"
"$tools/qvlink-pack" check "$demo/quorvane.bin"

start_receiver() {  # start_receiver SIM-OPTIONS...; sets $device and $sim
    rm -f "$demo/sim.out"
    "$tools/qvlink-sim" "$@" "$demo/quorvane.bin" > "$demo/sim.out" &
    sim=$!
    trap 'kill $sim 2>/dev/null || true' EXIT
    # Its first whole line names the device.
    until [ -f "$demo/sim.out" ] && [ "$(wc -l < "$demo/sim.out")" -ge 1 ]; do
        kill -0 "$sim" 2>/dev/null || { echo "demo: the virtual receiver did not start" >&2; exit 1; }
        sleep 0.05
    done
    device=$(head -n 1 "$demo/sim.out")
    echo "virtual receiver on $device"
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    # Receiver after receiver, each as fast as a 921600 baud line, so that the progress shows.
    start_receiver --protocol block-crc,bulk,block-sum --devices 0 --noise 64 --baud 921600
    build_dir=$PWD/build/release
    (cd "$demo" && QVLINK_COM1="$device" "$build_dir/src/app/qvlink")
    kill $sim 2>/dev/null || true
    exit 0
fi

start_receiver --protocol block-crc --noise 64
"$tools/qvlink-cli" --port "$device" "$demo/quorvane.bin"
wait $sim
tail -n +2 "$demo/sim.out"
