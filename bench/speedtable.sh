#!/usr/bin/env bash
# Runs the benchmarks behind the speed table (whole-variable generates, the
# command loop, and the figures to keep: summarize, regress, tabulate, matrix
# accum, the Vemo scalar loop, by-group _n) and prints one table of ratios
# against each row's peer, with the machine's load before and after each
# benchmark, so that one run can be quoted. The sort, save, use and insheet
# rows have benchmarks of their own (bench_sort, bench_dta, bench_textio).
# Usage: bench/speedtable.sh [build folder] [runs]   (default: build, 1)
set -uo pipefail
build=${1:-build}
runs=${2:-1}
bin=$build/bench
for b in bench_layout bench_macro bench_stats bench_tabulate bench_matrix bench_vemo bench_sort; do
  [ -x "$bin/$b" ] || { echo "no $bin/$b: build the benchmarks first" >&2; exit 2; }
done
out=$(mktemp -d /tmp/speedtable_XXXXXX)
trap 'rm -rf "$out"' EXIT

load() { cut -d' ' -f1 /proc/loadavg; }

# Runs one benchmark; its output goes to $out/NAME.RUN, the loads to .load.
runone() {
  local name=$1 run=$2; shift 2
  local before after
  before=$(load)
  "$bin/$name" "$@" >"$out/$name.$run" 2>&1
  after=$(load)
  echo "$before-$after" >"$out/$name.$run.load"
}

# The ratio in the parentheses after a key on the line that starts with
# label: ratio FILE LABEL KEY.
ratio() {
  awk -v label="$2" -v key="$3" 'index($0, label) == 1 {
      i = index($0, "(" key " "); if (!i) next
      s = substr($0, i + length(key) + 2); sub(/\).*/, "", s); print s; exit }' "$1"
}

row() { printf '%-48s %-10s %-8s %s\n' "$1" "$2" "$3" "$4"; }

for ((r = 1; r <= runs; ++r)); do
  date -u '+%F %H:%M UTC' >"$out/run.$r.date"
  runone bench_layout "$r"
  runone bench_macro "$r"
  runone bench_stats "$r"
  runone bench_tabulate "$r"
  runone bench_matrix "$r"
  runone bench_vemo "$r"
  # one repetition: the sorts in front of the by-group row take minutes
  runone bench_sort "$r" 10000000 1
done

for ((r = 1; r <= runs; ++r)); do
  echo "run $r of $runs (started $(cat "$out/run.$r.date"))"
  row "workload" "ratio" "target" "load (before-after)"
  f=$out/bench_layout.$r l=$(cat "$f.load")
  row "generate double y1 = 2*x + ln(z), 10M / numpy" "$(ratio "$f" "generate double y1 = 2*x" zelta/numpy)" "<= 1.0" "$l"
  row "5 x generate into new variables / numpy" "$(ratio "$f" "5 x generate" zelta/numpy)" "<= 1.0" "$l"
  row "the generate after sort x / unsorted" "$(ratio "$f" "generate ... right after sort x" sorted/unsorted)" "<= 1.1" "$l"
  f=$out/bench_macro.$r
  row "forvalues, local s = \`s' + 1, 1M / python3" \
    "$(awk '/ratio zelta\/python3 time/ { print $4; exit }' "$f")" "<= 1.5" "$(cat "$f.load")"
  f=$out/bench_stats.$r l=$(cat "$f.load")
  row "summarize x, 10M / numpy" "$(ratio "$f" "summarize x (10M)" zelta/numpy)" "keep 0.2" "$l"
  row "summarize v1-v20, 20 x 1M / numpy" "$(ratio "$f" "summarize v1-v20" zelta/numpy)" "keep 0.2" "$l"
  row "regress y x1-x10, 1M / lstsq" "$(ratio "$f" "regress y x1-x10 (1M)" zelta/numpy)" "keep 0.3" "$l"
  f=$out/bench_tabulate.$r
  row "tabulate g, 10M / np.unique" "$(ratio "$f" "tabulate g" zelta/numpy)" "keep 0.08" "$(cat "$f.load")"
  f=$out/bench_matrix.$r l=$(cat "$f.load")
  row "matrix accum x1-x10, noconstant / X.T @ X" "$(ratio "$f" "accum x1-x10, noconstant" zelta/numpy)" "keep 0.7" "$l"
  row "matrix accum x1-x10 with _cons / X.T @ X" "$(ratio "$f" "accum x1-x10 with _cons" zelta/numpy)" "keep 0.7" "$l"
  f=$out/bench_vemo.$r
  pv=$(ratio "$f" "scalar loop" python/vemo)
  row "Vemo scalar loop, 10M / python3" "$(awk -v x="$pv" 'BEGIN { if (x > 0) printf "%.2f", 1 / x }')" "keep 0.3" "$(cat "$f.load")"
  f=$out/bench_sort.$r
  row "by g: generate long n = _n / numpy" "$(ratio "$f" "by g: generate long n = _n" zelta/numpy)" "keep 0.7" "$(cat "$f.load")"
  echo
done
