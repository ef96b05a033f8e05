#!/usr/bin/env bash
# Sets up the machine and runs every test: a normal build, a build under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, the Debian package (built,
# checked, installed, used and removed again), the Windows build under Wine, and the firmware
# fuzzer. A Release build with g++ and a Debug build with clang++ show that the builds users make
# stay clean. Warnings are errors in all of them.
#
# No work is done twice: every compile goes through ccache, so a second run compiles only what
# changed; the sanitizer builds build only the programs their tests run; the Release g++ build is
# the package's own tree, so the package needs no build of its own. The output ends with a table
# of each stage's seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

# ccache keeps its results in its own folder (~/.cache/ccache unless CCACHE_DIR says another),
# which outlives the build trees and serves every checkout on this machine. Paths inside the
# checkout are hashed relative to the build tree, and the build tree's own path is left out of
# the hash of a compile with debug information, so that trees in other folders or checkouts
# share the results (their debug information may then name the folder that compiled first).
root=$(pwd -P)
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

# The stages and their times, for the table at the end (printed also when a stage fails).
times=()
stage_name=""
stage_start=0
stage() {  # stage NAME COMMAND...: COMMAND as one timed stage
    stage_name="$1" stage_start=$SECONDS
    shift
    echo "== $stage_name"
    "$@"
    times+=("$(printf '%6d  %s' $((SECONDS - stage_start)) "$stage_name")")
    stage_name=""
}
print_times() {
    echo "== stage times"
    echo "     s  stage"
    printf '%s\n' "${times[@]}"
    [ -z "$stage_name" ] || printf '%6d  %s (failed)\n' $((SECONDS - stage_start)) "$stage_name"
    printf '%6d  all\n' "$SECONDS"
}
trap print_times EXIT

# The RelWithDebInfo trees keep only line tables (-g1) of the debug information: enough for every
# backtrace a failing test prints, and GCC's tracking of local variables through -O2 code (-g)
# would take a third of each compile. The warnings stay those of -O2.
configure() {  # configure BUILD_DIR CMAKE_ARGS...
    local dir="$1"
    shift
    # The tests explicitly: scripts/demo.sh's build of build/release leaves them out.
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVLINK_WERROR=ON \
        -DQVLINK_BUILD_TESTS=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
        "${launcher[@]}" "$@" >/dev/null
}
build() {  # build BUILD_DIR CMAKE_ARGS...: the whole project
    configure "$@"
    cmake --build "$1" -j "$jobs"
}
run_tests() {  # run_tests BUILD_DIR CTEST_ARGS...
    local dir="$1"
    shift
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" "$@"
}

# The complete build build/release names the programs each test runs and counts the tests:
# programs_of and test_count take ctest's selection (-L threaded, or nothing for all).
programs_of() {  # programs_of CTEST_ARGS...: the targets whose programs those tests start
    ctest --test-dir build/release --show-only=json-v1 "$@" |
        jq -r --arg tree "$root/build/release/" \
            '.tests[].command[] | select(startswith($tree)) | sub(".*/"; "")' | sort -u
}
test_count() {  # test_count BUILD_DIR CTEST_ARGS...
    local dir="$1"
    shift
    ctest --test-dir "$dir" -N "$@" | sed -n 's/^Total Tests: //p'
}
# sanitized BUILD_DIR SANITIZERS CTEST_ARGS...: the selected tests, and only the programs they
# start, built under the sanitizers and run.
sanitized() {
    local dir="$1" sanitizers="$2"
    shift 2
    local targets
    targets=$(programs_of "$@")
    # -O1, as the sanitizers' guides advise: with their checks an -O2 compile takes about three
    # times as long as without, one at -O1 with line tables about half of that.
    configure "$dir" -DQVLINK_SANITIZE="$sanitizers" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$jobs" --target $targets
    # A test program left out of the build would leave its tests out of the run without a word.
    local want have
    want=$(test_count build/release "$@") have=$(test_count "$dir" "$@")
    if [ "$have" != "$want" ]; then
        echo "$dir has $have tests where build/release has $want"
        return 1
    fi
    run_tests "$dir" "$@"
}

normal() {
    build build/release
    run_tests build/release
}

windows() {
    bash scripts/build-windows.sh -DQVLINK_WERROR=ON "${launcher[@]}"
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
    bash tests/tools/wine_comeback_test.sh build/win build/release/tools/qvlink-sim build/release/tools/qvlink-pack
    bash tests/tools/wine_database_test.sh build/win build/release/tools/qvlink-sim build/release/tools/qvlink-pack \
        build/release/tools/qvlink-records
    bash tests/tools/wine_paths_test.sh build/win build/release/tools/qvlink-sim build/release/tools/qvlink-records
    bash tests/tools/wine_installer_test.sh build/win
    bash tests/tools/wine_service_test.sh build/win build/release/tools/qvlink-sim build/release/tools/qvlink-pack
}

fuzz() {
    local source objects=()
    mkdir -p build/fuzz/corpus
    # One compile a file, so that ccache can keep each.
    for source in tests/fuzz/firmware_fuzzer.cpp src/firmware/crc32_mpeg2.cpp src/firmware/firmware_format.cpp; do
        objects+=("build/fuzz/$(basename "$source" .cpp).o")
        ccache clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
            -Isrc/firmware -Isrc/base -c "$source" -o "${objects[-1]}"
    done
    clang++ -fsanitize=fuzzer,address,undefined "${objects[@]}" -o build/fuzz/firmware_fuzzer
    build/fuzz/firmware_fuzzer -max_total_time=60 -max_len=4096 -print_final_stats=1 build/fuzz/corpus 2>build/fuzz/fuzz.log ||
        { tail -n 40 build/fuzz/fuzz.log; exit 1; }
    grep -E '^(Done|stat::number_of_executed_units)' build/fuzz/fuzz.log || true
    echo "firmware fuzzer: no crash"
}

stage "normal build, tests" normal
stage "AddressSanitizer + UndefinedBehaviorSanitizer, tests" sanitized build/asan address,undefined
stage "ThreadSanitizer, threaded tests" sanitized build/tsan thread -L threaded
# The builds users make are the programs alone: the test programs are built with warnings as
# errors three times above already. The clang build also checks, as errors, that what each
# mutex guards is only touched with it held (-Wthread-safety).
stage "Debug clang++ build" build build/debug-clang -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DQVLINK_BUILD_TESTS=OFF
# The Release g++ build is made as scripts/build-deb.sh makes the package's (Debian's hardening
# flags); the package test makes the package from it.
stage "Release g++ build, Debian package" bash tests/tools/deb_test.sh --tree build/release-gcc \
    -DQVLINK_WERROR=ON "${launcher[@]}"
stage "Windows build, tests under Wine" windows
stage "firmware fuzzer (60 s)" fuzz
