#!/usr/bin/env bash
# The Debian package from end to end: scripts/build-deb.sh builds it; lintian finds no error in
# it and desktop-file-validate accepts its menu entries; installed on this machine, every file
# is where the package says and as the package holds it, every program answers --version and
# has a manual page, and the installed qvlink-cli upgrades a receiver played by the installed
# qvlink-sim. The station's service: systemd-analyze verify accepts its unit, the user qvlink
# is made in dialout and owns /var/lib/quorvane-link, the unit is not enabled, and the station
# on the shipped settings (no ports yet) ends with status 2, which the unit never restarts; the
# maintainer scripts ask the service manager for a reload only, on the install and on an
# upgrade (the package installed again), which keeps the settings as the operator edited them,
# and for a stop on a removal. Removed, it leaves none of its files but the settings behind;
# purged, the settings and the record's cursor go, and the record stays. Runs apt-get and dpkg,
# so needs root (or sudo). A quorvane-link installed before the test is purged first; a user
# qvlink or a /var/lib/quorvane-link the test made is taken away at its end.
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

programs=(qvlink qvlink-cli qvlink-pack qvlink-records qvlink-sim qvlink-station)  # at least these, in /usr/bin

unit=quorvane-link-station.service
state=/var/lib/quorvane-link
settings=/etc/quorvane-link/station.json
work=$(mktemp -d)
chmod 755 "$work"  # apt reads the package as its own unprivileged user
sim_pid=""
installed=""
had_user=""
getent passwd qvlink >/dev/null && had_user=yes
had_state=""
[ -e "$state" ] && had_state=yes
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    [ -n "$installed" ] && $sudo dpkg --purge quorvane-link >/dev/null 2>&1
    if [ -z "$had_user" ] && getent passwd qvlink >/dev/null; then
        $sudo userdel qvlink
        ! getent group qvlink >/dev/null || $sudo groupdel qvlink
    fi
    [ -n "$had_state" ] || $sudo rm -rf "$state"
    rm -rf "$work"
}
trap cleanup EXIT

is_installed() { dpkg-query -W -f='${Status}' quorvane-link 2>/dev/null | grep -q 'ok installed'; }
not_installed() { ! is_installed; }

# COMMAND as the maintainer scripts would run under systemd, with none running: in a mount
# namespace of its own, /run/systemd/system is there (their sign of a running systemd), no
# policy-rc.d holds a stop back, and each systemctl they call only logs its arguments to
# systemctl.log (a line a call). Nothing outside the command sees any of it.
mkdir "$work/shim"
printf '#!/bin/sh\necho "$*" >> %q\n' "$work/systemctl.log" > "$work/shim/systemctl"
printf '#!/bin/sh\nexit 0\n' > "$work/policy-rc.d"
chmod 755 "$work/shim/systemctl" "$work/policy-rc.d"
as_under_systemd() {
    rm -f "$work/systemctl.log"
    touch "$work/systemctl.log"
    $sudo unshare --mount --propagation private sh -c '
        mount -t tmpfs tmpfs /run/systemd && mkdir /run/systemd/system &&
        if [ -e /usr/sbin/policy-rc.d ]; then mount --bind "$0/policy-rc.d" /usr/sbin/policy-rc.d; fi &&
        exec env PATH="$0/shim:$PATH" DEBIAN_FRONTEND=noninteractive "$@"' "$work" "$@"
}
# What the maintainer scripts asked systemctl, one call a line, in order.
asked() { cat "$work/systemctl.log"; }
# systemd-analyze verify UNIT-FILE: true when it finds nothing to say (a setting it cannot parse
# is only said, and still exits 0).
verified() {
    local said
    said=$(cd "$work" && systemd-analyze verify "$1" 2>&1) && [ -z "$said" ] ||
        { echo "$said" | sed 's/^/     systemd-analyze: /'; return 1; }
}
refused() { ! verified "$1"; }

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

if dpkg-query -W quorvane-link >/dev/null 2>&1; then
    echo "     quorvane-link is on this machine; purging it to test the package"
    $sudo dpkg --purge quorvane-link >/dev/null 2>&1
fi
# apt may give dpkg a PATH of its own (DPkg::Path): the shim goes first in that one too.
as_under_systemd apt-get install -y -qq -o DPkg::Path="$work/shim:/usr/sbin:/usr/bin:/sbin:/bin" \
    "$deb" > install.log 2>&1
