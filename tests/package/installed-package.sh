#!/usr/bin/env bash
# The Debian package as a station gets it: built with cpack from the build
# folder, checked by lintian, installed with dpkg, and run from an empty
# folder elsewhere against the throwaway database (a picture, the floor
# calibration, the reprocess command); removed again at the end. The build
# tree's --help and --version are checked first, everywhere; the package
# part needs root and dpkg (exit 77: skipped).
# Usage: installed-package.sh BUILD_DIR SOURCE_DIR  (KELVO_TEST_DB_* set)
set -euo pipefail
BUILD="$(cd "$1" && pwd)"
SOURCE="$(cd "$2" && pwd)"
VERSION="$(sed -n 's/^#define KELVO_VERSION "\(.*\)"$/\1/p' "$BUILD/generated/tools/Version.h")"
PACKAGE=kelvo-tools

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_eq() { [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"; }

# --- --version and --help of the build tree's commands
[ -n "$VERSION" ] || fail "no version in $BUILD/generated/tools/Version.h"
expect_eq "$("$BUILD/kelvo_calibrate" --version)" "kelvo_calibrate $VERSION" "kelvo_calibrate --version"
expect_eq "$("$BUILD/kelvo_scangen" --version)" "kelvo_scangen $VERSION" "kelvo_scangen --version"
expect_eq "$(bash "$BUILD/installed/kelvo_reprocess" --version)" "kelvo_reprocess $VERSION" \
  "kelvo_reprocess --version"
expect_eq "$(bash "$SOURCE/scripts/reprocess.sh" --version)" \
  "kelvo_reprocess (not installed: the checkout's script)" "reprocess.sh --version"
for command in "$BUILD/kelvo_calibrate" "$BUILD/kelvo_scangen" "bash $BUILD/installed/kelvo_reprocess"; do
  help="$($command --help)" || fail "$command --help exited $?"
  case "$help" in usage:*) ;; *) fail "$command --help: no usage: $help" ;; esac
done

if [ "$(id -u)" -ne 0 ] || ! command -v dpkg >/dev/null || ! command -v lintian >/dev/null; then
  echo "SKIP: installing the package needs root, dpkg and lintian"
  exit 77
fi
for variable in KELVO_TEST_DB_HOST KELVO_TEST_DB_PORT KELVO_TEST_DB_USER KELVO_TEST_DB_PASSWORD; do
  [ -n "${!variable:-}" ] || fail "$variable is not set: source the database's env.sh"
done
if dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "install ok installed"; then
  fail "$PACKAGE is installed already on this machine; remove it first"
fi

WORK="$(mktemp -d)"
DB="kelvo_t_package_$$"
sql() { mariadb --no-defaults --protocol=TCP -h"$KELVO_TEST_DB_HOST" -P"$KELVO_TEST_DB_PORT" \
          -u"$KELVO_TEST_DB_USER" -p"$KELVO_TEST_DB_PASSWORD" "$@"; }
cleanup() {
  PATH=/usr/sbin:/usr/bin:/sbin:/bin dpkg --purge "$PACKAGE" >/dev/null 2>&1 || true
  sql -e "DROP DATABASE IF EXISTS $DB" >/dev/null 2>&1 || true
  rm -rf "$WORK"
}
trap cleanup EXIT

# --- the package
cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/package" >"$WORK/cpack.log" 2>&1 \
  || { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
DEB="$WORK/package/${PACKAGE}_${VERSION}_amd64.deb"
[ -f "$DEB" ] || fail "no $DEB: $(ls "$WORK/package")"
depends="$(dpkg-deb -f "$DEB" Depends)"
echo "Depends: $depends"
for needed in parallel jq mariadb-client-core fonts-dejavu-core libmysqlcppconn7v5 libpcl-common; do
  case ", $depends" in *", $needed"*) ;; *) fail "Depends lacks $needed" ;; esac
done
case "$depends" in *-dev* | *mariadb-server*) fail "Depends names a build or server package" ;; esac
lintian --fail-on error --tag-display-limit 0 "$DEB" | tee "$WORK/lintian.log" \
  || fail "lintian found errors"

dpkg -i "$DEB" >"$WORK/dpkg.log" 2>&1 || { cat "$WORK/dpkg.log" >&2; fail "dpkg -i failed"; }
for file in /usr/bin/kelvo_tools /usr/bin/kelvo_calibrate /usr/bin/kelvo_scangen /usr/bin/kelvo_reprocess \
            /usr/lib/kelvo_tools/libkelvo_snapshot.so /usr/share/kelvo-tools/schema.sql \
            /usr/share/doc/kelvo-tools/examples/kelvo_tools.json /usr/share/doc/kelvo-tools/docs/install.md; do
  [ -e "$file" ] || fail "the package installs no $file"
