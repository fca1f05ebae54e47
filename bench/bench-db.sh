# Sourced by the benchmarks that run whole programs: a throwaway MariaDB of
# their own in $DBDIR (a fresh one each time), and sql() on its database,
# printing bare tab-separated rows. Needs ROOT and DBDIR; the caller stops the
# server with bench_db_stop, from its EXIT trap.
bench_db_start() {
  bash "$ROOT/scripts/db-stop.sh" "$DBDIR" >/dev/null 2>&1 || true
  bash "$ROOT/scripts/db-start.sh" "$DBDIR" >/dev/null
  # shellcheck disable=SC1091
  source "$DBDIR/env.sh"
}
bench_db_stop() { bash "$ROOT/scripts/db-stop.sh" "$DBDIR" >/dev/null; }
sql() { mariadb --no-defaults --socket="$KELVO_TEST_DB_SOCKET" -u"$KELVO_TEST_DB_USER" \
          -p"$KELVO_TEST_DB_PASSWORD" "$KELVO_TEST_DB_NAME" -N -B "$@"; }
