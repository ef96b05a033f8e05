#!/usr/bin/env bash
# The Windows dialog qvlink.exe under Wine, driven like an operator on a virtual display with a
# window manager (keys and mouse clicks from xdotool) against qvlink-sim receivers mapped to
# Wine's COM ports (one receiver killed in the middle of its transfer). qvlink-probe.exe reads
# the dialog's controls and boxes; Wine's window trace records every title and text the dialog
# set, so short-lived titles are seen too.
# Every wait is bounded; failures leave a screenshot and the logs in the log folder.
# usage: wine_dialog_test.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_PACK [LOG_DIR]
set -u
. "$(dirname "$(realpath "$0")")/wine_start.sh"
on_virtual_display 900 1024x768x24 "$0" "$@"
. "$(dirname "$(realpath "$0")")/checks.sh"
. "$(dirname "$(realpath "$0")")/wine_ports.sh"
. "$(dirname "$(realpath "$0")")/wine_windows.sh"
win=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3")
logs=$(realpath -m "${4:-$win/wine-dialog-logs}")
exe="$win/src/app/qvlink.exe" probe_exe="$win/tests/qvlink-probe.exe"
rm -rf "$logs" && mkdir -p "$logs"
work=$(mktemp -d)
use_wine_prefix dialog-test "$WINE_NO_BROWSER"
cleanup() {
    stop_wine
    cp "$work"/*.out "$work"/*.log "$logs"/ 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1

failures=0
checks=0
shots=0
shot() {  # shot NAME: the whole screen into the log folder
    shots=$((shots + 1))
    import -window root "$logs/$(printf %02d "$shots")-$1.png" 2>/dev/null
}
check() {  # check NAME CONDITION-COMMAND...
    local name="$1"
    shift
    checks=$((checks + 1))
    if "$@"; then
        echo "ok   $name"
    else
        echo "FAIL $name"
        failures=$((failures + 1))
        shot "$(echo "$name" | tr -c 'A-Za-z0-9\n' - | head -c 60)"
        return 1
    fi
}
finish() {
    echo "$((checks - failures)) passed, $failures failed"
    [ "$failures" = 0 ]
    exit
}
require() {  # require NAME CONDITION-COMMAND...: a check the rest depends on; ends the test
    check "$@" || finish
}

# The dialog's controls, tab-separated: id, class, state, centre, text (see qvlink-probe.exe).
read_dialog() { probe dialog > dialog.txt && [ -s dialog.txt ]; }
title() { awk -F'\t' '$1 == "title" { print $2 }' dialog.txt; }
text_of() { awk -F'\t' -v id="$1" '$1 == id { print $5; exit }' dialog.txt; }
state_of() { awk -F'\t' -v id="$1" '$1 == id { print $3; exit }' dialog.txt; }
has_state() { [[ ",$(state_of "$1")," == *",$2,"* ]]; }
dialog_shows() { read_dialog && [ "$(text_of "$1")" = "$2" ]; }
is_ready() {
    dialog_shows 1087 ready && [ "$(title)" = "Quorvane Link 1.1  2006-FEB-9" ] &&
        [ "$(text_of 1107)" = "Upgrade Software" ] && [ "$(text_of 1057)" = 0 ] &&
        ! has_state 1118 disabled && ! has_state 1110 disabled
}
port_checked() { read_dialog && [ "$(checked_port)" = "$1" ]; }
# select_port ID: clicks port ID until the dialog shows it checked. A click that comes while the
# dialog is still being given back the focus after a box can be lost on a busy machine; clicking
# a port again changes nothing else.
select_port() {
    local attempt
    for attempt in 1 2 3; do
        click "$1"
        wait_until 5 port_checked "$1" && return 0
    done
    return 1
}
checked_port() {  # the id of the one checked port, "none", or "several"
    local ids
    ids=$(awk -F'\t' '$1 ~ /^(1110|111[2-7]|1125)$/ && $3 ~ /checked/ { print $1 }' dialog.txt)
    case $(echo "$ids" | grep -c .) in 0) echo none ;; 1) echo "$ids" ;; *) echo several ;; esac
}
click() {  # click ID: a mouse click in the middle of the dialog's control ID
    read_dialog || return 1
    local at
    at=$(awk -F'\t' -v id="$1" '$1 == id { print $4; exit }' dialog.txt)
    xdotool mousemove --sync "${at%,*}" "${at#*,}" click 1
}
window_shown() { probe window "$1" > box.txt && [ -s box.txt ]; }
shown_windows() { probe windows | grep -c .; }
# box_is CAPTION OWNER ICON(0/1) TEXT: the message box now shown with CAPTION.
box_is() {
    window_shown "$1" || return 1
    [ "$(awk -F'\t' '$1 == "owner" { print $2 }' box.txt)" = "$2" ] || return 1
    grep -qP '^\S+\tStatic\t[^\t]*\t[^\t]*\t\Q'"$4"'\E$' box.txt || return 1
    local icons
    icons=$(awk -F'\t' '$2 == "Static" && $3 ~ /icon/ && $3 !~ /hidden/' box.txt | grep -c .)
    [ "$icons" = "$3" ]
}
trace_lines() { grep -c 'set_window_text' "$trace"; }
# Texts the dialog's process set after line $1 of its trace (titles, statics, buttons).
texts_since() {
    grep 'set_window_text' "$trace" | tail -n +"$(($1 + 1))" | sed -n 's/.*set_window_text L"\(.*\)"$/\1/p'
}
start_dialog() {  # start_dialog DIR: qvlink.exe in DIR, with its window trace in qvlink-DIR.log
    trace="$work/qvlink-$1.log"
    (cd "$1" && WINEDEBUG=-all,trace+win exec timeout 600 wine "$exe") 2> "$trace" &
    dialog_pid=$!
    pids+=("$dialog_pid")
    wait_until 120 read_dialog
}
chooser="open quorvane upgrade file(*.bin)"
choose() {  # choose [FILE]: "Upgrade Software", then FILE (or the name offered) in the chooser
    click 1107
    wait_until 60 window_shown "$chooser" || require "the chooser opens" false
    [ -z "${1:-}" ] || xdotool type --delay 20 "$1"
    press Return "$chooser"
}
process_ended() { ! kill -0 "$1" 2>/dev/null; }
sim_verdict() { sed -n "$((1 + $2))p" "$1.out"; }  # sim_verdict NAME N: receiver N's line

# The template and the imports, read from the exe itself.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr a-z A-Z | sort)
check "qvlink.exe imports only system DLLs: $(echo $imports)" \
    test -z "$(echo "$imports" | grep -vxE 'KERNEL32.DLL|USER32.DLL|GDI32.DLL|COMCTL32.DLL|COMDLG32.DLL|SHELL32.DLL|WINMM.DLL|MSVCRT.DLL|ADVAPI32.DLL|SETUPAPI.DLL')"
download_holds_the_programs() {
    local zip="$win/QuorvaneLink-1.1-win64.zip"
    [ "$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')" = \
        "README.txt libpq-COPYRIGHT.txt openssl-LICENSE.txt qvlink-cli.exe qvlink-pack.exe qvlink-records.exe qvlink-station.exe qvlink.exe " ] &&
        unzip -p "$zip" qvlink.exe | cmp -s - "$exe"
}
check "the Windows download holds README.txt, libpq's and OpenSSL's licences and the five programs, this qvlink.exe among them" \
    download_holds_the_programs
probe template "$(winepath -w "$exe" 2>/dev/null)" > template.txt
cat > template.want <<'EOF'
dialog	0x80CA00C0	0x00000000	0,0,367,193	font 9 宋体	menu ''	class ''
1111	Button	0x50000007	7,7,353,179	
1107	Button	0x50010000	99,163,72,14	Upgrade Software
2	Button	0x50010000	195,163,72,14	Exit
1110	Button	0x50020009	20,27,32,10	COM1
1112	Button	0x50000009	62,27,32,10	COM2
1113	Button	0x50000009	104,27,32,10	COM3
1114	Button	0x50000009	146,27,32,10	COM4
1115	Button	0x50000009	188,27,32,10	COM5
1116	Button	0x50000009	230,27,32,10	COM6
1117	Button	0x50000009	272,27,32,10	COM7
1125	Button	0x50000009	314,27,32,10	COM8
-1	Button	0x50000007	20,56,323,93	
1057	msctls_progress32	0x50810000	33,99,295,12	
1087	Static	0x50020000	36,75,205,17	
1088	Static	0x50020000	242,75,85,17	
1119	Static	0x40020000	171,128,143,8	
1118	Button	0x50010003	35,127,111,10	Continuously Upgrade
EOF
# Class names are compared without case, as Windows compares them.
check "dialog template 140: ids, classes, styles, positions, texts, font" \
    diff <(tr -d '\r' < template.want | awk -F'\t' -v OFS='\t' '{ $2 = tolower($2) } 1') \
    <(awk -F'\t' -v OFS='\t' '{ $2 = tolower($2) } 1' template.txt)

head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw quorvane.bin >/dev/null
{ printf 'quorvane DVB##########'; tail -c +23 quorvane.bin; } > bad.bin
head -c 38 quorvane.bin > short.bin

start_sim() {  # start_sim NAME SIM-OPTIONS...: sets $NAME to the device it serves
    local name="$1"
    shift
    rm -f "$name.out" "$name.err"
    "$sim" --timeout 300 "$@" quorvane.bin > "$name.out" 2> "$name.err" &
    pids+=($!)
    printf -v "${name}_pid" '%s' $!
    await_lines "$name.out" 1 $!
    printf -v "$name" '%s' "$(head -n 1 "$name.out")"
}
start_sim whole --protocol block-crc
start_sim stopped --protocol block-sum --baud 115200
start_sim serial --protocol block-crc,block-sum,bulk,silent --devices 4
start_sim cut --protocol block-crc --baud 115200
ports=("$whole" "$stopped" "$serial" "$cut" /nonexistent/qvlink-no-device)

map_com_ports 60 1="${ports[0]}" 2="${ports[1]}" 3="${ports[2]}" 4="${ports[3]}" \
    5="${ports[4]}" || exit 1
echo "ok   COM1..COM4 point at the test's receivers, COM5 at no device"

start_window_manager openbox.log

# 1. Start: the port stored in QVLink.cfg (02 00 00 00: COM3) is chosen.
mkdir session && printf '\x02\x00\x00\x00' > session/QVLink.cfg
cp quorvane.bin bad.bin short.bin session/
require "the dialog opens" start_dialog session
check "start: title, status 'ready', progress 0, controls enabled" is_ready
check "start: COM3 from QVLink.cfg is checked, alone ($(checked_port))" [ "$(checked_port)" = 1113 ]
check "start: result line hidden" has_state 1119 hidden
# The keyboard: the first button has the focus and Return presses it; Escape in the chooser
# cancels it without a word; Return while a port has the focus is the ignored OK command.
# The first key after the dialog shows can reach X before Wine has taken the focus from the
# window manager on a busy machine, and be lost there: while the dialog is still alone and
# ready, nothing took that Return, and it is pressed once more.
return_opens_chooser() {
    press Return "Quorvane Link 1.1  2006-FEB-9"
    wait_until 20 window_shown "$chooser" && return 0
    is_ready && [ "$(shown_windows)" = 1 ] || return 1
    echo "     (the first Return reached no window; pressed again)"
    press Return "Quorvane Link 1.1  2006-FEB-9"
    wait_until 60 window_shown "$chooser"
}
require "Return on the focused 'Upgrade Software' opens the chooser" return_opens_chooser
press Escape "$chooser"
require "a cancelled chooser leaves the dialog ready, with no box" \
    eval 'wait_until 10 is_ready && [ "$(shown_windows)" = 1 ]'
require "COM3 is chosen" select_port 1113
press Return "Quorvane Link 1.1  2006-FEB-9"
# The dialog takes input in order, and a box would keep the click from it: once the click has
# checked COM1, the Return before it has been handled.
click 1110
check "Return on a port does nothing" \
    eval 'wait_until 10 port_checked 1110 && is_ready && [ "$(shown_windows)" = 1 ]'

# 2. A whole upgrade on COM1.
require "COM1 is chosen" select_port 1110
mark=$(trace_lines)
click 1107
require "the chooser opens, titled 'open quorvane upgrade file(*.bin)'" \
    wait_until 60 window_shown "$chooser"
check "the chooser's name box holds 'quorvane.bin'" \
    grep -qP '^\S+\tEdit\t[^\t]*\t[^\t]*\tquorvane\.bin$' box.txt
press Return "$chooser"
require "the upgrade ends in a box captioned 'qvlink': 'Upgrade Completed', icon, owned by the dialog" \
    wait_until 120 box_is qvlink "Quorvane Link 1.1  2006-FEB-9" 1 "Upgrade Completed"
texts_since "$mark" > whole.texts
check "the run started waiting ('Waiting...' title)" grep -qx 'Waiting\.\.\.' whole.texts
check "the title passed '[step 1/2]  %N' ($(grep -c '^\[step 1/2\]  %' whole.texts) times)" \
    grep -qE '^\[step 1/2\]  %[0-9]+$' whole.texts
check "the title passed '[step 2/2]  %N' ($(grep -c '^\[step 2/2\]  %' whole.texts) times)" \
    grep -qE '^\[step 2/2\]  %[0-9]+$' whole.texts
press Return qvlink
require "after the box the dialog is ready again" wait_until 10 is_ready
wait_until 30 process_ended "$whole_pid"
check "the receiver got exactly the image: $(sim_verdict whole 1)" grep -q '^device 1: OK' whole.out

# 3. Stop in the middle of a block transfer on COM2.
require "COM2 is chosen" select_port 1112
choose
transfer_at() {
    read_dialog && [[ "$(title)" =~ ^\[step\ 1/2\]\ \ %([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge "$1" ]
}
require "the paced transfer is under way (title '[step 1/2]  %N', N >= 3)" wait_until 90 transfer_at 3
import -frame -window "$(xdotool search --onlyvisible --name '^\[step 1/2\]' | tail -n 1)" \
    "$logs/dialog-windows.png" 2>/dev/null
check "the button reads 'Stop' and the port choice is locked" \
    eval '[ "$(text_of 1107)" = Stop ] && has_state 1110 disabled && has_state 1118 disabled'
click 1107
require "after Stop the dialog is ready" wait_until 20 is_ready
check "no box after Stop" [ "$(shown_windows)" = 1 ]
wait_until 30 process_ended "$stopped_pid"
check "the receiver saw CAN CAN: $(sim_verdict stopped 1)" grep -q 'cancelled (CAN CAN)' stopped.out

# 4. The receiver on COM4 is killed in the middle of a block transfer, as when its cable is
# pulled: the run ends at once in the "Port Lost" box and the dialog is ready again.
require "COM4 is chosen" select_port 1114
choose
require "the paced transfer on COM4 is under way (title '[step 1/2]  %N', N >= 3)" \
    wait_until 90 transfer_at 3
kill "$cut_pid"
check "the cut line ends in a box captioned 'qvlink': 'Port Lost', icon, owned by the dialog" \
    wait_until 15 box_is qvlink "Quorvane Link 1.1  2006-FEB-9" 1 "Port Lost"
press Return qvlink
require "after the box the dialog is ready again" wait_until 10 is_ready

# 5. Continuous mode on COM3 over three receivers of different protocols.
require "COM3 is chosen" select_port 1113
click 1118
check "ticking 'Continuously Upgrade' shows an empty result line" \
    eval 'read_dialog && has_state 1118 checked && ! has_state 1119 hidden && [ -z "$(text_of 1119)" ]'
mark=$(trace_lines)
choose
three_done() { [ "$(texts_since "$mark" | grep -cx 'Upgrade Completed')" -ge 3 ]; }
require "three upgrades completed one after another" wait_until 180 three_done
check "then it waits for the next receiver: 'Waiting...', 'Upgrade Completed' in the result line, 'Stop'" \
    wait_until 10 eval '[ "$(read_dialog && title)" = Waiting... ] && [ "$(text_of 1119)" = "Upgrade Completed" ] && [ "$(text_of 1107)" = Stop ]'
check "no box during continuous mode" [ "$(shown_windows)" = 1 ]
for n in 1 2 3; do
    check "continuous receiver $n: $(sim_verdict serial $n)" grep -q "^device $n: OK" serial.out
done
click 1107
require "Stop ends continuous mode: ready, no box" \
    eval 'wait_until 20 is_ready && [ "$(shown_windows)" = 1 ]'
click 1118

# 6. Refused files, each in its box, and a port that cannot be opened.
refuse() {  # refuse FILE CAPTION ICON TEXT
    choose "$1"
    check "$1: '$4' in a box captioned '$2' ($([ "$3" = 1 ] && echo with || echo without) icon)" \
        wait_until 20 box_is "$2" "Quorvane Link 1.1  2006-FEB-9" "$3" "$4"
    press Return "$2"
    check "$1: the dialog stays ready" wait_until 10 is_ready
}
refuse bad.bin qvlink 1 "File Data Error [1]"
refuse short.bin "Quorvane Link 1.1" 0 "file size error [1]"
require "COM5 is chosen" select_port 1115
choose
check "COM5 cannot be opened: 'open port5 error!' in the dialog's box" \
    wait_until 20 box_is "Quorvane Link 1.1" "Quorvane Link 1.1  2006-FEB-9" 0 "open port5 error!"
press Return "Quorvane Link 1.1"
require "after the port error the dialog is ready" wait_until 10 is_ready

# 7. Exit keeps the chosen port (COM5, index 4) in exactly 4 bytes.
press Escape "Quorvane Link 1.1  2006-FEB-9"
require "Escape closes the dialog and ends the program" wait_until 30 process_ended "$dialog_pid"
cfg_bytes() { od -An -tx1 "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }
check "QVLink.cfg holds exactly 04 00 00 00 ($(cfg_bytes session/QVLink.cfg))" \
    [ "$(cfg_bytes session/QVLink.cfg)" = "04 00 00 00" ]

# A settings file that cannot be written: a box without owner, with the full-width "！".
mkdir -p locked/QVLink.cfg
start_dialog locked
check "with no readable settings COM1 is checked" eval '[ "$(checked_port)" = 1110 ]'
press alt+F4 "Quorvane Link 1.1  2006-FEB-9"  # the window manager's close
check "an unwritable QVLink.cfg: 'save config info error！' in a box without owner" \
    wait_until 30 box_is "Quorvane Link 1.1" - 0 "save config info error！"
press Return "Quorvane Link 1.1"
check "the close box ended the dialog; the program ends once that box is dismissed" wait_until 30 process_ended "$dialog_pid"

finish
