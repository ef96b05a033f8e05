#!/usr/bin/env bash
# Cross-builds the Windows programs (qvlink-cli.exe, qvlink-pack.exe) and the Windows test
# programs with mingw-w64, statically linked, into build/win.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j "$(nproc)"
ls -l build/win/tools/*.exe
