#!/usr/bin/env bash
# The database bridge against PostgreSQL: 1M rows x 10 columns loaded with
# `odbc load` and with the server's own bulk copy (psql \copy ... to a file),
# and written back with `odbc insert` and with `\copy ... from` that file, on
# a cluster this script starts (Unix socket in a temporary folder) and stops.
# The four run in turn, ROUNDS times over, so that a change in the machine's
# load falls on both sides of a ratio; each round prints its seconds, its
# ratios (odbc / copy) and the load average, and the end the best time of
# each and the range of the ratios. The odbc times are the commands' own
# (timer), the copy times the whole psql runs.
#   bench/bench_odbc.sh [ZELTA] [ROWS] [ROUNDS]
set -u
here=$(cd "$(dirname "$0")" && pwd)
zelta=$(realpath "${1:-$here/../build/zelta}")
rows=${2:-1000000}
rounds=${3:-3}
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
cd "$PGWORK"
now() { date +%s.%N; }
secs() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
timed() { local t0; t0=$(now); "$@" >/dev/null 2>&1; secs "$t0" "$(now)"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
cat > run.do <<EOT
timer clear
timer on 1
odbc load, table("b") dsn("bench") clear
timer off 1
timer on 2
odbc insert id a b c x1 x2 x3 x4 x5 s, table("b2") overwrite
timer off 2
timer list
display "times " r(t1) " " r(t2)
EOT
printf 'rows %d x 10 columns, PostgreSQL %s\n' "$rows" "$("${psql[@]}" -Atc 'SHOW server_version')"
printf '%5s %8s %8s %8s %8s %6s %6s  %s\n' round copyto load copyfrom insert load/ ins/ "load average"
all=()
for r in $(seq "$rounds"); do
  to=$(timed "${psql[@]}" -c "\\copy b to '$PGWORK/b.txt'")
  "$zelta" -q -b do run.do >/dev/null 2>&1
  grep -q "$rows observations inserted" run.log || { echo "odbc load or insert failed:"; cat run.log; exit 1; }
  read -r tl ti < <(awk '/^times / { print $2, $3 }' run.log)
  from=$(timed sh -c "${psql[*]} -c 'TRUNCATE b2' && ${psql[*]} -c \"\\\\copy b2 from '$PGWORK/b.txt'\"")
  printf '%5d %8.2f %8.2f %8.2f %8.2f %6s %6s  %s\n' "$r" "$to" "$tl" "$from" "$ti" "$(ratio "$tl" "$to")" \
    "$(ratio "$ti" "$from")" "$(cut -d' ' -f1-3 /proc/loadavg)"
  all+=("$to $tl $from $ti")
done
printf '%s\n' "${all[@]}" | awk '
  NR == 1 { for (i = 1; i <= 4; i++) b[i] = $i; lo1 = hi1 = $2 / $1; lo2 = hi2 = $4 / $3 }
  { for (i = 1; i <= 4; i++) if ($i < b[i]) b[i] = $i
    r1 = $2 / $1; r2 = $4 / $3
    if (r1 < lo1) lo1 = r1; if (r1 > hi1) hi1 = r1; if (r2 < lo2) lo2 = r2; if (r2 > hi2) hi2 = r2 }
  END { printf "best  %8.2f %8.2f %8.2f %8.2f\n", b[1], b[2], b[3], b[4]
        printf "ratio load / copy to:     %.2f (best of each; rounds %.2f-%.2f)\n", b[2] / b[1], lo1, hi1
        printf "ratio insert / copy from: %.2f (best of each; rounds %.2f-%.2f)\n", b[4] / b[3], lo2, hi2 }'
