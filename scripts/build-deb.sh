#!/usr/bin/env bash
# Builds the Debian package build/deb/package/quorvane-link_<version>_amd64.deb from a Release
# build made with Debian's hardening flags: the programs, their manual pages, the dialog's menu
# entry and icon, the README and the copyright file. Its dependencies are those of the shared
# libraries the programs link, found by dpkg-shlibdeps. Prints the package's path last.
# usage: build-deb.sh [--tree BUILD_DIR] [CMAKE_ARGS...]
# The build tree is BUILD_DIR (build/deb unless told), configured as below and then with
# CMAKE_ARGS; the package lands in BUILD_DIR/package. The test command gives its Release g++
# tree, with the tests (-DQVLINK_BUILD_TESTS=ON) and warnings as errors: one build serves both.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build/deb
if [ "${1:-}" = --tree ]; then
    build="$2"
    shift 2
fi
# The package holds its programs stripped, so Debian's -g would only cost build time.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQVLINK_PACKAGE=ON \
    -DQVLINK_BUILD_TESTS=OFF \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" -DQVLINK_WERROR=OFF "$@" >/dev/null
cmake --build "$build" -j "${QVLINK_JOBS:-$(nproc)}"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/package/quorvane-link_*.deb)
dpkg-deb -f "$package" Package Version Installed-Size Depends
echo "$package"
