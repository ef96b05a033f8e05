#!/usr/bin/env bash
# Sets up the machine and runs every test: a normal build, a build under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, the Debian package (built,
# checked, installed, used and removed again), the Windows build under Wine, and the firmware
# fuzzer. A Release build with g++ and a Debug build with clang++ show that the builds users make
# stay clean. Warnings are errors in all of them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

build() {  # build BUILD_DIR CMAKE_ARGS...
    local dir="$1"
    shift
    echo "== $dir"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVLINK_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

suite() {  # suite BUILD_DIR CTEST_ARGS -- CMAKE_ARGS...
    local dir="$1" ctest_args="$2"
    shift 3
    build "$dir" "$@"
    # shellcheck disable=SC2086
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" $ctest_args
}

suite build/release "" --
suite build/asan "" -- -DQVLINK_SANITIZE=address,undefined
suite build/tsan "-L threaded" -- -DQVLINK_SANITIZE=thread
build build/release-gcc -DCMAKE_BUILD_TYPE=Release
build build/debug-clang -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++

echo "== Debian package"
bash tests/tools/deb_test.sh

echo "== Windows build, tests under Wine"
bash scripts/build-windows.sh
export WINEPREFIX="$PWD/build/win/wineprefix" WINEDEBUG=-all
# A running server keeps Wine's services from holding ctest's output open.
mkdir -p "$WINEPREFIX"
wineserver -k >/dev/null 2>&1 || true
wineserver -p 20
wine cmd /c exit >/dev/null 2>&1 || true
ctest --test-dir build/win --output-on-failure
wineserver -k >/dev/null 2>&1 || true
bash tests/tools/wine_test.sh build/win build/release/tools/qvlink-sim build/release/tools/qvlink-pack
bash tests/tools/wine_dialog_test.sh build/win build/release/tools/qvlink-sim build/release/tools/qvlink-pack
bash tests/tools/wine_station_test.sh build/win build/release/tools/qvlink-sim build/release/tools/qvlink-pack

echo "== firmware fuzzer (60 s)"
mkdir -p build/fuzz/corpus
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -Isrc/firmware tests/fuzz/firmware_fuzzer.cpp src/firmware/crc32_mpeg2.cpp \
    src/firmware/firmware_format.cpp -o build/fuzz/firmware_fuzzer
build/fuzz/firmware_fuzzer -max_total_time=60 -max_len=4096 -print_final_stats=1 build/fuzz/corpus 2>build/fuzz/fuzz.log ||
    { tail -n 40 build/fuzz/fuzz.log; exit 1; }
grep -E '^(Done|stat::number_of_executed_units)' build/fuzz/fuzz.log || true
echo "firmware fuzzer: no crash"
