#!/usr/bin/env bash
# The Debian package from end to end: scripts/build-deb.sh builds it; lintian finds no error in
# it and desktop-file-validate accepts its menu entries; installed on this machine, every file
# is where the package says and as the package holds it, every program answers --version and
# has a manual page, and the installed qvlink-cli upgrades a receiver played by the installed
# qvlink-sim; removed, it leaves none of its files behind. Runs apt-get, so needs root (or sudo).
# A quorvane-link installed before the test is removed first.
# usage: deb_test.sh [BUILD-DEB ARGUMENTS...]   (given to scripts/build-deb.sh; -DQVLINK_WERROR=ON
# unless told)
set -u
build_args=("$@")
[ "$#" != 0 ] || build_args=(-DQVLINK_WERROR=ON)
here=$(dirname "$(realpath "$0")")
. "$here/checks.sh"
cd "$here/../.." || exit 1
sudo=""
[ "$(id -u)" = 0 ] || sudo="sudo"
apt_get() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

programs=(qvlink qvlink-cli qvlink-pack qvlink-records qvlink-sim qvlink-station)  # at least these, in /usr/bin

work=$(mktemp -d)
chmod 755 "$work"  # apt reads the package as its own unprivileged user
sim_pid=""
installed=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    [ -n "$installed" ] && apt_get remove -y -qq quorvane-link >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

is_installed() { dpkg-query -W -f='${Status}' quorvane-link 2>/dev/null | grep -q 'ok installed'; }
not_installed() { ! is_installed; }

built() { bash scripts/build-deb.sh "${build_args[@]}" > "$work/build.log" 2>&1; }
check "scripts/build-deb.sh ${build_args[*]} builds the package" built
if [ "$failures" != 0 ]; then
    tail -n 30 "$work/build.log"
    report_checks
    exit
fi
package=$(tail -n 1 "$work/build.log")
version=$(dpkg-deb -f "$package" Version)
check "package named quorvane-link_${version}_amd64.deb" \
    [ "$(basename "$package")" = "quorvane-link_${version}_amd64.deb" ]
cp "$package" "$work/"
deb="$work/$(basename "$package")"
cd "$work" || exit 1

lintian --fail-on error --display-info "$deb" > lintian.out 2> lintian.err
check "lintian reports no error" [ "$?" = 0 ]
sed 's/^/     lintian: /' lintian.out lintian.err

# The package's contents: "d PATH" for a directory, "f PATH" for anything else.
dpkg-deb -x "$deb" root
dpkg-deb -c "$deb" | awk '{ sub(/^\./, "", $6); sub(/\/$/, "", $6); print substr($1, 1, 1) == "d" ? "d " $6 : "f " $6 }' |
    grep -v '^d $' > contents
