#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Safe to run again: it only
# calls apt when something is missing. Run as root (or with sudo available).
# usage: setup.sh [programs]
#   programs   only what building and running the programs needs (scripts/demo.sh)
#   (nothing)  that and everything the tests, the Debian package and the Windows build need
set -euo pipefail

# Building the programs (through the compiler cache) and running them; the dialog's font.
programs=(
    g++ cmake ninja-build pkg-config ccache
    nlohmann-json3-dev libcli11-dev
    qt6-base-dev libgl-dev fonts-noto-cjk
    libpq-dev libudev-dev
)
# The tests, the other builds they make (sanitizers, clang, Windows) and the packages.
tests=(
    googletest libgtest-dev libgmock-dev jq
    postgresql openssl
    lrzsz time
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64 wine wine64 nsis
    xvfb xauth x11-utils xdotool openbox imagemagick zip unzip
    dpkg-dev help2man lintian desktop-file-utils systemd
)

case "${1:-}" in
    programs) packages=("${programs[@]}") ;;
    "") packages=("${programs[@]}" "${tests[@]}") ;;
    *) echo "usage: setup.sh [programs]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ "${#missing[@]}" = 0 ] && exit 0

sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
