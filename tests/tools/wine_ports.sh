# Points Wine's COM ports at devices of the test's (qvlink-sim pseudo-terminals) in $WINEPREFIX.
# Wine links its COM ports from the registry when its server starts, so the server is started
# anew once the registry holds them, and left running so that its services do not hold the
# test's output open.
# map_com_ports SERVER_SECONDS N=DEVICE...: false, with the reason printed, when a link is wrong.
map_com_ports() {
    local linger="$1" mapping attempt
    shift
    # A new prefix is set up by the first program Wine runs, and that sets its own COM links:
    # let it finish before the test's links are made.
    wine cmd /c exit >/dev/null 2>&1
    for attempt in 1 2 3; do
        wineserver -k >/dev/null 2>&1
        for mapping in "$@"; do
            wine reg add 'HKLM\Software\Wine\Ports' /v "COM${mapping%%=*}" /t REG_SZ \
                /d "${mapping#*=}" /f >/dev/null 2>&1
        done
        wineserver -k >/dev/null 2>&1
        wineserver -p "$linger" >/dev/null 2>&1
        wine cmd /c exit >/dev/null 2>&1
        com_ports_mapped "$@" && return 0
        echo "     (COM links not yet as asked, attempt $attempt)"
    done
    com_ports_mapped "$@" say
}

# com_ports_mapped N=DEVICE... [say]: whether every COM link points where asked.
com_ports_mapped() {
    local say="" mapping
    [ "${*: -1}" = say ] && say=1 && set -- "${@:1:$#-1}"
    for mapping in "$@"; do
        local got
        got=$(readlink "$WINEPREFIX/dosdevices/com${mapping%%=*}")
        if [ "$got" != "${mapping#*=}" ]; then
            [ -n "$say" ] && echo "FAIL COM${mapping%%=*} points at '$got', not at '${mapping#*=}'; nothing is run"
            return 1
        fi
    done
}
