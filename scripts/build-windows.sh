#!/usr/bin/env bash
# Cross-builds the Windows programs (qvlink.exe, qvlink-station.exe, qvlink-cli.exe,
# qvlink-pack.exe) and the Windows test programs with mingw-w64, statically linked, into
# build/win, and packs the Windows download build/win/QuorvaneLink-1.1-win64.zip: the four
# programs and README.txt.
# usage: build-windows.sh [CMAKE_ARGS...]   (the test command adds ccache as the launcher)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build/win -j "$(nproc)"

package=build/win/package
rm -rf "$package" build/win/QuorvaneLink-1.1-win64.zip
mkdir -p "$package"
cp build/win/src/app/qvlink.exe build/win/src/app/qvlink-station.exe build/win/tools/qvlink-cli.exe \
    build/win/tools/qvlink-pack.exe "$package"/
sed 's/$/\r/' docs/windows-readme.txt > "$package/README.txt"
(cd "$package" && zip -q -X ../QuorvaneLink-1.1-win64.zip README.txt qvlink.exe qvlink-station.exe \
    qvlink-cli.exe qvlink-pack.exe)
unzip -l build/win/QuorvaneLink-1.1-win64.zip
