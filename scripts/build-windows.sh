#!/usr/bin/env bash
# Cross-builds the Windows programs (qvlink.exe, qvlink-station.exe, qvlink-cli.exe,
# qvlink-pack.exe, qvlink-records.exe) and the Windows test programs with mingw-w64, statically
# linked, into build/win, and packs the Windows download twice: the zip
# build/win/QuorvaneLink-VERSION-win64.zip (the five programs, README.txt and libpq's copyright
# notice, OpenSSL's licence) and the installer build/win/QuorvaneLink-VERSION-setup.exe (NSIS, from
# packaging/windows/installer.nsi). libpq, which the record database needs, and the OpenSSL it
# speaks TLS with are built first from their Debian source (scripts/openssl-windows.sh,
# scripts/libpq-windows.sh), once per machine: see below.
# usage: build-windows.sh [CMAKE_ARGS...]   (the test command adds ccache as the launcher and
# -DQVLINK_WERROR=ON; a build without it never stops at a warning, whatever an earlier one asked)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
version=$(sed -n 's/^project(QuorvaneLink VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# libpq and the OpenSSL it speaks TLS with outlive the build folder, as ccache's results do: they
# are kept in QVLINK_CACHE (~/.cache/quorvane-link unless told), each in a folder named by what it
# is built from (the Linux package's version and the scripts that build it; libpq's also by
# OpenSSL's folder), which fresh clones and other checkouts take as they are. Each is built aside
# and then moved into place, so that two checkouts building it at once leave one whole copy.
cache=${QVLINK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane-link}
cached() {  # cached NAME PACKAGE SCRIPT [ARGS...]: prints the folder, building it if need be
    local name="$1" package="$2" script="$3" folder aside
    shift 3
    folder="$cache/$name-windows-$(dpkg-query -W -f='${Version}' "$package")-$(
        { cat "$script" scripts/debian-source.sh; echo "$@"; } | sha256sum | cut -c 1-16)"
    if [ ! -f "$folder/stamp" ]; then
        mkdir -p "$cache"
        aside=$(mktemp -d "$folder.XXXXXX")
        bash "$script" "$aside" "$@" >&2 || { rm -rf "$aside"; return 1; }
        mv -T "$aside" "$folder" 2>/dev/null || rm -rf "$aside"  # or another checkout was first
    fi
    echo "$folder"
}
openssl=$(cached openssl libssl-dev scripts/openssl-windows.sh)
libpq=$(cached libpq libpq-dev scripts/libpq-windows.sh "$openssl")
cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQVLINK_WIN32_LIBPQ="$libpq" \
    -DQVLINK_BUILD_RECORDS=ON -DQVLINK_WERROR=OFF "$@" >/dev/null
cmake --build build/win -j "$(nproc)"

programs=(build/win/src/app/qvlink.exe build/win/src/app/qvlink-station.exe
    build/win/tools/qvlink-cli.exe build/win/tools/qvlink-pack.exe build/win/tools/qvlink-records.exe)
package=build/win/package
zip="build/win/QuorvaneLink-$version-win64.zip" setup="build/win/QuorvaneLink-$version-setup.exe"
rm -rf "$package" "$zip" "$setup"
mkdir -p "$package"
cp "${programs[@]}" "$package"/
sed 's/$/\r/' docs/windows-readme.txt > "$package/README.txt"
sed 's/$/\r/' "$libpq/COPYRIGHT" > "$package/libpq-COPYRIGHT.txt"
sed 's/$/\r/' "$libpq/openssl-LICENSE.txt" > "$package/openssl-LICENSE.txt"
(cd "$package" && zip -q -X "$OLDPWD/$zip" ./*.txt ./*.exe)
unzip -l "$zip"

makensis -V2 -NOCD -DVERSION="$version" -DPACKAGE="$package" -DICON=res/qvlink.ico \
    -DOUTFILE="$setup" packaging/windows/installer.nsi
ls -l "$zip" "$setup"
