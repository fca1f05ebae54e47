# Sourced by the benchmarks that run whole programs: a throwaway MariaDB of
# their own in $DBDIR (a fresh one each time), and sql() on its database,
# printing bare tab-separated rows. Needs ROOT and DBDIR; the caller stops the
# server with bench_db_stop, from its EXIT trap. set_decode KEY VALUE stores a
# decode row with the class and type docs/settings.md gives the key.
bench_db_start() {
  bash "$ROOT/scripts/db-stop.sh" "$DBDIR" >/dev/null 2>&1 || true
  bash "$ROOT/scripts/db-start.sh" "$DBDIR" >/dev/null
  # shellcheck disable=SC1091
  source "$DBDIR/env.sh"
}
# bench_build NAME TOOL...: BUILD made absolute, and the bench NAME ended
# with a message naming the first TOOL (a path under BUILD) not built there.
bench_build() {
  local name="$1" tool
  shift
  BUILD="$(cd "$BUILD" && pwd)"
  for tool in "$@"; do
    [ -x "$BUILD/$tool" ] || { echo "$name: $BUILD/$tool not built" >&2; exit 1; }
  done
}
bench_db_stop() { bash "$ROOT/scripts/db-stop.sh" "$DBDIR" >/dev/null; }
sql() { mariadb --no-defaults --socket="$KELVO_TEST_DB_SOCKET" -u"$KELVO_TEST_DB_USER" \
          -p"$KELVO_TEST_DB_PASSWORD" "$KELVO_TEST_DB_NAME" -N -B "$@"; }
# A decode row with the class and type that docs/settings.md gives its key.
set_decode() {
  local key="$1" value="$2" row class type
  row="$(grep -F "| \`$key\` |" "$ROOT/docs/settings.md" | head -n 1)" ||
    { echo "$key is no setting of docs/settings.md" >&2; exit 1; }
  class="$(awk -F'|' '{print $2}' <<<"$row" | sed 's/`//g; s/^ *//; s/ *$//')"
  type="$(awk -F'|' '{print $4}' <<<"$row" | tr -d ' ')"
  sql -e "DELETE FROM decode WHERE deckey = '$key';
          INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES ('$class', '$key', '$value', '$type');"
}
# set_decodes NAME KEY=VALUE...: every KEY=VALUE as a decode row (set_decode);
# a word without "=" ends the bench NAME with a message naming it.
set_decodes() {
  local name="$1" setting
  shift
  for setting in "$@"; do
    [[ "$setting" == *=* ]] || { echo "$name: --set needs KEY=VALUE, not $setting" >&2; exit 1; }
    set_decode "${setting%%=*}" "${setting#*=}"
  done
}
# The database started and, in a fresh working folder WORK, the data folder
# DATA and the bootstrap file; the database seeded with the run settings,
# DATA as the base data folder and pallets row $1 of $2 mm. On exit the
# server stops and DATA goes unless KEEP is 1.
bench_start_work() {
  bench_db_start
  trap bench_end_work EXIT
  rm -rf "$WORK"
  mkdir -p "$DATA"
  cp "$KELVO_TEST_CONFIG" "$WORK/kelvo_tools.json"
  sql <"$ROOT/scripts/run-settings.sql"
  sql -e "INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES ('CONFIG', 'base.data.folder', '$DATA', 'S');
          INSERT INTO pallets (id, product_name, h) VALUES ($1, 'Euro pallet', $2);"
}
bench_end_work() {
  bench_db_stop
  [ "${KEEP:-0}" = 1 ] || rm -rf "$DATA"
}
