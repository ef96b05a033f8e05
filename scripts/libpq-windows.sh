#!/usr/bin/env bash
# Builds libpq, PostgreSQL's client library, for 64-bit Windows with mingw-w64, from Debian's own
# source package of PostgreSQL 15: the version the Linux libpq-dev came from while the archive
# still has it, else the newest postgresql-15 of this Debian release that can be fetched
# (scripts/debian-source.sh). Only libpq is built, with the parts of PostgreSQL's own libraries it
# needs, with TLS from the OpenSSL in OPENSSL_DIR (scripts/openssl-windows.sh), and without zlib,
# readline, ICU, LDAP or GSSAPI. The result in DIR: include/ (libpq-fe.h and the headers it
# includes) and lib/ (libpq.a, a static library, with libpgcommon_shlib.a and libpgport_shlib.a
# beside it, and OpenSSL's libssl.a and libcrypto.a, which programs link after them), and
# OpenSSL's licence as openssl-LICENSE.txt beside libpq's COPYRIGHT.
# DIR/stamp names what was built: a second run with the same version, these same scripts and the
# same OpenSSL does nothing.
# usage: libpq-windows.sh DIR OPENSSL_DIR
set -euo pipefail
dir=$(realpath -m "$1")
openssl=$(realpath "$2")
script=$(realpath "$0")
here=$(dirname "$script")
. "$here/debian-source.sh"
wanted=$(dpkg-query -W -f='${Version}' libpq-dev)
stamp="postgresql-15 $wanted, $(cat "$script" "$here/debian-source.sh" | sha256sum | cut -c 1-16)"
stamp="$stamp with $(cat "$openssl/stamp")"
if [ -f "$dir/stamp" ] && [ "$(cat "$dir/stamp")" = "$stamp" ] && [ -f "$dir/lib/libpq.a" ]; then
    exit 0
fi
echo "libpq for Windows: building from postgresql-15 (wanted $wanted) in $dir"
rm -rf "$dir"
work="$dir/work"
got=$(debian_source postgresql-15 "$wanted" "$work")
echo "libpq for Windows: $got unpacked"

cc=x86_64-w64-mingw32-gcc-posix
command -v ccache > /dev/null && cc="ccache $cc"
mkdir -p "$work/build"
cd "$work/build"
# The static OpenSSL needs these system libraries for configure's test programs to link.
../source/configure --host=x86_64-w64-mingw32 --without-readline --without-zlib --without-icu \
    --with-ssl=openssl --without-ldap --without-gssapi --disable-nls CC="$cc" \
    CPPFLAGS="-I$openssl/include" LDFLAGS="-L$openssl/lib" \
    LIBS="-lws2_32 -lcrypt32 -lbcrypt -luser32 -ladvapi32" > configure.log 2>&1 ||
    { tail -n 40 configure.log; exit 1; }
# Only what the static library needs: the generated headers, the variants of the two support
# libraries that libpq is built with, and libpq's objects (no DLL, so not its version resource).
jobs=$(nproc)
objects=$(make -s -C src/interfaces/libpq -f Makefile -f <(echo 'print-objects: ; @echo $(OBJS)') \
    print-objects | tr ' ' '\n' | grep -vx 'win32ver.o')
{
    make -s -j "$jobs" -C src/backend generated-headers
    make -s -j "$jobs" -C src/port libpgport_shlib.a
    make -s -j "$jobs" -C src/common libpgcommon_shlib.a
    # shellcheck disable=SC2086
    make -s -j "$jobs" -C src/interfaces/libpq $objects
} > make.log 2>&1 || { tail -n 40 make.log; exit 1; }

# The static library. libpq brings its own
# small pthread functions for Windows; inside a program that also links winpthreads (C++'s
# threads) they would clash with the real ones, so they are renamed in libpq's objects.
mkdir -p "$dir/lib" "$dir/include" "$work/objects"
# shellcheck disable=SC2086
(cd src/interfaces/libpq && cp $objects "$work/objects/")
for name in getspecific setspecific mutex_init mutex_lock mutex_unlock self; do
    echo "pthread_$name pq_pthread_$name"
done > "$work/renamed-symbols"
for object in "$work"/objects/*.o; do
    x86_64-w64-mingw32-objcopy --redefine-syms="$work/renamed-symbols" "$object"
done
x86_64-w64-mingw32-ar crs "$dir/lib/libpq.a" "$work"/objects/*.o
if x86_64-w64-mingw32-nm --defined-only "$dir/lib/libpq.a" | grep -qE ' T pthread_'; then
    echo "libpq for Windows: libpq.a still defines pthread functions" >&2
    exit 1
fi
cp src/common/libpgcommon_shlib.a src/port/libpgport_shlib.a "$dir/lib/"
cp ../source/src/interfaces/libpq/libpq-fe.h ../source/src/include/postgres_ext.h \
    src/include/pg_config_ext.h "$dir/include/"
cp "$openssl/lib/libssl.a" "$openssl/lib/libcrypto.a" "$dir/lib/"
cp ../source/COPYRIGHT "$dir/COPYRIGHT"
cp "$openssl/LICENSE.txt" "$dir/openssl-LICENSE.txt"
cd "$dir"
rm -rf "$work"
echo "$stamp" > "$dir/stamp"
echo "libpq for Windows: $got in $dir"
