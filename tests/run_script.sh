#!/usr/bin/env bash
# Runs one script test: copies the do-file (with the fixtures of its group and
# those every group shares, in scripts/common) into a scratch directory, runs
# it in batch mode (with the start-up options of <name>.opts, if any) and
# compares the log with the expected one.
# `ZELTA_BLESS=1` rewrites the expected log instead.
set -u
zelta=$1; dofile=$2
dir=$(dirname "$dofile"); name=$(basename "$dofile" .do)
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
common=$(dirname "$0")/scripts/common
[ -d "$common" ] && cp -r "$common"/. "$work"/
cp -r "$dir"/. "$work"/
cd "$work" || exit 2
rm -f "$name.log"
# Every function the Vemo compiler makes is put through the load-time stack
# check as well, so a compiler change that breaks it fails here.
export ZELTA_VEMO_VERIFY=1
# Start-up options for the run (for example -d#) may sit in <name>.opts.
opts=()
[ -f "$name.opts" ] && read -r -a opts < "$name.opts"
ZELTA_LOGCLOCK="1 Jan 2000, 00:00:00" timeout "${ZELTA_SCRIPT_TIMEOUT:-300}" "$zelta" ${opts[@]+"${opts[@]}"} -q -b do "$name.do" >/dev/null 2>"$work/.stderr"
rc=$?
if [ ! -f "$name.log" ]; then
  echo "no log written (exit $rc)"; cat "$work/.stderr"; exit 1
fi
# The scratch folder's name changes from run to run: logs show it as $WORK.
sed -i "s|$work|\$WORK|g" "$name.log"
# Text that differs between machines (library versions, build dates) is
# rewritten by the sed script <name>.sed, when there is one.
[ -f "$dir/$name.sed" ] && sed -E -i -f "$dir/$name.sed" "$name.log"
if [ "${ZELTA_BLESS:-0}" = 1 ]; then
  cp "$name.log" "$dir/$name.log"; exit 0
fi
if ! diff -u "$dir/$name.log" "$name.log"; then
  echo "log differs from $dir/$name.log"; exit 1
fi
exit 0