status=$?
installed=yes
check "apt-get install ./$(basename "$deb")" [ "$status" = 0 ]
[ "$status" = 0 ] || tail -n 20 install.log
check "the install asks systemd for a reload only ($(asked | paste -sd ';'))" \
    [ "$(asked)" = "--system daemon-reload" ]

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

# The station's service.
check "the unit is in /lib/systemd/system" [ -f "/lib/systemd/system/$unit" ]
check "systemd-analyze verify accepts the unit" verified "/lib/systemd/system/$unit"
# The check above, shown to fail on a unit with a fault planted in it.
mkdir fault
sed 's/^Type=notify$/Type=notfy/' "/lib/systemd/system/$unit" > "fault/$unit"
check "systemd-analyze verify finds a planted fault" refused "fault/$unit"
check "the user qvlink is in dialout ($(id -nG qvlink 2>&1))" grep -qw dialout <(id -nG qvlink)
check "qvlink has no login and $state as home" \
    [ "$(getent passwd qvlink | cut -d: -f6,7)" = "$state:/usr/sbin/nologin" ]
check "$state belongs to qvlink" [ "$(stat -c %U:%G "$state" 2>&1)" = qvlink:qvlink ]
enabled=$(systemctl --root=/ is-enabled "$unit" 2>&1)
check "the unit is not enabled ($enabled)" [ "$enabled" = disabled ]
check "$settings is a conffile" grep -q "^ $settings " <(dpkg-query -W -f='${Conffiles}\n' quorvane-link)
# Started before its settings are edited, the station ends at once with status 2, which the unit
# does not restart.
timeout 60 runuser -u qvlink -- /usr/bin/qvlink-station --headless --settings "$settings" \
    > shipped.out 2> shipped.err
status=$?
check "the station on the shipped settings ends with status 2 ($status: $(head -n 1 shipped.err))" \
    [ "$status" = 2 ]

# An upgrade, on a station whose operator edited the settings: the package installed again.
$sudo sh -c "jq '.station = \"rack-7\"' $settings > $settings.new && cat $settings.new > $settings && rm $settings.new"
as_under_systemd dpkg -i "$deb" > upgrade.log 2>&1 < /dev/null
status=$?
check "the package installs again over itself" [ "$status" = 0 ]
[ "$status" = 0 ] || tail -n 20 upgrade.log
check "the upgrade asks systemd for a reload only, no restart ($(asked | paste -sd ';'))" \
    [ "$(asked)" = "--system daemon-reload" ]
check "the upgrade says how to restart the station" \
    grep -q "systemctl restart quorvane-link-station" upgrade.log
check "the operator's settings survive the upgrade" [ "$(jq -r .station "$settings")" = rack-7 ]

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

# A station's record and the cursor beside it, which a purge must tell apart.
$sudo install -o qvlink -g qvlink -m 644 /dev/null "$state/record.jsonl"
$sudo install -o qvlink -g qvlink -m 644 /dev/null "$state/record.jsonl.sent"
as_under_systemd apt-get remove -y -qq -o DPkg::Path="$work/shim:/usr/sbin:/usr/bin:/sbin:/bin" \
    quorvane-link > remove.log 2>&1
status=$?
check "apt-get remove quorvane-link" [ "$status" = 0 ]
check "the removal stops the station ($(asked | paste -sd ';'))" grep -qx "stop $unit" <(asked)
check "dpkg no longer has quorvane-link installed" not_installed
left=0
while read -r kind path; do
    [ "$kind" = f ] && [ "$path" != "$settings" ] && [ -e "$path" ] &&
        { echo "     left behind: $path"; left=$((left + 1)); }
done < contents
check "no file of the package is left but the settings" [ "$left" = 0 ]
check "the settings stay until a purge" [ -f "$settings" ]
check "/usr/share/doc/quorvane-link is gone" [ ! -e /usr/share/doc/quorvane-link ]
$sudo dpkg --purge quorvane-link > purge.log 2>&1
status=$?
installed=""
check "dpkg --purge quorvane-link" [ "$status" = 0 ]
check "the purge takes the settings and their folder" [ ! -e /etc/quorvane-link ]
check "the purge takes the record's cursor" [ ! -e "$state/record.jsonl.sent" ]
check "the purge keeps the record" [ -f "$state/record.jsonl" ]

report_checks
