#!/usr/bin/env bash
# Writing files when the file system refuses: a save killed by the file-size
# limit leaves the old file and no temporary one; a new file in a read-only
# folder and a log on a full disk are reported as such. The read-only and
# full file systems are small tmpfs mounts made here (root only) and always
# unmounted; without the right to mount those checks are skipped.
set -u
zelta=$1
fail=0
work=$(mktemp -d)
mounts=()
cleanup() {
  for m in ${mounts[@]+"${mounts[@]}"}; do umount "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 2
check() {  # name, expected, actual
  if [ "$2" != "$3" ]; then
    echo "FAIL $1"; echo "  expected: $2"; echo "  actual:   $3"; fail=1
  fi
}

# A save stopped by SIGXFSZ part way: the old file stays, nothing else is left.
mkdir xfsz
printf 'set obs 3\ngen x = _n\nsave xfsz/d\n' > old.do
"$zelta" -q -b do old.do
cp xfsz/d.dta old.dta
printf 'set obs 300000\ngen double x = _n\ngen double y = -_n\nsave xfsz/d, replace\n' > big.do
# (the inner shell reports the kill, to nowhere)
sh -c 'ulimit -f 1024; "$0" -q -b do big.do' "$zelta" 2>/dev/null
cmp -s xfsz/d.dta old.dta || { echo "FAIL killed save: the old file changed"; fail=1; }
check "killed save leaves no temporary file" "d.dta" "$(ls -A xfsz | tr '\n' ' ' | sed 's/ $//')"

if mkdir ro full && mount -t tmpfs -o ro,size=64k tmpfs ro 2>/dev/null; then
  mounts+=("$work/ro")
  # a new file in a folder that cannot be written
  printf 'set obs 1\ngen x = 1\ncap noi save ro/new\ndi _rc\ncap noi outsheet using ro/new.csv\ndi _rc\n' > rofold.do
  "$zelta" -q -b do rofold.do
  check "read-only folder message" "folder ro cannot be written" "$(grep -m1 '^folder' rofold.log)"
  check "read-only folder code" "603 603" "$(grep -E '^[0-9]+$' rofold.log | tr '\n' ' ' | sed 's/ $//')"
  grep -q 'read-only' rofold.log && { echo "FAIL read-only folder: the file is called read-only"; cat rofold.log; fail=1; }
else
  echo "skipped: read-only folder (cannot mount)"
fi

if mount -t tmpfs -o size=64k tmpfs full 2>/dev/null; then
  mounts+=("$work/full")
  # a log that fills the disk: said once, with its code; the log is closed
  cat > fulllog.do <<'DO'
log using full/out.log, text
forvalues i = 1/3000 {
	display "line `i' of a log that does not fit on the disk"
}
display "not reached"
DO
  "$zelta" -q -b do fulllog.do
  check "full-disk log message, once" "1" "$(grep -c 'could not be written' fulllog.log)"
  # (the message is as long as the folder's name: its lines are joined)
  tail -8 fulllog.log | tr -d '\n' | grep -q "file $work/full/out.log could not be written: No space left on device" ||
    { echo "FAIL full-disk log message"; tail -5 fulllog.log; fail=1; }
  check "full-disk log code, in the do-file and for it" "r(699); r(699);" "$(grep '^r(' fulllog.log | tr '\n' ' ' | sed 's/ $//')"
  grep -q 'not reached' fulllog.log && { echo "FAIL full-disk log: the do-file went on"; fail=1; }
  rm -f full/out.log
  # typed commands: the failing one gets the code, and the log is closed
  out=$(printf 'log using full/out.log, text\nforvalues i = 1/3000 {\ndisplay "line `i'"'"' of a log that does not fit"\n}\nlog close\n' | "$zelta" -q 2>&1)
  check "typed: message once" "1" "$(echo "$out" | grep -c 'could not be written')"
  check "typed: codes" "r(699); r(606);" "$(echo "$out" | grep '^r(' | tr '\n' ' ' | sed 's/ $//')"
else
  echo "skipped: full disk (cannot mount)"
fi

[ $fail = 0 ] && echo "files_fs: all checks passed"
exit $fail
