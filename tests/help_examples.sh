#!/usr/bin/env bash
# Runs the examples of every help file: each line "{phang}{cmd:. command}{p_end}"
# (or {phang2}) is a command, and each function example
# "{pmore}{cmd:exp} = value{p_end}" becomes an `assert` that exp equals value
# (numbers to a relative difference of 1e-6). A file's commands run in order
# as one do-file in batch mode in a scratch folder; a line "r(#);" in its log
# fails the test.
# A help file whose name is given as a third argument is the only one run;
# a third argument K/N runs every Nth file from the Kth (0-based), so that
# ctest can run the files in several parts at once.
set -u
zelta=$(realpath "$1"); helpdir=$2; only=${3:-}
shard=-1; nshards=1
if [[ "$only" =~ ^([0-9]+)/([0-9]+)$ ]]; then
  shard=${BASH_REMATCH[1]}; nshards=${BASH_REMATCH[2]}; only=""
fi
fail=0; files=0; commands=0; index=-1
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
for f in "$helpdir"/*.zhlp; do
  name=$(basename "$f" .zhlp)
  index=$((index + 1))
  [ "$shard" -ge 0 ] && [ $((index % nshards)) -ne "$shard" ] && continue
  [ -n "$only" ] && [ "$only" != "$name" ] && continue
  dir="$work/$name"; mkdir -p "$dir"
  # The markup of the command text: escaped braces and the grave accent.
  sed -n 's/^{phang2\{0,1\}}{cmd:\. \(.*\)}{p_end}$/\1/p' "$f" |
    sed -e 's/{c -(}/{/g' -e 's/{c )-}/}/g' -e "s/{c 'g}/\`/g" > "$dir/examples.do"
  # assert tests every observation: the function checks get one of their own.
  sed -n -e 's/^{pmore}{cmd:\(.*\)} = \("[^"]*"\){p_end}$/assert (\1) == \2/p' \
         -e 's/^{pmore}{cmd:\(.*\)} = \([^"]*\){p_end}$/assert (\1) == (\2) | reldif(\1, \2) < 1e-6/p' \
         "$f" > "$dir/checks.do"
  if [ -s "$dir/checks.do" ]; then
    printf 'clear\nquietly set obs 1\n' >> "$dir/examples.do"
    cat "$dir/checks.do" >> "$dir/examples.do"
  fi
  n=$(wc -l < "$dir/examples.do")
  [ "$n" -eq 0 ] && continue
  files=$((files + 1)); commands=$((commands + n))
  (cd "$dir" && timeout 120 "$zelta" -q -b do examples.do >/dev/null 2>&1)
  if [ ! -f "$dir/examples.log" ]; then
    echo "FAIL $name: no log written"; fail=1; continue
  fi
  if grep -qE '^r\([0-9]+\);$' "$dir/examples.log"; then
    echo "FAIL $name: an example failed"
    grep -B6 -m1 -E '^r\([0-9]+\);$' "$dir/examples.log" | sed 's/^/    /'
    fail=1
  fi
done
echo "$commands examples in $files help files"
[ "$files" -gt 0 ] || { echo "FAIL no examples found"; fail=1; }
exit $fail
