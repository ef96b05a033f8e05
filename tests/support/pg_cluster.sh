# A throwaway PostgreSQL 15 server for the tests of the record database: its own folder, its own
# port and socket, gone again afterwards; no system service. As root (CI) the server runs as the
# user postgres, since initdb refuses root. Sourced by the test scripts.
PG_BIN=${PG_BIN:-/usr/lib/postgresql/15/bin}

pg_as() {  # pg_as COMMAND...: as the server's user
    if [ "$(id -u)" = 0 ]; then (cd / && runuser -u postgres -- "$@"); else "$@"; fi
}

# pg_cluster_init DIR: a new cluster in DIR/data. The superuser postgres comes in over the socket
# without a password; everyone over TCP with one.
pg_cluster_init() {
    PG_DIR="$1"
    mkdir -p "$PG_DIR"
    [ "$(id -u)" = 0 ] && chown postgres: "$PG_DIR"
    chmod 755 "$PG_DIR"
    pg_as "$PG_BIN/initdb" -D "$PG_DIR/data" -U postgres --auth-local=trust \
        --auth-host=scram-sha-256 -N > "$PG_DIR/initdb.log" 2>&1 || {
        cat "$PG_DIR/initdb.log"
        return 1
    }
}

# pg_cluster_start [SETTING...]: starts it on a free port (the same port again after a stop);
# extra settings as "-c name=value". Sets PG_PORT and PG_ADMIN (the superuser's conninfo).
pg_cluster_start() {
    local tries=0
    while :; do
        [ -n "${PG_PORT_FIXED:-}" ] || PG_PORT=$((20000 + RANDOM % 20000))
        if pg_as "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w -t 60 \
            -o "-c listen_addresses=127.0.0.1 -c unix_socket_directories=$PG_DIR -c port=$PG_PORT -c fsync=off $*" \
            start > /dev/null; then
            PG_PORT_FIXED=1
            PG_ADMIN="host=$PG_DIR port=$PG_PORT user=postgres dbname=postgres"
            return 0
        fi
        tries=$((tries + 1))
        if [ -n "${PG_PORT_FIXED:-}" ] || [ "$tries" -ge 5 ]; then
            tail -n 20 "$PG_DIR/server.log"
            return 1
        fi
    done
}

# pg_cluster_stop [MODE]: fast unless told (immediate: as if the machine died).
pg_cluster_stop() {
    pg_as "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m "${1:-fast}" -w stop > /dev/null 2>&1
}

# pg_cluster_remove: stops it if it runs and removes its folder.
pg_cluster_remove() {
    [ -n "${PG_DIR:-}" ] || return 0
    [ -f "$PG_DIR/data/postmaster.pid" ] && pg_cluster_stop immediate
    rm -rf "$PG_DIR"
}

# pg_sql SQL...: runs SQL as the superuser in database qvlink (postgres before it exists);
# prints the rows unaligned, without headers.
pg_sql() {
    psql "host=$PG_DIR port=$PG_PORT user=postgres dbname=${PG_DB:-qvlink}" -X -q -A -t \
        -v ON_ERROR_STOP=1 -c "$*"
}

# pg_records_database QVLINK_RECORDS: the database qvlink, with the schema `QVLINK_RECORDS schema`
# prints applied; sets PG_RECORDS, the superuser's connection settings for it.
pg_records_database() {
    PG_RECORDS="host=$PG_DIR port=$PG_PORT user=postgres dbname=qvlink"
    PG_DB=postgres pg_sql "CREATE DATABASE qvlink" > /dev/null &&
        "$1" schema | psql "$PG_RECORDS" -X -q -v ON_ERROR_STOP=1 > /dev/null
}
