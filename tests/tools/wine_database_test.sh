#!/usr/bin/env bash
# The Windows programs and the record database, under Wine, against a throwaway PostgreSQL server
# on 127.0.0.1 (passwords from a PGPASSFILE, as a station keeps them) and qvlink-sim receivers on
# Wine's COM ports. qvlink-cli.exe on four ports puts every record line into the database once,
# while the server is killed and started again in the middle of the run; qvlink-records.exe
# reports from the database what the Linux qvlink-records reports from the file; a setting that
# holds a password is refused in words. The server speaks TLS with a certificate of a CA made here:
# qvlink-records.exe push with sslmode verify-full and that CA sends a line (over TLS only, as the
# server allows that role), with another CA it is refused in words, and sslmode require passes.
# qvlink-station.exe shows the database in its header: all sent, then the unsent lines while the
# server is away, then all sent again.
# usage: wine_database_test.sh WINDOWS_BUILD_DIR QVLINK_SIM QVLINK_PACK QVLINK_RECORDS [LOG_DIR]
set -u
here=$(dirname "$(realpath "$0")")
. "$here/wine_start.sh"
on_virtual_display 900 1366x768x24 "$0" "$@"
. "$here/checks.sh"
. "$here/wine_ports.sh"
. "$here/wine_windows.sh"
. "$here/../support/pg_cluster.sh"
export LC_ALL=C
win=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3") records=$(realpath "$4")
logs=$(realpath -m "${5:-$win/wine-database-logs}")
cli_exe="$win/tools/qvlink-cli.exe" records_exe="$win/tools/qvlink-records.exe"
station_exe="$win/src/app/qvlink-station.exe" probe_exe="$win/tests/qvlink-probe.exe"
title="Quorvane Link Station"
rm -rf "$logs" && mkdir -p "$logs"
work=$(mktemp -d)
PG_DIR=$(mktemp -d /tmp/qvlink-pg.XXXXXX)
use_wine_prefix database-test "$WINE_NO_MENUS"
cleanup() {
    stop_wine
    cp "$work"/*.out "$work"/*.err "$work"/*.txt "$work"/*.jsonl "$PG_DIR/server.log" "$logs"/ 2>/dev/null
    pg_cluster_remove
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1

head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin > /dev/null

# Two CAs: the line's, which signs the server's certificate (for 127.0.0.1 and localhost), and
# another.
certificate() {  # certificate NAME OPENSSL-REQ-ARGS...: NAME.key and NAME.pem (or a request)
    local name="$1"
    shift
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
        -keyout "$name.key" -out "$name.pem" "$@" 2> "$name.log"
}
certificate ca -x509 -subj "/CN=Line CA"
certificate other-ca -x509 -subj "/CN=Another CA"
certificate server -subj "/CN=localhost" -addext "subjectAltName=IP:127.0.0.1,DNS:localhost"
openssl x509 -req -in server.pem -CA ca.pem -CAkey ca.key -days 2 -out server.crt \
    -copy_extensions copy 2>> server.log

# The server, with TLS: the stations' role may only add rows, the report's only read them; both
# come in over TCP with a password from the password file; the role tlsline only over TLS.
pg_tls() {
    install -m 600 server.crt "$PG_DIR/data/server.crt" &&
        install -m 600 server.key "$PG_DIR/data/server.key" &&
        if [ "$(id -u)" = 0 ]; then chown postgres: "$PG_DIR"/data/server.*; fi &&
        echo "ssl = on" >> "$PG_DIR/data/postgresql.conf" &&
        sed -i '1i hostnossl all tlsline all reject' "$PG_DIR/data/pg_hba.conf"
}
require "a throwaway PostgreSQL server with TLS runs" \
    eval 'pg_cluster_init "$PG_DIR" && pg_tls && pg_cluster_start'
pg_records_database "$records"
pg_sql "CREATE ROLE station LOGIN PASSWORD 'line-secret' IN ROLE qvlink_insert;
    CREATE ROLE tlsline LOGIN PASSWORD 'tls-secret' IN ROLE qvlink_insert;
    CREATE ROLE reader LOGIN PASSWORD 'read-secret' IN ROLE qvlink_read" > /dev/null
for role in station:line-secret tlsline:tls-secret reader:read-secret; do
    echo "127.0.0.1:$PG_PORT:qvlink:$role"
done > pgpass
chmod 600 pgpass
set_up_wine_prefix
PGPASSFILE=$(winepath -w "$work/pgpass" 2>/dev/null)
export PGPASSFILE
db="host=127.0.0.1 port=$PG_PORT dbname=qvlink"
rows() { pg_sql "SELECT count(*) || '/' || count(DISTINCT record_id) FROM records WHERE station = '$1'"; }
ids_in_db() { pg_sql "SELECT record_id FROM records WHERE station = '$1' ORDER BY 1"; }

# A setting the programs cannot use is refused before anything is sent, in words.
timeout 120 wine "$cli_exe" --port COM1 --record refused.jsonl \
    --database "$db user=station password=x" fw.bin \
    > password.out 2> password.err
status=$?
check "a password in the setting is refused, naming pgpass.conf" \
    eval '[ $status = 2 ] && grep -qF "%APPDATA%\\postgresql\\pgpass.conf" password.err'

start_sims() {  # start_sims NAME COUNT SIM-OPTIONS...: sets NAME_pid and NAME_ports
    local name="$1" count="$2"
    shift 2
    rm -f "$name.out" "$name.err"
    "$sim" --ports "$count" "$@" fw.bin > "$name.out" 2> "$name.err" &
    pids+=($!)
    printf -v "${name}_pid" '%s' $!
    await_lines "$name.out" "$count" $! 30 || require "the $name receivers start" false
    mapfile -t "${name}_ports" < <(head -n "$count" "$name.out")
}
start_sims line 4 --devices 6 --protocol block-crc,bulk --timeout 120
start_sims window 2 --devices 0 --timeout 300
map_com_ports 60 1="${line_ports[0]}" 2="${line_ports[1]}" 3="${line_ports[2]}" \
    4="${line_ports[3]}" 5="${window_ports[0]}" 6="${window_ports[1]}" || exit 1
echo "ok   COM1..COM4 point at six receivers each, COM5 and COM6 at endless ones"

# 1. qvlink-cli.exe: 24 receivers on four ports; the server is killed after the eighth line and
# started again after the sixteenth.
rm -f cli.jsonl
timeout 400 wine "$cli_exe" --port COM1-COM4 --continuous --count 6 --record cli.jsonl \
    --station win-line --database "$db user=station" --database-wait 60 fw.bin \
    > cli.out 2> cli.err &
cli_pid=$!
pids+=("$cli_pid")
await_lines cli.jsonl 8 "$cli_pid" 120 && pg_cluster_stop immediate
check "the server was killed after 8 lines" eval '! pg_as "$PG_BIN/pg_ctl" -D "$PG_DIR/data" status > /dev/null'
await_lines cli.jsonl 16 "$cli_pid" 120
require "the server starts again after 16 lines" pg_cluster_start
await_exit "$cli_pid" 300
wait "$cli_pid"
status=$?
lines=$(grep -c . cli.jsonl)
check "qvlink-cli.exe ends with 0 after 24 receivers ($lines lines)" eval '[ $status = 0 ] && [ $lines = 24 ]'
check "its summary says all sent" grep -qE '^database: all sent \(' <(tr -d '\r' < cli.out)
check "the database holds each of the 24 lines once" [ "$(rows win-line)" = "24/24" ]
jq -r .record_id cli.jsonl | sort > ids-file.txt
ids_in_db win-line > ids-db.txt
check "the database holds exactly the file's record ids" cmp -s ids-file.txt ids-db.txt

# 2. qvlink-records.exe reports from the database what qvlink-records on Linux reports from the
# file, and the report's role can read it.
"$records" report cli.jsonl > report-file.txt
timeout 120 wine "$records_exe" report --database "$db user=reader" --station win-line 2> report.err |
    tr -d '\r' > report-db.txt
check "qvlink-records.exe report --database equals the Linux report of the file" \
    eval 'grep -q "^win-line " report-db.txt && cmp -s report-file.txt report-db.txt'

# 3. TLS (tlsline comes in over TLS only): sslmode verify-full with the line's CA sends a line;
# with another CA it is refused in the operator's words, and nothing is sent; sslmode require
# (TLS without checking the server) is accepted.
head -n 1 cli.jsonl | jq -c --arg id "$(cat /proc/sys/kernel/random/uuid)" \
    '.station = "win-tls" | .record_id = $id' > tls.jsonl
tls_cases=(  # TLS settings, exit status, words on stderr, rows of station win-tls afterwards
    "sslmode=verify-full sslrootcert=other-ca.pem|2|certificate verify failed (the server's certificate is not signed by the CA in sslrootcert|0"
    "sslmode=verify-full sslrootcert=ca.pem|0||1"
    "sslmode=require|0||1"
)
for i in "${!tls_cases[@]}"; do
    IFS='|' read -r tls want words want_rows <<< "${tls_cases[$i]}"
    timeout 120 wine "$records_exe" push --database "$db user=tlsline $tls" tls.jsonl \
        > "tls-$i.out" 2> "tls-$i.err"
    status=$?
    tr -d '\r' < "tls-$i.err" | sed 's/^/     /'
    check "push with $tls ends with $want${words:+, saying $words}" \
        eval '[ $status = $want ] && { [ -z "$words" ] || grep -qF "$words" "tls-$i.err"; } &&
            [ "$(rows win-tls | cut -d/ -f1)" = "$want_rows" ]'
done

# 4. The station window's header: all sent; the unsent lines while the server is away; all sent
# once it is back.
start_window_manager openbox.log
read_window() { probe window "$title" > window.txt && [ -s window.txt ]; }
field_of() { awk -F'\t' -v id="$1" -v f="$2" '$1 == id { print $f; exit }' window.txt; }
database_shows() { read_window && [[ "$(field_of 3015 5)" =~ $1 ]]; }
mkdir run && cp fw.bin run/
(cd run && exec timeout 600 wine "$station_exe" --port COM5-COM6 --record st.jsonl \
    --station win-window --database "$db user=station" --start fw.bin) > station.out 2> station.err &
station_pid=$!
pids+=("$station_pid")
require "the station window opens" wait_until 120 read_window
require "the station records two receivers" await_lines run/st.jsonl 2 "$station_pid" 90
check "its header shows the database: all sent" wait_until 30 database_shows '^all sent$'
check "the database line and its name are shown" \
    eval '[ "$(field_of 3014 3)" = "-" ] && [ "$(field_of 3015 3)" = "-" ]'
cp window.txt window-sent.txt
pg_cluster_stop immediate
at_stop=$(grep -c . run/st.jsonl)
await_lines run/st.jsonl $((at_stop + 2)) "$station_pid" 90
check "with the server away it shows the unsent lines and why" \
    wait_until 30 database_shows '^unsent [0-9]+ lines? \(oldest from [0-9]{2}:[0-9]{2}\): .*127\.0\.0\.1'
cp window.txt window-unsent.txt
import -window root "$logs/station-unsent.png" 2>/dev/null
echo "     header: $(field_of 3015 5)"
require "the server starts again" pg_cluster_start
check "once it is back the header says all sent again" wait_until 60 database_shows '^all sent$'
closes() {
    local attempt
    for attempt in 1 2 3; do
        press alt+F4
        await_exit "$station_pid" 20 && return 0
    done
    return 1
}
check "Alt+F4 ends the station" closes
check "no line of the station is in the database twice" \
    eval '[ "$(rows win-window | cut -d/ -f1)" = "$(rows win-window | cut -d/ -f2)" ] &&
        [ "$(rows win-window | cut -d/ -f1)" -ge $((at_stop + 2)) ]'

finish
