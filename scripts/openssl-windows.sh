#!/usr/bin/env bash
# Builds OpenSSL's libssl and libcrypto for 64-bit Windows with mingw-w64, static, for libpq's TLS,
# from Debian's own source package of OpenSSL: the version the Linux libssl-dev came from while
# the archive still has it, else the newest one of this Debian release that can be fetched
# (scripts/debian-source.sh). Only the two libraries are built: no programs, tests, DLLs, engines
# or loadable modules, nothing that loads code at run time, and no protocols or formats libpq does
# not speak. The result in DIR: include/openssl/ and lib/ (libssl.a, libcrypto.a), LICENSE.txt.
# DIR/stamp names what was built: a second run with the same version and these same scripts does
# nothing.
# usage: openssl-windows.sh DIR
set -euo pipefail
dir=$(realpath -m "$1")
script=$(realpath "$0")
here=$(dirname "$script")
. "$here/debian-source.sh"
wanted=$(dpkg-query -W -f='${Version}' libssl-dev)
stamp="openssl $wanted, $(cat "$script" "$here/debian-source.sh" | sha256sum | cut -c 1-16)"
if [ -f "$dir/stamp" ] && [ "$(cat "$dir/stamp")" = "$stamp" ] && [ -f "$dir/lib/libssl.a" ]; then
    exit 0
fi
echo "OpenSSL for Windows: building from openssl (wanted $wanted) in $dir"
rm -rf "$dir"
work="$dir/work"
got=$(debian_source openssl "$wanted" "$work")
echo "OpenSSL for Windows: $got unpacked"

cc=x86_64-w64-mingw32-gcc-posix
command -v ccache > /dev/null && cc="ccache $cc"
mkdir -p "$work/build"
cd "$work/build"
# Windows threads (no winpthread DLL); the configuration file, if any, only from the folder that
# OpenSSL's Windows build names by default (under Program Files, written by administrators).
# Left out besides: protocols and formats libpq does not use, and ciphers and digests that no
# TLS 1.2 or 1.3 cipher suite, certificate or key file of libpq's needs.
CC="$cc" AR=x86_64-w64-mingw32-ar RANLIB=x86_64-w64-mingw32-ranlib RC=x86_64-w64-mingw32-windres \
    ../source/Configure mingw64 no-shared no-tests no-module no-dso no-engine no-legacy no-comp \
    no-dtls no-sctp no-srtp no-srp no-ts no-cms no-ocsp no-ct no-nextprotoneg no-ssl-trace \
    no-cmp no-rfc3779 no-aria no-bf no-camellia no-cast no-idea no-md4 no-mdc2 no-rc2 no-rc4 \
    no-rc5 no-seed no-sm2 no-sm3 no-sm4 no-whirlpool no-siphash no-ec2m \
    > configure.log 2>&1 || { tail -n 40 configure.log; exit 1; }
make -s -j "$(nproc)" build_libs > make.log 2>&1 || { tail -n 40 make.log; exit 1; }

mkdir -p "$dir/lib" "$dir/include/openssl"
cp libssl.a libcrypto.a "$dir/lib/"
cp ../source/include/openssl/*.h include/openssl/*.h "$dir/include/openssl/"
cp ../source/LICENSE.txt "$dir/LICENSE.txt"
cd "$dir"
rm -rf "$work"
echo "$stamp" > "$dir/stamp"
echo "OpenSSL for Windows: $got in $dir"
