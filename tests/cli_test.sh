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
check "-h states that memory grows" '-k#   fix data memory at #k, default grows with the data' "$(echo "$out" | sed -n 4p)"

"$zelta" -k5 >/dev/null; check "-k below 10 fails" 1 "$?"
"$zelta" -v100 >/dev/null; check "-v below 2048 fails" 1 "$?"
"$zelta" -d11001 >/dev/null; check "-d above 11000 fails" 1 "$?"
"$zelta" -d9 >/dev/null; check "-d below 10 fails" 1 "$?"
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

# a batch run that ends on an error says so in its exit status: the code
# itself, or 1 where it does not fit (and for a Break)
printf 'display "before"\nnosuchcommand\ndisplay "not reached"\n' > bad.do
"$zelta" -q -b do bad.do; check "batch exit after r(199)" 199 "$?"
grep -q '^r(199);$' bad.log || { echo "FAIL batch log of the failed run"; cat bad.log; fail=1; }
printf 'error 601\n' > big.do
"$zelta" -q -b do big.do; check "batch exit after r(601)" 1 "$?"
printf 'error 1\n' > brk.do
"$zelta" -q -e do brk.do; check "batch exit after a Break code" 1 "$?"
printf 'capture error 198\ndisplay _rc\n' > caught.do
"$zelta" -q -b do caught.do; check "batch exit after a captured error" 0 "$?"
"$zelta" -q -b do nosuch.do; check "batch exit for a missing do-file" 1 "$?"
"$zelta" -q -b "display 1+1"; check "batch exit after a command" 0 "$?"

# graph export's view option hands the picture to the desktop's viewer: a
# note and return code 0 when there is no graphical session or no xdg-open,
# else the viewer (here a stand-in that records its argument) gets the file
printf 'set obs 2\ngen x = _n\nscatter x x\ngraph export v.svg, view replace\n' > view.do
env -u DISPLAY -u WAYLAND_DISPLAY "$zelta" -q -b do view.do; check "view without a session exit" 0 "$?"
check "view without a session" "(no desktop viewer: there is no graphical session; the picture is in v.svg)" \
  "$(grep '^(no desktop' view.log)"
mkdir nobin
env -u WAYLAND_DISPLAY DISPLAY=:99 PATH="$work/nobin" "$zelta" -q -b do view.do; check "view without xdg-open exit" 0 "$?"
check "view without xdg-open" "(no desktop viewer: xdg-open is not installed; the picture is in v.svg)" \
  "$(grep '^(no desktop' view.log)"
mkdir bin && printf '#!/bin/sh\necho "$1" > "%s/opened"\n' "$work" > bin/xdg-open && chmod +x bin/xdg-open
env DISPLAY=:99 PATH="$work/bin:$PATH" "$zelta" -q -b do view.do; check "view exit" 0 "$?"
check "view note" "(opened v.svg in the desktop viewer)" "$(grep '^(opened' view.log)"
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s opened ] && break; sleep 0.5; done
check "the viewer gets the picture" "v.svg" "$(cat opened 2>/dev/null)"

# the system directory must hold the marker file
mkdir nosys && cp "$zelta" nosys/zelta
err=$(nosys/zelta -q 2>&1 </dev/null); rc=$?
check "no marker exit" 1 "$rc"
check "no marker message" "cannot find Zelta directory
iszelta.09 is missing" "$err"

# a lone do-file name runs as `do file.do`, then the console reads on
printf 'display "lone " 2*3\n' > lone.do
out=$(printf 'display "then"\n' | "$zelta" -q lone.do)
echo "$out" | grep -q '^lone 6$' || { echo "FAIL lone do-file"; echo "$out"; fail=1; }
echo "$out" | grep -q '^then$' || { echo "FAIL console after lone do-file"; echo "$out"; fail=1; }

# piped console input is read as if typed and echoed as plain text
out=$(printf 'unabcmd di\nnosuch\n' | "$zelta" -q)
echo "$out" | grep -q '^\. unabcmd di$' || { echo "FAIL piped echo"; echo "$out"; fail=1; }
echo "$out" | grep -q '^r(199);$' || { echo "FAIL piped r(199)"; echo "$out"; fail=1; }

# profile.do in the working directory runs first
printf 'global fromprofile yes\n' > profile.do
out=$(printf 'exit\n' | "$zelta" -q)
echo "$out" | grep -q "^running $work/profile.do \.\.\.$" || { echo "FAIL profile"; echo "$out"; fail=1; }
rm profile.do

# set rmsg: "r;" or the r(#) line, then the elapsed time and the clock
out=$(printf 'set rmsg on\nunabcmd di\nnosuch\n' | "$zelta" -q)
echo "$out" | grep -Eq '^r; t=[0-9]+\.[0-9]{2} [0-9]+:[0-9]{2}:[0-9]{2}$' || { echo "FAIL rmsg ok line"; echo "$out"; fail=1; }
echo "$out" | grep -Eq '^r\(199\); t=[0-9]+\.[0-9]{2} [0-9]+:[0-9]{2}:[0-9]{2}$' || { echo "FAIL rmsg error line"; echo "$out"; fail=1; }

# #review lists past console commands, oldest first
out=$(printf 'unabcmd di\nunabcmd g\nunabcmd l\n#review 2\n#r 300\n' | "$zelta" -q)
echo "$out" | grep -A2 '^\. #review 2$' | tail -2 | tr '\n' '|' | grep -q '^2 unabcmd g|1 unabcmd l|$' || { echo "FAIL #review"; echo "$out"; fail=1; }
echo "$out" | grep -A3 '^\. #r 300$' | tail -3 | tr '\n' '|' | grep -q '^3 unabcmd di|2 unabcmd g|1 unabcmd l|$' || { echo "FAIL #review 300"; echo "$out"; fail=1; }

# exit, ZELTA inside a do-file ends the program; a plain exit only the do-file
printf 'exit, ZELTA\n' > leave.do
out=$(printf 'do leave.do\nunabcmd di\n' | "$zelta" -q)
echo "$out" | grep -q 'unabcmd' && { echo "FAIL exit, ZELTA"; echo "$out"; fail=1; }

# Ctrl-C stops a running loop with the Break report; the session goes on.
# Interrupts are sent until the report shows, so a slow start cannot make
# the check miss; a watchdog ends a run that never stops.
( printf 'display "started"\nwhile 1 {\n}\ndisplay "after break"\n'; sleep 4 ) | "$zelta" -q > brk.out 2>&1 &
pid=$!
( sleep 40; kill -9 "$pid" ) >/dev/null 2>&1 &
watchdog=$!
for i in $(seq 60); do
  grep -q '^after break$' brk.out && break
  grep -q '^started$' brk.out && kill -INT "$pid" 2>/dev/null
  sleep 0.5
done
wait "$pid"
kill "$watchdog" 2>/dev/null
grep -q -- '^--Break--$' brk.out || { echo "FAIL break report"; cat brk.out; fail=1; }
grep -q '^r(1);$' brk.out || { echo "FAIL break code"; cat brk.out; fail=1; }
grep -q '^after break$' brk.out || { echo "FAIL session after break"; cat brk.out; fail=1; }

[ $fail = 0 ] && echo "cli: all checks passed"
exit $fail
