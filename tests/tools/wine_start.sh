# The start-up every script that runs the Windows programs under Wine shares (source it): the
# virtual display and its window manager for those that show windows, a Wine prefix of the
# script's own in the Windows build folder, and the end that takes the script's processes and
# Wine's server down with it. A script keeps the processes it starts in `pids`.
pids=()

# on_virtual_display SECONDS SCREEN SCRIPT [ARGS...]: runs SCRIPT (the caller, "$0") again on a
# virtual X display of SCREEN (WIDTHxHEIGHTxDEPTH), ended after SECONDS, and never returns;
# returns at once when the script already runs on one.
on_virtual_display() {
    [ -n "${QVLINK_ON_XVFB:-}" ] && return 0
    local seconds="$1" screen="$2"
    shift 2
    QVLINK_ON_XVFB=1 exec timeout -k 10 "$seconds" \
        xvfb-run -a -s "-screen 0 $screen -nolisten tcp" bash "$@"
}

# What Wine must not set up or touch on the way: the browser engines it offers to install, and
# (NO_MENUS) the entries an installer's shortcuts would make on the Linux desktop.
WINE_NO_BROWSER="mscoree,mshtml="
WINE_NO_MENUS="mscoree,mshtml=;winemenubuilder.exe=d"

# use_wine_prefix NAME [DLL_OVERRIDES]: the script's own prefix, $win/wineprefix-NAME, quiet, with
# DLL_OVERRIDES as Wine's (none unless given).
use_wine_prefix() {
    export WINEPREFIX="$win/wineprefix-$1" WINEDEBUG=-all
    if [ -n "${2:-}" ]; then export WINEDLLOVERRIDES="$2"; fi
}

# set_up_wine_prefix: the first program Wine runs in a new prefix sets it up; run one that does
# nothing else, so that what the script runs first starts on a finished prefix.
set_up_wine_prefix() { wine cmd /c exit > /dev/null 2>&1; }

# start_window_manager LOG: openbox on the display (its output in LOG), waited for until it has
# announced itself (20 s at most), so that a window gets its frame and the keyboard. Needs
# wine_windows.sh (wait_until).
start_window_manager() {
    openbox > "$1" 2>&1 &
    pids+=($!)
    wait_until 20 xprop -root _NET_SUPPORTING_WM_CHECK > /dev/null 2>&1 ||
        echo "     (the window manager did not announce itself)"
}

# stop_wine: ends the script's processes and Wine's server; the start of its cleanup.
stop_wine() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
    wineserver -k > /dev/null 2>&1
}
