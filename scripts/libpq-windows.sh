#!/usr/bin/env bash
# Builds libpq, PostgreSQL's client library, for 64-bit Windows with mingw-w64, from Debian's own
# source package of PostgreSQL 15: the version the Linux libpq-dev came from while the archive
# still has it, else the newest postgresql-15 of this Debian release. Only libpq is built, with the
# parts of PostgreSQL's own libraries it needs, and without TLS, zlib, readline, ICU, LDAP or
# GSSAPI. The result in DIR: include/ (libpq-fe.h and the headers it includes) and lib/ (libpq.a,
# a static library, with libpgcommon_shlib.a and libpgport_shlib.a beside it).
#
# The source comes through apt with a list and a state of its own (deb-src entries made from the
# Debian archives this machine already uses, under DIR/work): the machine's apt setup is left as
# it is. DIR/stamp names what was built: a second run with the same version and this same script
# does nothing.
# usage: libpq-windows.sh DIR
set -euo pipefail
dir=$(realpath -m "$1")
script=$(realpath "$0")
wanted=$(dpkg-query -W -f='${Version}' libpq-dev)
stamp="postgresql-15 $wanted, $(sha256sum "$script" | cut -c 1-16)"
if [ -f "$dir/stamp" ] && [ "$(cat "$dir/stamp")" = "$stamp" ] && [ -f "$dir/lib/libpq.a" ]; then
    exit 0
fi
echo "libpq for Windows: building from postgresql-15 (wanted $wanted) in $dir"
rm -rf "$dir"
work="$dir/work"
mkdir -p "$work/apt/lists/partial" "$work/apt/parts"

# deb-src entries for the Debian archives apt already knows (their release files name Debian).
apt-get indextargets --format '$(ORIGIN) $(REPO_URI) $(RELEASE) $(COMPONENT)' |
    awk '$1 == "Debian" { print "deb-src", $2, $3, $4 }' | sort -u > "$work/apt/sources.list"
if [ ! -s "$work/apt/sources.list" ]; then
    echo "libpq for Windows: apt knows no Debian archive to take the source from" >&2
    exit 1
fi
apt_private=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/parts"
    -o "Dir::State::Lists=$work/apt/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
    -o APT::Sandbox::User=root -o Debug::NoLocking=1)
apt-get "${apt_private[@]}" -qq update
(cd "$work" && { apt-get "${apt_private[@]}" -qq source --download-only "postgresql-15=$wanted" ||
    apt-get "${apt_private[@]}" -qq source --download-only postgresql-15; }) > "$work/fetch.log" 2>&1 ||
    { cat "$work/fetch.log"; exit 1; }
dpkg-source -x "$work"/postgresql-15_*.dsc "$work/source" > "$work/unpack.log" 2>&1 ||
    { cat "$work/unpack.log"; exit 1; }
got=$(basename "$work"/postgresql-15_*.dsc .dsc)
echo "libpq for Windows: ${got#postgresql-15_} unpacked"

cc=x86_64-w64-mingw32-gcc-posix
command -v ccache > /dev/null && cc="ccache $cc"
mkdir -p "$work/build"
cd "$work/build"
../source/configure --host=x86_64-w64-mingw32 --without-readline --without-zlib --without-icu \
    --without-openssl --without-ldap --without-gssapi --disable-nls CC="$cc" > configure.log 2>&1 ||
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
cp ../source/COPYRIGHT "$dir/COPYRIGHT"
cd "$dir"
rm -rf "$work"
echo "$stamp" > "$dir/stamp"
echo "libpq for Windows: ${got#postgresql-15_} in $dir"
