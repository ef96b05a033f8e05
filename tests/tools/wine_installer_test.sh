#!/usr/bin/env bash
# The Windows installer under Wine, in a prefix of its own: "setup.exe /S" installs the programs
# into Program Files, the Start-menu entries and the uninstall key; the installed qvlink-cli.exe
# runs; "uninstall.exe /S" removes every installed file, entry and the key, and leaves a settings
# file an operator left in the entries' starting folder. Without "/SERVICE" no service is
# registered; "setup.exe /S /SERVICE" registers the station's service (its image path, demand
# start, LocalSystem, its description and pre-shutdown time; not running) and makes its settings
# folder with a sample station.json, which a second install leaves as the operator made it; the
# uninstaller removes the service and leaves that folder. The service's recovery (restart after
# a crash) is set by the same program, but Wine's service manager does not keep recovery
# settings, so it cannot be read back here.
# usage: wine_installer_test.sh WINDOWS_BUILD_DIR
set -u
. "$(dirname "$(realpath "$0")")/checks.sh"
. "$(dirname "$(realpath "$0")")/wine_start.sh"
win=$(realpath "$1")
version=$(sed -n 's/^project(QuorvaneLink VERSION \([0-9.]*\).*/\1/p' \
    "$(dirname "$(realpath "$0")")/../../CMakeLists.txt")
setup="$win/QuorvaneLink-$version-setup.exe"
# No menu entries on the Linux desktop, no browser engine to install.
use_wine_prefix installer-test "$WINE_NO_MENUS"
work=$(mktemp -d)
trap 'stop_wine; rm -rf "$work"' EXIT
cd "$work" || exit 1
rm -rf "$WINEPREFIX"
set_up_wine_prefix
drive="$WINEPREFIX/drive_c"
folder="$drive/Program Files/Quorvane Link"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvane Link"
starts_in="$drive/users/Public/Documents/Quorvane Link"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvaneLink'
service_key='HKLM\System\CurrentControlSet\Services\QVLinkStation'
service_folder="$drive/ProgramData/Quorvane Link"
registered() { wine reg query "$service_key" > /dev/null 2>&1; }
installed=(qvlink.exe qvlink-station.exe qvlink-cli.exe qvlink-pack.exe qvlink-records.exe
    README.txt libpq-COPYRIGHT.txt uninstall.exe)
# ends: every Windows process of the prefix has ended (an uninstaller goes on in a copy of
# itself after the one started has returned).
ends() { timeout 300 wineserver -w; }

timeout 300 wine "$setup" /S
status=$?
ends
check "setup.exe /S ends with 0" [ "$status" = 0 ]
missing=()
for file in "${installed[@]}"; do [ -f "$folder/$file" ] || missing+=("$file"); done
check "every file is installed in Program Files (missing: ${missing[*]:-none})" [ "${#missing[@]}" = 0 ]
check "the Start menu has the dialog, the station window and the uninstaller" \
    eval '[ -f "$menu/Quorvane Link.lnk" ] && [ -f "$menu/Quorvane Link Station.lnk" ] &&
        [ -f "$menu/Uninstall Quorvane Link.lnk" ]'
check "the station's entry starts in the public Documents' folder, which exists" \
    eval '[ -d "$starts_in" ] && strings -e l "$menu/Quorvane Link Station.lnk" |
        grep -qF "C:\users\Public\Documents\Quorvane Link"'
wine reg query "$key" > key.txt 2>&1
check "the uninstall key names the uninstaller, its silent form and the version" \
    eval 'tr -d "\r" < key.txt | grep -qE "UninstallString +REG_SZ +\"C:\\\\Program Files\\\\Quorvane Link\\\\uninstall.exe\"$" &&
        tr -d "\r" < key.txt | grep -qE "QuietUninstallString +REG_SZ +.*uninstall.exe\" /S$" &&
        tr -d "\r" < key.txt | grep -qE "DisplayVersion +REG_SZ +${version//./\\.}$"'
line=$(timeout 120 wine 'C:\Program Files\Quorvane Link\qvlink-cli.exe' --version | tr -d '\r')
check "the installed qvlink-cli.exe runs: '$line'" \
    grep -qxE "qvlink-cli \(Quorvane Link\) ${version//./\\.}( \(commit [0-9a-f]+\))?" <<< "$line"
check "without /SERVICE no service is registered" eval '! registered'

# An operator's settings in the folder the entries start in are the operator's.
echo '{"ports":["COM1"]}' > "$starts_in/QVLinkStation.json"
timeout 300 wine 'C:\Program Files\Quorvane Link\uninstall.exe' /S
status=$?
ends
check "uninstall.exe /S ends with 0" [ "$status" = 0 ]
check "no installed file is left: the folder is gone" [ ! -e "$folder" ]
check "the Start-menu folder is gone" [ ! -e "$menu" ]
check "the uninstall key is gone" eval '! wine reg query "$key" > /dev/null 2>&1'
check "the operator's settings are left" [ -f "$starts_in/QVLinkStation.json" ]

# --- The service as a component.
timeout 300 wine "$setup" /S /SERVICE
status=$?
ends
check "setup.exe /S /SERVICE ends with 0" [ "$status" = 0 ]
wine reg query "$service_key" 2>&1 | tr -d '\r' > service.txt
check "the service runs the installed program with --service, on demand, as LocalSystem" \
    eval 'grep -qE "ImagePath +REG_SZ +\"C:\\\\Program Files\\\\Quorvane Link\\\\qvlink-station.exe\" --service$" service.txt &&
        grep -qE "Start +REG_DWORD +0x3$" service.txt && grep -qE "Type +REG_DWORD +0x10$" service.txt &&
        grep -qE "ObjectName +REG_SZ +LocalSystem$" service.txt'
check "the service has its description and a minute at a shutdown" \
    eval 'grep -qE "Description +REG_SZ +Firmware upgrades" service.txt &&
        grep -qE "PreshutdownTimeout +REG_DWORD +0xea60$" service.txt'
timeout 60 wine sc query QVLinkStation 2>&1 | tr -d '\r' > query.txt
check "the service is not running" grep -qE "STATE +: 1 +STOPPED" query.txt
check "its folder has a sample station.json" \
    eval 'jq -e ".ports == [] and (.record | endswith(\"Quorvane Link\\\\record.jsonl\"))" "$service_folder/station.json" > /dev/null'
echo '{"ports":["COM3"],"firmware":"C:\\fw.bin"}' > "$service_folder/station.json"
echo '{"port":"COM3"}' > "$service_folder/record.jsonl"
timeout 300 wine "$setup" /S /SERVICE
status=$?
ends
check "installed again: 0, the operator's station.json kept" \
    eval '[ "$status" = 0 ] && jq -e ".ports == [\"COM3\"]" "$service_folder/station.json" > /dev/null && registered'
timeout 300 wine 'C:\Program Files\Quorvane Link\uninstall.exe' /S
status=$?
ends
check "uninstall.exe /S ends with 0 and removes the service" eval '[ "$status" = 0 ] && ! registered'
check "the service's settings and record are left" \
    eval 'jq -e ".ports == [\"COM3\"]" "$service_folder/station.json" > /dev/null && [ -f "$service_folder/record.jsonl" ]'
report_checks
