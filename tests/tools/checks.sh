# The tally every command-line test script keeps. `check NAME COMMAND...` passes when the
# command succeeds; `fail TEXT` counts a failure; `report_checks`, the script's last command,
# prints the tally and fails when anything did.
failures=0
checks=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }
check() {  # check NAME CONDITION-COMMAND...
    local name="$1"
    shift
    checks=$((checks + 1))
    if "$@"; then echo "ok   $name"; else fail "$name"; fi
}
report_checks() {
    echo "$((checks - failures)) passed, $failures failed"
    [ "$failures" = 0 ]
}
# finish: the tally, and the script ends with it. `require NAME COMMAND...` is a check the rest
# depends on: when it fails, the script ends there.
finish() { report_checks; exit; }
require() {
    local before=$failures
    check "$@"
    [ "$failures" = "$before" ] || finish
}

# Waiting for what a background process writes. A file is read only up to its last newline, so
# a line still being written is never taken for a whole one; the caller starts each process on
# a file of its own that did not exist before (remove it first), so that nothing of an earlier
# run is read. A wait ends as soon as the process has exited, and says so.

# whole_lines FILE: the lines of FILE that are complete, nothing when it does not exist yet.
whole_lines() {
    [ -f "$1" ] || return 0
    head -n "$(wc -l < "$1")" "$1"
}

# await PID SECONDS WHAT COMMAND...: true once COMMAND is; false, with the reason, when process
# PID ended first (COMMAND is tried once more after that) or after SECONDS.
await() {
    local pid="$1" seconds="$2" what="$3"
    shift 3
    local deadline=$((SECONDS + seconds))
    while :; do
        "$@" && return 0
        if ! kill -0 "$pid" 2>/dev/null; then
            "$@" && return 0
            echo "     (process $pid ended before $what)"
            return 1
        fi
        if [ "$SECONDS" -ge "$deadline" ]; then
            echo "     (no $what after $seconds s)"
            return 1
        fi
        sleep 0.05
    done
}

has_lines() { [ -f "$1" ] && [ "$(wc -l < "$1")" -ge "$2" ]; }    # has_lines FILE N
has_match() { whole_lines "$1" | grep -qE -- "$2"; }                # has_match FILE ERE
count_matches() { whole_lines "$1" | grep -cE -- "$2"; }            # count_matches FILE ERE

# await_lines FILE N PID [SECONDS]: FILE holds N whole lines (60 s unless told).
await_lines() { await "$3" "${4:-60}" "$2 lines in $1" has_lines "$1" "$2"; }
# await_match FILE ERE PID [SECONDS]: a whole line of FILE matches ERE.
await_match() { await "$3" "${4:-60}" "a line '$2' in $1" has_match "$1" "$2"; }
# interrupt_under_timeout PID: the operator's Ctrl-C to the program that `timeout` (process PID,
# a child of this shell) runs, sent to the program itself. timeout would pass a signal on twice
# (to its child and to its group), each time followed by a SIGCONT; a second SIGINT cuts an end
# short, and a SIGCONT that comes while LeakSanitizer's check at exit holds the program stopped
# undoes that stop, and the check then waits for ever.
interrupt_under_timeout() { kill -INT "$(pgrep -P "$1" -x qvlink-cli)"; }
# await_exit PID SECONDS: true once process PID (a child of this shell) has ended.
await_exit() {
    local deadline=$((SECONDS + $2))
    while kill -0 "$1" 2>/dev/null; do
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.05
    done
}

# start_sim NAME PORTS SIM-OPTIONS...: qvlink-sim ($sim) serving PORTS pseudo-terminals with
# the firmware fw.bin, in the background (its pid in $NAME_pid and in the array sim_pids, for the
# caller's clean-up); its output in NAME.out, the ports' paths in NAME.paths once it has them.
start_sim() {
    local name="$1" ports="$2"
    shift 2
    rm -f "$name.out" "$name.paths"
    "$sim" --ports "$ports" "$@" fw.bin > "$name.out" 2>&1 &
    sim_pids+=($!)
    printf -v "${name}_pid" '%s' $!
    await_lines "$name.out" "$ports" $!
    head -n "$ports" "$name.out" > "$name.paths"
}
