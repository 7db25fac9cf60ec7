#!/usr/bin/env bash
# Fetching 1,000,000 rows of 5 columns through kvodbc (OD_Fetch +
# OD_ValLineComplete; bench_odbc_fetch) from SQLite (libsqliteodbc) and from
# PostgreSQL 15 (psqlodbc), against unixODBC's isql -b on the same data
# sources and against python3's sqlite3 module and psql -At. The PostgreSQL
# server is started by scripts/services/postgres.sh in the build tree on
# loopback and stopped at the end, also on failure. Every tool's line count
# is checked; the repetitions are interleaved (each round runs every tool
# once) and the best of 3 is kept.
#
#   bench/run-odbc.sh BUILD_DIR
#
# KV_ODBC_BENCH_N changes the row count for a quick try; such a run leaves
# docs/benchmarks.md alone.
set -euo pipefail
. "$(dirname "$0")/bench_setup.sh"
bench_setup "$@"
ours="$build/bin/bench_odbc_fetch"
python=/usr/bin/python3
n=${KV_ODBC_BENCH_N:-1000000}
runs=3
port=55461
section="Fetching 1,000,000 rows through ODBC"

for tool in "$ours" "$python" /usr/bin/isql /usr/bin/sqlite3 /usr/bin/psql; do
  [ -x "$tool" ] || { echo "missing: $tool (build with -DKV_BENCH=ON; run scripts/install-deps.sh)" >&2; exit 1; }
done

work="$build/bench-data/odbc"
rm -rf "$work"
mkdir -p "$work"
"$repo/scripts/services/odbc-config.sh" "$work" "$port" >/dev/null
export ODBCSYSINI="$work" ODBCINI="$work/odbc.ini"
# Under /tmp: the server runs as "nobody", who may not enter the build tree.
pgdir=$(mktemp -d /tmp/kvodbc-bench-pg-XXXXXX)
trap '"$repo/scripts/services/postgres.sh" stop "$pgdir" fast remove >/dev/null 2>&1 || rm -rf "$pgdir"' EXIT
"$repo/scripts/services/postgres.sh" start "$pgdir" "$port" >/dev/null
if [ "$(id -u)" -eq 0 ]; then as_server=(runuser -u nobody --); else as_server=(); fi

query="select id, name, amount, day, flag from rows5 order by id"
echo "ODBC fetch: $n rows of 5 columns"
/usr/bin/sqlite3 "$work/kvtest.sqlite" <<SQL
create table rows5 (id integer primary key, name varchar(30), amount numeric(12,2), day date, flag integer);
with recursive g(i) as (select 1 union all select i + 1 from g where i < $n)
insert into rows5 select i, 'customer ' || i, (i % 100000) / 100.0, date('2000-01-01', '+' || (i % 9000) || ' days'), i % 2 from g;
SQL
"${as_server[@]}" /usr/bin/psql -h "$pgdir" -p "$port" -U kv -d kvtest -qAt <<SQL >/dev/null
create table rows5 (id integer primary key, name varchar(30), amount numeric(12,2), day date, flag integer);
insert into rows5 select i, 'customer ' || i, (i % 100000) / 100.0, date '2000-01-01' + (i % 9000), i % 2 from generate_series(1, $n) i;
analyze rows5;
SQL

ours_sqlite() { "$ours" KvSQLite "" "" "$query"; }
isql_sqlite() { echo "$query" | isql -b -d'|' KvSQLite; }
python_sqlite() { "$python" "$repo/bench/sqlite_fetch.py" "$work/kvtest.sqlite" "$query"; }
ours_pg() { "$ours" KvPostgres kv kvsecret "$query"; }
isql_pg() { echo "$query" | isql -b -d'|' KvPostgres kv kvsecret; }
psql_pg() { PGPASSWORD=kvsecret /usr/bin/psql -h 127.0.0.1 -p "$port" -U kv -d kvtest -At -c "$query"; }
tools=(ours_sqlite isql_sqlite python_sqlite ours_pg isql_pg psql_pg)
labels=("kvodbc, SQLite" "isql -b, SQLite" "python3 sqlite3" "kvodbc, PostgreSQL" "isql -b, PostgreSQL" "psql -At")

echo "checking that every tool fetches $n rows"
for t in "${tools[@]}"; do
  lines=$($t | wc -l)
  [ "$lines" -eq "$n" ] || { echo "check failed: $t printed $lines lines" >&2; exit 1; }
