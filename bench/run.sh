#!/usr/bin/env bash
# Builds the release tools and prints the benchmarks' figures (takes a few minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$(nproc)"
build/release/bench/firmware_check_bench
build/release/bench/port_comeback_bench
build/release/bench/upgrade_bench build/release/tools
bash bench/multiport.sh build/release/tools
bash bench/station_window.sh build/release
bash bench/records_drain.sh build/release
bash bench/records_multiport.sh build/release/tools
bash bench/records_fleet.sh build/release
bash bench/records_bounded.sh build/release
bash bench/headless_station.sh build/release
