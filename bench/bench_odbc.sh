#!/usr/bin/env bash
# The database bridge against PostgreSQL: 1M rows x 10 columns loaded with
# `odbc load` and with the server's own bulk copy (psql \copy ... to a file),
# and written back with `odbc insert` and with `\copy ... from` that file, in
# the same run on a cluster this script starts (Unix socket in a temporary
# folder) and stops. Prints the seconds and the ratios (odbc / copy).
#   bench/bench_odbc.sh [ZELTA] [ROWS]
set -u
here=$(cd "$(dirname "$0")" && pwd)
zelta=$(realpath "${1:-$here/../build/zelta}")
rows=${2:-1000000}
. "$here/../tests/odbc/pgcluster.sh"
pg_start || exit 1
trap pg_stop EXIT
cat >"$PGWORK/odbc.ini" <<EOT
[bench]
Driver=PgTest
Servername=$PGWORK
Port=5432
Database=postgres
Username=zelta
EOT
export ODBCSYSINI=$PGWORK ODBCINI=$PGWORK/odbc.ini
psql=(psql -X -q -h "$PGWORK" -U zelta -d postgres)
"${psql[@]}" -c "CREATE TABLE b AS SELECT g AS id, (g % 1000)::smallint AS a, (g * 7 % 100000)::integer AS b,
  g::bigint * 1000 AS c, random() AS x1, random() * 100 AS x2, g / 3.0::float8 AS x3, sqrt(g)::float8 AS x4,
  (g % 17)::float8 AS x5, 'row' || g AS s FROM generate_series(1, $rows) g" || exit 1
"${psql[@]}" -c "CREATE TABLE b2 (LIKE b)"
now() { date +%s.%N; }
secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
lt() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
cd "$PGWORK"
# the copy to a file, then odbc load (best of two each)
best() { local b=""; for _ in 1 2; do local t0; t0=$(now); "$@" >/dev/null 2>&1; local t; t=$(secs "$t0" "$(now)");
  if [ -z "$b" ] || lt "$t" "$b"; then b=$t; fi; done; echo "$b"; }
tcopyout=$(best "${psql[@]}" -c "\\copy b to '$PGWORK/b.txt'")
printf 'odbc load, table("b") dsn("bench") clear\nsummarize id\n' > load.do
tload=$(best "$zelta" -q -b do load.do)
grep -q "$rows" load.log || { echo "odbc load failed:"; cat load.log; exit 1; }
tcopyin=$(best sh -c "${psql[*]} -c 'TRUNCATE b2' && ${psql[*]} -c \"\\\\copy b2 from '$PGWORK/b.txt'\"")
printf 'odbc load, table("b") dsn("bench") clear\nodbc insert id a b c x1 x2 x3 x4 x5 s, table("b2") overwrite\n' > ins.do
# the insert's time is the whole run less the load's
tins_all=$(best "$zelta" -q -b do ins.do)
grep -q "$rows observations inserted" ins.log || { echo "odbc insert failed:"; cat ins.log; exit 1; }
tins=$(secs "$tload" "$tins_all")
printf 'rows %d x 10 columns, PostgreSQL %s, load average %s\n' "$rows" "$("${psql[@]}" -Atc 'SHOW server_version')" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-28s %8.2fs\n' "psql \\copy to file" "$tcopyout" "odbc load" "$tload" "psql \\copy from file" "$tcopyin" "odbc insert" "$tins"
printf 'ratio load / copy to:     %s\n' "$(ratio "$tload" "$tcopyout")"
printf 'ratio insert / copy from: %s\n' "$(ratio "$tins" "$tcopyin")"