done
[ "$(ours_sqlite | sed -n 7p)" = "7|customer 7|0.07|2000-01-08|1" ] ||
  { echo "check failed: our row 7 is '$(ours_sqlite | sed -n 7p)'" >&2; exit 1; }
[ "$(ours_pg | sed -n 7p)" = "$(psql_pg | sed -n 7p)" ] ||
  { echo "check failed: PostgreSQL row 7 differs from psql's" >&2; exit 1; }

declare -A best cpu
load=$(cut -d' ' -f1-3 /proc/loadavg)
start=$(date +%s)
for ((r = 0; r < runs; ++r)); do
  for t in "${tools[@]}"; do
    line=$({ TIMEFORMAT='%R %U %S'; time $t >/dev/null 2>&1; } 2>&1)
    wall=$(echo "$line" | awk '{print $1}')
    used=$(echo "$line" | awk '{printf "%.3f", $2 + $3}')
    if [ -z "${best[$t]:-}" ] || awk "BEGIN{exit !($wall < ${best[$t]})}"; then best[$t]=$wall; fi
    if [ -z "${cpu[$t]:-}" ] || awk "BEGIN{exit !($used < ${cpu[$t]})}"; then cpu[$t]=$used; fi
  done
done
elapsed=$(($(date +%s) - start))
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{ printf "%.2f", a / b }'; }
table=$(
  echo "| tool | wall s (best of $runs) | cpu s (best of $runs) | its wall / kvodbc's | its cpu / kvodbc's |"
  echo "|---|---:|---:|---:|---:|"
  for i in "${!tools[@]}"; do
    t=${tools[$i]}
    case $t in *pg) ours=ours_pg ;; *) ours=ours_sqlite ;; esac
    echo "| ${labels[$i]} | ${best[$t]} | ${cpu[$t]} | $(ratio "${best[$t]}" "${best[$ours]}") | $(ratio "${cpu[$t]}" "${cpu[$ours]}") |"
  done
)
echo "$table"
verdict() { if awk "BEGIN{exit !($1)}"; then echo "met"; else echo "missed"; fi; }
targets=$(
  for source in sqlite pg; do
    name=SQLite; [ $source = pg ] && name=PostgreSQL
    echo "- faster than isql on $name, wall: **$(verdict "${best[isql_$source]} > ${best[ours_$source]}")** ($(ratio "${best[isql_$source]}" "${best[ours_$source]}")x); cpu (the client's user + system time): **$(verdict "${cpu[isql_$source]} > ${cpu[ours_$source]}")** ($(ratio "${cpu[isql_$source]}" "${cpu[ours_$source]}")x)"
  done
)
echo "$targets"

if [ "$n" -ne 1000000 ]; then
  echo "$n rows: docs/benchmarks.md left as it is"
  exit 0
fi
body=$(
  echo "## $section"
  echo
  echo "Measured by \`bench/run-odbc.sh\` (run by \`make bench\`; Release build) on $(date -u '+%Y-%m-%d %H:%M UTC'):"
  echo "$(nproc) CPUs, $(lscpu | sed -n 's/^Model name: *//p'), load average $load when the timing"
  echo "started (the machine is shared: wall times include waiting for a CPU; the"
  echo "client's CPU time, user + system, does not, and leaves out the PostgreSQL"
  echo "server's own work)."
  echo
  echo "One query, \`$query\`, over a table of $n rows of 5 columns (integer,"
  echo "varchar, numeric(12,2), date, integer), every row written to standard output"
  echo "(redirected to /dev/null) with '|' between the columns: by \`bench_odbc_fetch\`"
  echo "(OD_ExecDirect, then OD_Fetch and OD_ValLineComplete for every row), by"
  echo "unixODBC's \`isql -b -d'|'\` on the same data sources, by python3's sqlite3"
  echo "module (\`bench/sqlite_fetch.py\`) and by \`psql -At\`. SQLite through"
  echo "libsqliteodbc, PostgreSQL 15 on loopback through psqlodbc (ANSI). Each tool's"
  echo "line count is checked first; then $runs rounds, each running every tool once"
  echo "(interleaved), keeping each tool's best wall and CPU times. The timed rounds took ${elapsed} s."
  echo
  echo "$table"
  echo
  echo "Targets:"
  echo
  echo "$targets"
)
replace_doc_section "$doc" "$section" "$body"
echo "written: $doc"
