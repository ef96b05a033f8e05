# What the scripts that drive a Windows program's windows under Wine share (source it): bounded
# waits, qvlink-probe.exe reading windows from outside ($probe_exe), and keys sent once Wine has
# given a window the keyboard. A window that counts in its title ("Quorvane Link Station -
# 8 completed, 0 failed") is found by the title before the count.

wait_until() {  # wait_until SECONDS COMMAND...: true once COMMAND is, false after SECONDS
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -ge "$end" ] && return 1
        sleep 0.2
    done
}

probe() { timeout 20 wine "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }

# has_keyboard TITLE: Wine's foreground window is titled TITLE (or TITLE and a count).
has_keyboard() {
    local shown
    shown=$(probe foreground)
    [[ "$shown" == "$1" || "$shown" == "$1 - "* ]]
}

# press KEY [TITLE]: KEY in the shown window titled TITLE ($title unless told), once Wine itself
# has made that window the one that takes the keyboard. A key sent while a new window is still
# being given the focus on a busy machine goes elsewhere or nowhere; it is never sent twice.
press() {
    local to="${2:-${title:-}}" pattern window attempt
    pattern="^$(printf '%s' "$to" | sed 's/[][\.*^$()+?{}|]/\\&/g')( - .*)?\$"
    for attempt in 1 2 3; do
        window=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | tail -n 1)
        [ -n "$window" ] && timeout 10 xdotool windowactivate --sync "$window" >/dev/null 2>&1
        wait_until 10 has_keyboard "$to" && { xdotool key "$1"; return; }
    done
    echo "     ('$to' did not take the keyboard; '$1' sent anyway)"
    xdotool key "$1"
}
