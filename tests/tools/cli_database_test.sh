#!/usr/bin/env bash
# qvlink-cli --database against a throwaway PostgreSQL server, with qvlink-sim receivers: every
# record line one row with the same fields, the report from the database equal to the one from the
# file, and the station's ports as they ended in its live state; a server away at the start (the summary says what stays, nothing doubled later); a server
# killed and started again several times while 8 ports serve (rows = lines at the end).
# usage: cli_database_test.sh QVLINK_CLI QVLINK_SIM QVLINK_PACK QVLINK_RECORDS
set -u
here=$(dirname "$(realpath "$0")")
. "$here/checks.sh"
. "$here/../support/pg_cluster.sh"
export LC_ALL=C
cli=$(realpath "$1") sim=$(realpath "$2") pack=$(realpath "$3") records=$(realpath "$4")
work=$(mktemp -d)
PG_DIR=$(mktemp -d /tmp/qvlink-pg.XXXXXX)
sim_pids=()
trap 'for p in "${sim_pids[@]}"; do kill "$p" 2>/dev/null; done; pg_cluster_remove; rm -rf "$work"' EXIT
cd "$work"
head -c 1048576 /dev/urandom > image.raw
"$pack" pack image.raw fw.bin > /dev/null

pg_cluster_init "$PG_DIR" && pg_cluster_start || exit 1
pg_records_database "$records" || exit 1
db=$PG_RECORDS

ports_of() { paste -sd, "$1.paths"; }
rows() { pg_sql "SELECT count(*) FROM records WHERE station = '$1'"; }
distinct_ids() { pg_sql "SELECT count(DISTINCT record_id) FROM records WHERE station = '$1'"; }
# Every row of a station rebuilt as its record line, keys sorted, one per line, sorted.
rows_as_lines() {
    pg_sql "SELECT json_build_object('schema', schema, 'record_id', record_id, 'station', station,
        'start', to_char(start_time AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'),
        'end', to_char(end_time AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'),
        'port', port, 'device', device, 'protocol', protocol, 'result', result,
        'result_text', result_text, 'transfer_seconds', transfer_seconds,
        'burn_seconds', burn_seconds, 'resent', resent, 'firmware', firmware,
        'firmware_size', firmware_size, 'firmware_crc32', firmware_crc32,
        'firmware_sha256', firmware_sha256, 'receiver', receiver, 'phase', phase, 'host', host,
        'program', program, 'version', version) FROM records WHERE station = '$1'" |
        jq -S -c . | sort
}

# 1. Four ports, three receivers each (one cancels, one completes, one is refused), the server
# up: every line is one row, field for field.
start_sim four 4 --devices 3 --protocol cancel,block-crc,bulk --verdict 3
timeout -k 10 120 "$cli" --port "$(ports_of four)" --continuous --count 2 --record one.jsonl \
    --station line-1 --database "$db" fw.bin > one.out 2> one.err
check "server up: the run ends as without a database (a receiver failed)" [ $? = 1 ]
lines=$(wc -l < one.jsonl)
check "server up: the summary says all sent" grep -qx "database: all sent ($lines sent in this run)" one.out
check "server up: rows = lines ($lines)" [ "$(rows line-1)" = "$lines" ]
jq -S -c . one.jsonl | sort > file-lines
rows_as_lines line-1 > db-lines
check "server up: every field of every line is in its row" cmp -s file-lines db-lines
"$records" report one.jsonl > report-file
"$records" report --database "$db" --station line-1 > report-db
check "the report from the database is the report from the file" cmp -s report-file report-db
# As the station counts: the receiver's cancel is a failed receiver, named among the causes.
check "the report counts completed and failed receivers, cancels among the failed" \
    [ "$(grep -cE '^line-1 .* 1 +2 +0 +33\.3 %$' report-db)" = 4 ]
check "the report names the causes" [ "$(grep -cE '^(Checksum|Receiver) [A-Za-z]+ +[a-z]+ +4 +50\.0 %' report-db)" = 2 ]
check "the dashboards' views count as the report does" [ "$(pg_sql "SELECT sum(completed), sum(failed),
    sum(stopped) FROM yield_by_hour WHERE station = 'line-1'")/$(pg_sql "SELECT sum(count) FROM failure_causes")" = "4|8|0/8" ]
check "the live state has each port as the run left it" [ "$(pg_sql "SELECT count(*), sum(completed),
    sum(failed), string_agg(DISTINCT state, ',') FROM station_ports WHERE station = 'line-1'")" = "4|4|8|not serving" ]

# 2. The server away at the start: the ports serve as usual, the summary says what stays; the
# next run, with the server back, sends it, nothing doubled.
pg_cluster_stop
start_sim away 2 --devices 2
timeout -k 10 120 "$cli" --port "$(ports_of away)" --continuous --count 2 --record two.jsonl \
    --station line-2 --database "$db" --database-wait 1 fw.bin > two.out 2> two.err
check "server away: the exit status does not change" [ $? = 0 ]
check "server away: the summary names the backlog and why" \
    grep -qE "^database: unsent 4 lines \(oldest from [0-9]{2}:[0-9]{2}\): cannot reach the database at $PG_DIR:$PG_PORT/qvlink: .*the unsent lines stay in two.jsonl" two.out
pg_cluster_start || exit 1
start_sim back 1 --devices 1
timeout -k 10 120 "$cli" --port "$(ports_of back)" --record two.jsonl --station line-2 \
    --database "$db" fw.bin > three.out 2> three.err
check "server back: the backlog goes with the next run" \
    grep -qx "database: all sent (5 sent in this run)" three.out
check "server back: rows = lines, each once" [ "$(rows line-2)/$(distinct_ids line-2)" = "5/5" ]

# 3. Eight ports serving while the server is killed (as a power cut would) and started again,
# three times; then the operator's stop: rows = lines, no record twice.
start_sim eight 8 --devices 0
timeout -k 10 300 "$cli" --port "$(ports_of eight)" --continuous --record eight.jsonl \
    --station line-3 --database "$db" --database-wait 60 fw.bin > eight.out 2> eight.err &
cli_pid=$!
want=8
for round in 1 2 3; do
    want=$((want + 8))
    await_lines eight.jsonl "$want" "$cli_pid" 120 || break
    pg_cluster_stop immediate
    want=$((want + 8))
    await_lines eight.jsonl "$want" "$cli_pid" 120 || break
    pg_cluster_start || break
done
# The operator's one Ctrl-C, to qvlink-cli itself: a second one would cut the sending at the end
# short, as it should.
interrupt_under_timeout "$cli_pid"
wait "$cli_pid"
check "eight ports, server killed 3 times: the run was stopped by the operator" [ $? = 130 ]
lines=$(wc -l < eight.jsonl)
check "eight ports: the summary says all sent" grep -qE '^database: all sent' eight.out
grep -E '^database:' eight.out | sed 's/^/     /'
tail -n 3 eight.err | sed 's/^/     stderr: /'
check "eight ports: rows = lines ($lines), each once" \
    [ "$(rows line-3)/$(distinct_ids line-3)" = "$lines/$lines" ]
for p in "${sim_pids[@]}"; do kill "$p" 2>/dev/null; done

report_checks
