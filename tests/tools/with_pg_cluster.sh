#!/usr/bin/env bash
# Runs a test program against a throwaway PostgreSQL server made for it: database qvlink with the
# schema that `qvlink-records schema` prints. The program finds the superuser's setting in
# QVLINK_TEST_DATABASE and a command for the server in QVLINK_TEST_PG_SERVER ("stop" as if the
# machine died, "start", "pause": it takes connections and never answers, "resume"). The server
# and its folder are removed afterwards, whatever the program's outcome.
# usage: with_pg_cluster.sh QVLINK_RECORDS PROGRAM [ARGUMENTS...]
#        with_pg_cluster.sh --server stop|start|pause|resume  (for the program, from its variables)
set -u
. "$(dirname "$(realpath "$0")")/../support/pg_cluster.sh"

if [ "${1:-}" = --server ]; then
    # shellcheck disable=SC2034  # read by pg_cluster_start: the same port again
    PG_DIR="$QVLINK_TEST_PG_DIR" PG_PORT="$QVLINK_TEST_PG_PORT" PG_PORT_FIXED=1
    case "${2:-}" in
        stop) pg_cluster_stop immediate ;;
        start) pg_cluster_start ;;
        pause) kill -STOP "$(head -n 1 "$PG_DIR/data/postmaster.pid")" ;;
        resume) kill -CONT "$(head -n 1 "$PG_DIR/data/postmaster.pid")" ;;
        *) echo "with_pg_cluster.sh --server: stop, start, pause or resume" >&2; exit 2 ;;
    esac
    exit
fi

records=$(realpath "$1")
shift
work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
    # A server left paused would not hear its stop.
    [ -f "$work/pg/data/postmaster.pid" ] && kill -CONT "$(head -n 1 "$work/pg/data/postmaster.pid")" 2>/dev/null
    pg_cluster_remove
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
pg_cluster_init "$work/pg" || exit 1
pg_cluster_start || exit 1
pg_records_database "$records" || exit 1

export QVLINK_TEST_DATABASE="$PG_RECORDS"
export QVLINK_TEST_PG_DIR="$PG_DIR" QVLINK_TEST_PG_PORT="$PG_PORT"
QVLINK_TEST_PG_SERVER="$(realpath "$0") --server"
export QVLINK_TEST_PG_SERVER
# In the background, so that a stop (ctest's time limit) ends it and removes the server at once.
"$@" &
program=$!
trap 'kill -TERM "$program" 2>/dev/null; exit 1' INT TERM
wait "$program"