entries=(root/usr/share/applications/*.desktop)
check "the package has a menu entry" [ -f "${entries[0]}" ]
for entry in "${entries[@]}"; do
    check "desktop-file-validate $(basename "$entry")" desktop-file-validate "$entry"
    exec_line=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    icon=$(sed -n 's/^Icon=//p' "$entry")
    check "$(basename "$entry") starts a program of the package" [ -x "root/usr/bin/$exec_line" ]
    check "$(basename "$entry") shows an icon of the package" \
        [ "$(identify -format '%wx%h' "root/usr/share/icons/hicolor/32x32/apps/$icon.png" 2>/dev/null)" = 32x32 ]
done

if is_installed; then
    echo "     quorvane-link is installed on this machine; removing it to test the package"
    apt_get remove -y -qq quorvane-link >/dev/null 2>&1
fi
apt_get install -y -qq "$deb" > install.log 2>&1
status=$?
installed=yes
check "apt-get install ./$(basename "$deb")" [ "$status" = 0 ]
[ "$status" = 0 ] || tail -n 20 install.log

# dpkg's record of the package against what the package holds, and each file against its copy.
dpkg -L quorvane-link | grep -vx '/\.' | sort > listed
check "dpkg -L lists exactly the package's contents" cmp -s listed <(cut -c 3- contents | sort)
misplaced=0
while read -r kind path; do
    if [ "$kind" = d ]; then [ -d "$path" ]; else cmp -s "$path" "root$path"; fi || {
        echo "     not as packaged: $path"
        misplaced=$((misplaced + 1))
    }
done < contents
check "every file of the package is installed as packaged ($(wc -l < contents) entries)" [ "$misplaced" = 0 ]
check "dpkg --verify finds every file intact" [ -z "$(dpkg --verify quorvane-link 2>&1)" ]

# The names in Depends, one a line.
depends=$(dpkg-deb -f "$deb" Depends | sed 's/[,|]/\n/g' | sed 's/^ *//; s/[ (].*//')
for program in "${programs[@]}"; do
    check "/usr/bin/$program is installed" [ -x "/usr/bin/$program" ]
done
for binary in /usr/bin/qvlink*; do
    [ "$(dpkg -S "$binary" 2>/dev/null | cut -d: -f1)" = quorvane-link ] || continue
    program=$(basename "$binary")
    # No display: the dialog answers before its toolkit starts.
    first=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$binary" --version | head -n 1)
    check "$program --version: '$first'" \
        grep -qxE "$program \\(Quorvane Link\\) ${version//./\\.}( \\(commit [0-9a-f]+\\))?" <<< "$first"
    check "$program --help mentions --version" \
        grep -q -- --version <(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$binary" --help)
    check "$program has a manual page" grep -q "^\.TH ${program^^} \"1\"" \
        <(zcat "/usr/share/man/man1/$program.1.gz" 2>/dev/null)
    # Every library the program needs comes from a package the package depends on.
    unmet=""
    for soname in $(readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
        owners=$(dpkg -S "*/$soname" 2>/dev/null | cut -d: -f1 | sed 's/, /\n/g' | sort -u)
        [ -n "$owners" ] && grep -qxFf <(echo "$owners") <<< "$depends" || unmet+=" $soname"
    done
    check "$program: Depends names the package of every library it needs${unmet:+ (not:$unmet)}" \
        [ -z "$unmet" ]
done
check "the copyright file is in /usr/share/doc/quorvane-link" [ -s /usr/share/doc/quorvane-link/copyright ]
check "the README is in /usr/share/doc/quorvane-link" \
    cmp -s <(zcat /usr/share/doc/quorvane-link/README.md.gz) "$here/../../README.md"

# The installed programs, end to end: a firmware file, a virtual receiver, an upgrade.
head -c 1048576 /dev/urandom > image.raw
packed() { /usr/bin/qvlink-pack pack image.raw fw.bin > /dev/null; }
check "installed qvlink-pack packs a firmware file" packed
/usr/bin/qvlink-sim --protocol block-crc fw.bin > sim.out 2> sim.err &
sim_pid=$!
device=""
await_lines sim.out 1 "$sim_pid" && device=$(head -n 1 sim.out)
timeout 120 /usr/bin/qvlink-cli --port "$device" fw.bin > cli.out 2> cli.err
status=$?
await_exit "$sim_pid" 60
kill "$sim_pid" 2>/dev/null
wait "$sim_pid"
sim_status=$?
sim_pid=""
upgraded() { [ "$status" = 0 ] && [ "$(tail -n 1 cli.out)" = "Upgrade Completed" ]; }
check "installed qvlink-cli upgrades the installed qvlink-sim's receiver: exit $status, '$(tail -n 1 cli.out)'" upgraded
check "the receiver got exactly the image" [ "$sim_status" = 0 ]
[ "$sim_status" = 0 ] || sed 's/^/     sim: /' sim.out sim.err

apt_get remove -y -qq quorvane-link > remove.log 2>&1
status=$?
installed=""
check "apt-get remove quorvane-link" [ "$status" = 0 ]
check "dpkg no longer has quorvane-link installed" not_installed
left=0
while read -r kind path; do
    [ "$kind" = f ] && [ -e "$path" ] && { echo "     left behind: $path"; left=$((left + 1)); }
done < contents
check "no file of the package is left" [ "$left" = 0 ]
check "/usr/share/doc/quorvane-link is gone" [ ! -e /usr/share/doc/quorvane-link ]

report_checks
