# A throw-away PostgreSQL cluster for the database tests and benchmark:
# `pg_start` makes one with initdb in a new temporary folder ($PGWORK),
# listening only on a Unix socket there, run as nobody when we are root, and
# writes an odbcinst.ini there registering the driver as PgTest; `pg_stop`
# stops it and removes the folder. pg_start returns 77 with a message when
# the driver or the server is missing or the server does not start.
pg_start() {
  PGDRIVER=$(find /usr/lib /usr/local/lib -name psqlodbcw.so 2>/dev/null | head -1)
  [ -n "$PGDRIVER" ] || { echo "SKIPPED: the PostgreSQL ODBC driver (odbc-postgresql) is not installed"; return 77; }
  PGBIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
  [ -x "$PGBIN/initdb" ] || { echo "SKIPPED: the PostgreSQL server (postgresql) is not installed"; return 77; }
  PGWORK=$(mktemp -d); chmod 755 "$PGWORK"
  PGASUSER=""
  [ "$(id -u)" = 0 ] && PGASUSER="runuser -u nobody --"
  mkdir -p "$PGWORK/pgdata"
  [ -n "$PGASUSER" ] && chown nobody "$PGWORK" "$PGWORK/pgdata"
  if ! $PGASUSER "$PGBIN/initdb" -D "$PGWORK/pgdata" -U zelta --auth=trust -E UTF8 --locale=C >"$PGWORK/initdb.log" 2>&1; then
    cat "$PGWORK/initdb.log"; echo "SKIPPED: initdb failed"; return 77
  fi
  if ! $PGASUSER "$PGBIN/pg_ctl" -D "$PGWORK/pgdata" -w -t 60 -l "$PGWORK/server.log" \
       -o "-c listen_addresses='' -k $PGWORK -c fsync=off" start >/dev/null 2>&1; then
    cat "$PGWORK/server.log"; echo "SKIPPED: the PostgreSQL server did not start"; return 77
  fi
  printf '[PgTest]\nDescription=PostgreSQL for the tests\nDriver=%s\n' "$PGDRIVER" >"$PGWORK/odbcinst.ini"
}
pg_stop() {
  if [ -n "${PGWORK:-}" ] && [ -f "$PGWORK/pgdata/postmaster.pid" ]; then
    $PGASUSER "$PGBIN/pg_ctl" -D "$PGWORK/pgdata" -m immediate -w stop >/dev/null 2>&1
  fi
  [ -n "${PGWORK:-}" ] && rm -rf "$PGWORK"
}
