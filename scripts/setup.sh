#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Safe to run again: it only
# calls apt when something is missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config ccache
    googletest libgtest-dev libgmock-dev
    nlohmann-json3-dev libcli11-dev jq
    qt6-base-dev libgl-dev fonts-noto-cjk
    libpq-dev postgresql openssl
    lrzsz time
    clang libclang-rt-14-dev
    g++-mingw-w64-x86-64 wine wine64 nsis
    xvfb xauth x11-utils xdotool openbox imagemagick zip unzip
    dpkg-dev help2man lintian desktop-file-utils
)

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