done
# Nothing installed may lead back into the build or source folder.
if grep -rlF -e "$BUILD" -e "$SOURCE" /usr/bin/kelvo_* /usr/lib/kelvo_tools; then
  fail "installed files name the build or source folder"
fi
for page in kelvo_tools kelvo_calibrate kelvo_scangen kelvo_reprocess; do
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man -l $page: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "kelvo_tools $VERSION" \
    || fail "manual page $page does not show version $VERSION"
done
expect_eq "$(/usr/bin/kelvo_reprocess --version)" "kelvo_reprocess $VERSION" "installed kelvo_reprocess --version"

# --- a station: an empty folder, its bootstrap file, a database of its own
sql -e "CREATE DATABASE $DB"
sql "$DB" </usr/share/kelvo-tools/schema.sql
STATION="$WORK/station"
DATA="$WORK/data"
SID=S20261209
mkdir -p "$STATION" "$DATA/$SID"
cat >"$STATION/kelvo_tools.json" <<JSON
{ "config": { "database": { "server": "$KELVO_TEST_DB_HOST", "port": $KELVO_TEST_DB_PORT,
  "database": "$DB", "username": "$KELVO_TEST_DB_USER", "password": "$KELVO_TEST_DB_PASSWORD" } } }
JSON
cd "$STATION"
export PATH=/usr/bin:/bin
unset KELVO_TOOLS_BIN

kelvo_scangen box-on-pallet "$DATA/$SID/S1.pcd" --box 0.6x0.4x0.5 --angle 20 >"$WORK/truth.txt"
read -r A B C D < <(sed -n 's/^plane=//p' "$WORK/truth.txt")
sql "$DB" <<SQL
INSERT INTO session (sid, coeff_a, coeff_b, coeff_c, coeff_d) VALUES ('$SID', $A, $B, $C, $D);
INSERT INTO awbexport (ID, sid, AWB, NrPackages, pallet_op) VALUES (1, '$SID', 'PKG-1', 1, 2);
INSERT INTO pallets (id, product_name, h) VALUES (1, 'EPAL Euro pallet', 144);
INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES
  ('CONFIG', 'base.data.folder', '$DATA', 'S'), ('CONFIG', 'image.snapshot', '1', 'I'),
  ('CONFIG', 'pcl.color.map.type', '4', 'S');
SQL
sql "$DB" </usr/share/kelvo-tools/run-settings.sql

kelvo_tools -i 1 -d 1 >"$WORK/run.out" 2>"$WORK/run.err" \
  || { tail -5 "$WORK/run.out" "$WORK/run.err" >&2; fail "the installed tool failed"; }
[ ! -s "$WORK/run.err" ] || fail "the installed tool wrote to stderr: $(cat "$WORK/run.err")"
row() { sql -N -B "$DB" -e "SELECT CONCAT_WS(' ', ROUND(LPackage*1000), ROUND(WPackage*1000), ROUND(HPackage*1000)) FROM awbexport WHERE ID = 1"; }
read -r L W H <<<"$(row)"
for pair in "$L 600" "$W 400" "$H 500"; do
  set -- $pair
  [ "${1:-0}" -ge $(($2 - 15)) ] && [ "${1:-0}" -le $(($2 + 15)) ] || fail "stored row $L x $W x $H mm for 600 x 400 x 500"
done
for file in S1.pcd S1_0.wrl S1_1.wrl S1_2.wrl S1.png; do
  [ -s "$DATA/$SID/P/$file" ] || fail "no $DATA/$SID/P/$file"
done
expect_eq "$(head -c 8 "$DATA/$SID/P/S1.png" | od -An -tx1 | tr -d ' \n')" "89504e470d0a1a0a" "the picture's PNG signature"

kelvo_scangen empty-floor "$WORK/empty.pcd" >/dev/null
kelvo_calibrate floor "$WORK/empty.pcd" >"$WORK/floor.out" || { cat "$WORK/floor.out" >&2; fail "kelvo_calibrate floor failed"; }
grep -q '^plane a b c d: ' "$WORK/floor.out" || fail "kelvo_calibrate floor printed no plane: $(cat "$WORK/floor.out")"

sql "$DB" -e "UPDATE awbexport SET LPackage = NULL, WPackage = NULL, HPackage = NULL WHERE ID = 1"
kelvo_reprocess --ids 1-1 -- -d 1 >"$WORK/reprocess.out" 2>&1 \
  || { cat "$WORK/reprocess.out" >&2; fail "kelvo_reprocess failed"; }
grep -qx 'exit 0: 1 row' "$WORK/reprocess.out" || fail "kelvo_reprocess summary: $(cat "$WORK/reprocess.out")"
expect_eq "$(row)" "$L $W $H" "the row after kelvo_reprocess"

echo "installed package $PACKAGE $VERSION: lintian $(grep -c '^W:' "$WORK/lintian.log" || true) warnings; runs passed"
