#!/usr/bin/env bash
# Cross-builds the Windows programs (qvlink.exe, qvlink-station.exe, qvlink-cli.exe,
# qvlink-pack.exe, qvlink-records.exe) and the Windows test programs with mingw-w64, statically
# linked, into build/win, and packs the Windows download twice: the zip
# build/win/QuorvaneLink-VERSION-win64.zip (the five programs, README.txt and libpq's copyright
# notice) and the installer build/win/QuorvaneLink-VERSION-setup.exe (NSIS, from
# packaging/windows/installer.nsi). libpq, which the record database needs, is built first from
# PostgreSQL's Debian source (scripts/libpq-windows.sh), once per machine: see below.
# usage: build-windows.sh [CMAKE_ARGS...]   (the test command adds ccache as the launcher and
# -DQVLINK_WERROR=ON; a build without it never stops at a warning, whatever an earlier one asked)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
version=$(sed -n 's/^project(QuorvaneLink VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# libpq outlives the build folder, as ccache's results do: it is kept in QVLINK_CACHE
# (~/.cache/quorvane-link unless told), in a folder named by what it is built from (libpq-dev's
# version and libpq-windows.sh itself), which fresh clones and other checkouts take as it is.
# It is built aside and then moved into place, so that two checkouts building it at once leave
# one whole copy.
cache=${QVLINK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane-link}
libpq="$cache/libpq-windows-$(dpkg-query -W -f='${Version}' libpq-dev)-$(sha256sum scripts/libpq-windows.sh | cut -c 1-16)"
if [ ! -f "$libpq/lib/libpq.a" ]; then
    mkdir -p "$cache"
    aside=$(mktemp -d "$libpq.XXXXXX")
    trap 'rm -rf "$aside"' EXIT
    bash scripts/libpq-windows.sh "$aside"
    mv -T "$aside" "$libpq" 2>/dev/null || true  # or another checkout was first
fi
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
(cd "$package" && zip -q -X "$OLDPWD/$zip" README.txt libpq-COPYRIGHT.txt ./*.exe)
unzip -l "$zip"

makensis -V2 -NOCD -DVERSION="$version" -DPACKAGE="$package" -DICON=res/qvlink.ico \
    -DOUTFILE="$setup" packaging/windows/installer.nsi
ls -l "$zip" "$setup"
