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
