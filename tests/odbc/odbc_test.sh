#!/usr/bin/env bash
# Runs the database script tests against a real server that this script
# starts and stops itself:
#   odbc_test.sh ZELTA postgres   a PostgreSQL cluster made by initdb in a
#                                 temporary folder, listening only on a Unix
#                                 socket there (run as nobody when we are root;
#                                 see pgcluster.sh)
#   odbc_test.sh ZELTA sqlite     a file database through the SQLite driver
# The driver manager reads driver and data-source files made here (ODBCSYSINI,
# ODBCINI), so nothing under /etc is needed or changed. Each tests/odbc/KIND_*.do
# runs through run_script.sh (its log compared with the .log beside it);
# files named *_break.do run with a Break injected at the second block.
# Exit 77 (skipped) when the driver or the server is not there.
set -u
zelta=$(realpath "$1"); kind=$2
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "SKIPPED: $*"; exit 77; }

case $kind in
  postgres)
    . "$here/pgcluster.sh"
    pg_start || exit 77
    trap pg_stop EXIT
    work=$PGWORK
    cat >"$work/odbc.ini" <<EOF
[zpg]
Description=PostgreSQL test cluster
Driver=PgTest
Servername=$work
Port=5432
Database=postgres
Username=zelta
EOF
    ;;
  sqlite)
    so=$(find /usr/lib /usr/local/lib -name libsqlite3odbc.so 2>/dev/null | head -1)
    [ -n "$so" ] || skip "the SQLite ODBC driver (libsqliteodbc) is not installed"
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cat >"$work/odbcinst.ini" <<EOF
[SQLiteTest]
Description=SQLite 3 for the tests
Driver=$so
EOF
    cat >"$work/odbc.ini" <<EOF
[zlite]
Description=SQLite test file
Driver=SQLiteTest
Database=$work/dsn.db
EOF
    ;;
  *) echo "unknown kind $kind"; exit 2 ;;
esac

export ODBCSYSINI=$work ODBCINI=$work/odbc.ini
# What the do-files use: the test folder for DSN-less connection strings.
export ZELTA_ODBC_TESTDIR=$work
fail=0; n=0
for dofile in "$here"/${kind}_*.do; do
  [ -f "${dofile%.do}.log" ] || continue
  n=$((n + 1))
  brk=0
  case $dofile in *_break.do) brk=2 ;; esac
  if ZELTA_ODBC_BREAKAT=$brk "$here/../run_script.sh" "$zelta" "$dofile" >"$work/out" 2>&1; then
    echo "ok   $(basename "$dofile")"
  else
    echo "FAIL $(basename "$dofile")"; cat "$work/out"; fail=1
  fi
done
[ "$n" -gt 0 ] || { echo "no tests for $kind"; exit 1; }
exit $fail
