#!/usr/bin/env bash
# Start-up behaviour seen from the shell: usage text, option bounds, batch
# mode log names, the system directory check, piped console input.
set -u
zelta=$1
fail=0
check() {  # name, expected, actual
  if [ "$2" != "$3" ]; then
    echo "FAIL $1"; echo "  expected: $2"; echo "  actual:   $3"; fail=1
  fi
}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
cd "$work"

out=$("$zelta" -h); rc=$?
check "-h exit" 0 "$rc"
check "-h first line" 'zelta:  usage:  zelta [-h -k# -m# -q -s -b -e] ["zelta command"]' "$(echo "$out" | head -1)"
check "-h lines" 9 "$(echo "$out" | wc -l)"

"$zelta" -k5 >/dev/null; check "-k below 10 fails" 1 "$?"
"$zelta" -v100 >/dev/null; check "-v below 2048 fails" 1 "$?"
"$zelta" -d11001 >/dev/null; check "-d above 11000 fails" 1 "$?"
"$zelta" -z >/dev/null; check "unknown option fails" 1 "$?"

err=$("$zelta" -b 2>&1 >/dev/null); rc=$?
check "-b without command" "-b specified with no command" "$err"
check "-b without command exit" 1 "$rc"

printf 'exit\n' > job.do
"$zelta" -q -b do job.do; check "batch exit" 0 "$?"
[ -f job.log ] || { echo "FAIL batch log job.log missing"; fail=1; }
"$zelta" -q -s do job.do
[ -f job.zmcl ] || { echo "FAIL -s log job.zmcl missing"; fail=1; }
"$zelta" -q -b "exit"
[ -f zelta.log ] || { echo "FAIL batch log zelta.log missing"; fail=1; }
mkdir sub && printf 'exit\n' > sub/x.y.do
"$zelta" -q -b do sub/x.y.do
[ -f x.log ] || { echo "FAIL batch log named after the do-file (x.log) missing"; fail=1; }

# the system directory must hold the marker file
mkdir nosys && cp "$zelta" nosys/zelta
err=$(nosys/zelta -q 2>&1 </dev/null); rc=$?
check "no marker exit" 1 "$rc"
check "no marker message" "cannot find Zelta directory
iszelta.09 is missing" "$err"

# piped console input is read as if typed and echoed as plain text
out=$(printf 'unabcmd di\nnosuch\n' | "$zelta" -q)
echo "$out" | grep -q '^\. unabcmd di$' || { echo "FAIL piped echo"; echo "$out"; fail=1; }
echo "$out" | grep -q '^r(199);$' || { echo "FAIL piped r(199)"; echo "$out"; fail=1; }

# profile.do in the working directory runs first
printf 'global fromprofile yes\n' > profile.do
out=$(printf 'exit\n' | "$zelta" -q)
echo "$out" | grep -q "^running $work/profile.do \.\.\.$" || { echo "FAIL profile"; echo "$out"; fail=1; }
rm profile.do

[ $fail = 0 ] && echo "cli: all checks passed"
exit $fail
