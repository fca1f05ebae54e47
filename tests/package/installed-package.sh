#!/usr/bin/env bash
# The Debian package as a station gets it: built with cpack from the build
# folder, checked by lintian, then the quick start of docs/install.md run
# command by command as the page gives them (every ```sh block of that
# section, in order) against a MariaDB server of its own, and the results
# checked; the package is purged at the end. The build tree's --help and
# --version are checked first, everywhere; the package part needs root, dpkg
# and lintian (exit 77: skipped), and /srv/kelvo must not exist.
# Usage: installed-package.sh BUILD_DIR SOURCE_DIR
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
expect_eq "$("$BUILD/kelvo_tools" --version)" "kelvo_tools $VERSION" "kelvo_tools --version"
# The listing needs no bootstrap file: from an empty folder it comes before the refusal.
EMPTY="$(mktemp -d)"
help="$(cd "$EMPTY" && "$BUILD/kelvo_tools" --help -c absent.json 2>/dev/null)" && fail "kelvo_tools --help without a bootstrap file exited 0"
rmdir "$EMPTY"
case "$help" in "Available options:"*) ;; *) fail "kelvo_tools --help: no option list: $help" ;; esac
for command in "$BUILD/kelvo_calibrate" "$BUILD/kelvo_scangen" "bash $BUILD/installed/kelvo_reprocess"; do
  help="$($command --help)" || fail "$command --help exited $?"
  case "$help" in usage:*) ;; *) fail "$command --help: no usage: $help" ;; esac
done

if [ "$(id -u)" -ne 0 ] || ! command -v dpkg >/dev/null || ! command -v lintian >/dev/null; then
  echo "SKIP: installing the package needs root, dpkg and lintian"
  exit 77
fi
if dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null | grep -q "install ok installed"; then
  fail "$PACKAGE is installed already on this machine; remove it first"
fi
[ ! -e /srv/kelvo ] || fail "/srv/kelvo exists: the quick start would use it"
had_group=0
getent group kelvo >/dev/null && had_group=1

WORK="$(mktemp -d)"
cleanup() {
  PATH=/usr/sbin:/usr/bin:/sbin:/bin dpkg --purge "$PACKAGE" >/dev/null 2>&1 || true
  [ "$had_group" = 1 ] || PATH=/usr/sbin:/usr/bin:/sbin:/bin delgroup --quiet kelvo >/dev/null 2>&1 || true
  bash "$SOURCE/scripts/db-stop.sh" "$WORK/db" >/dev/null 2>&1 || true
  rm -rf /srv/kelvo "$WORK"
}
trap cleanup EXIT

# --- the package
cpack --config "$BUILD/CPackConfig.cmake" -B "$WORK/package" >"$WORK/cpack.log" 2>&1 \
  || { cat "$WORK/cpack.log" >&2; fail "cpack failed"; }
DEB="$WORK/package/${PACKAGE}_${VERSION}_amd64.deb"
[ -f "$DEB" ] || fail "no $DEB: $(ls "$WORK/package")"
rm -rf "$WORK/package/_CPack_Packages"
depends="$(dpkg-deb -f "$DEB" Depends)"
echo "Depends: $depends"
for needed in adduser parallel jq mariadb-client-core fonts-dejavu-core libmysqlcppconn7v5 libpcl-common; do
  case ", $depends" in *", $needed"*) ;; *) fail "Depends lacks $needed" ;; esac
done
case "$depends" in *-dev* | *mariadb-server*) fail "Depends names a build or server package" ;; esac
lintian -I -E --pedantic --tag-display-limit 0 "$DEB" >"$WORK/lintian.log" 2>&1 || true
cat "$WORK/lintian.log"
! grep -q '^[EW]: ' "$WORK/lintian.log" || fail "lintian found errors or warnings"
dpkg-deb -e "$DEB" "$WORK/control"
expect_eq "$(cat "$WORK/control/conffiles")" "/etc/kelvo-tools/kelvo_tools.json" "the conffiles"
! grep -l ldconfig "$WORK/control/"* || fail "a maintainer script calls ldconfig"

# --- the station's database server: one of its own, bare, reached as root
bash "$SOURCE/scripts/db-start.sh" "$WORK/db" >"$WORK/db-start.log" 2>&1 \
  || { cat "$WORK/db-start.log" >&2; fail "no database server"; }
. "$WORK/db/env.sh"
export HOME="$WORK/home"
mkdir -p "$HOME"
printf '[client]\nsocket=%s\nuser=root\n' "$KELVO_TEST_DB_SOCKET" >"$HOME/.my.cnf"
mariadb -e "DROP DATABASE kelvo; DROP USER 'kelvo'@'127.0.0.1'; DROP USER 'kelvo'@'localhost'"

# --- the quick start, block by block
awk '/^## Quick start/ { on = 1; next } /^## / { on = 0 }
     on && /^```sh$/ { n++; file = sprintf("%s/block-%02d.sh", dir, n); printf "" > file; inside = 1; next }
     on && /^```$/ { inside = 0; next }
     inside { print >> file }' dir="$WORK" "$SOURCE/docs/install.md"
blocks=("$WORK"/block-*.sh)
[ "${#blocks[@]}" -ge 8 ] || fail "the quick start has ${#blocks[@]} command blocks"
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
unset KELVO_TOOLS_BIN
cd "$WORK/package"
for block in "${blocks[@]}"; do
  name="$(basename "$block" .sh)"
  bash -euo pipefail "$block" >"$WORK/$name.out" 2>&1 \
    || { cat "$block" "$WORK/$name.out" >&2; fail "quick start $name failed"; }
  # Step 3 edits the bootstrap file by hand: this server listens on its own port.
  if grep -q "CREATE USER" "$block"; then
    jq ".config.database.port = $KELVO_TEST_DB_PORT" /etc/kelvo-tools/kelvo_tools.json >"$WORK/bootstrap.json"
    cat "$WORK/bootstrap.json" >/etc/kelvo-tools/kelvo_tools.json
  fi
done
cmp "$SOURCE/docs/install.md" /usr/share/doc/kelvo-tools/docs/install.md || fail "the installed install.md differs"

# --- what the quick start left
expect_eq "$(stat -c '%U %G %a' /etc/kelvo-tools/kelvo_tools.json)" "root kelvo 640" "the bootstrap file's owner and mode"
for file in /usr/bin/kelvo_tools /usr/bin/kelvo_calibrate /usr/bin/kelvo_scangen /usr/bin/kelvo_reprocess \
            /usr/lib/kelvo_tools/libkelvo_snapshot.so /usr/share/kelvo-tools/schema.sql \
            /usr/share/kelvo-tools/station-seed.sql /usr/share/doc/kelvo-tools/examples/kelvo_tools.json; do
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
out() { cat "$WORK/block-$1.out"; }
block_of() { grep -l -e "$1" "$WORK"/block-*.sh | head -1 | sed 's/.*block-\(.*\)\.sh/\1/'; }
grep -qx "kelvo_tools $VERSION" <<<"$(out "$(block_of 'kelvo_tools --version')")" || fail "kelvo_tools --version in the quick start"
grep -q "Default configuration:" <<<"$(out "$(block_of 'kelvo_tools --help')")" || fail "kelvo_tools --help shows no settings"
grep -q '^Written: ' <<<"$(out "$(block_of 'kelvo_calibrate floor')")" || fail "kelvo_calibrate floor wrote nothing"
grep -q '^Written: 6 decode rows' <<<"$(out "$(block_of 'kelvo_calibrate box')")" || fail "kelvo_calibrate box wrote nothing"
grep -q '^RESULT: within +-5 mm' <<<"$(out "$(block_of 'kelvo_calibrate check')")" || fail "the check box is outside the division"
SCANS=/srv/kelvo/scans/S0001
row() { mariadb -N -B kelvo -e "SELECT CONCAT_WS(' ', ROUND(LPackage*1000), ROUND(WPackage*1000), ROUND(HPackage*1000)) FROM awbexport WHERE ID = $1"; }
read -r L W H <<<"$(row 1)"
for pair in "$L 800" "$W 600" "$H 600"; do
  set -- $pair
  [ "${1:-0}" -ge $(($2 - 10)) ] && [ "${1:-0}" -le $(($2 + 10)) ] || fail "stored row $L x $W x $H mm for 800 x 600 x 600"
done
for file in P/S1.pcd P/S1_0.wrl P/S1_1.wrl P/S1_2.wrl P/S1.png P/S2.png 2/S1.json 2/S2.json 2/S1.png 2/S2.png; do
  [ -s "$SCANS/$file" ] || fail "no $SCANS/$file"
done
expect_eq "$(head -c 8 "$SCANS/P/S1.png" | od -An -tx1 | tr -d ' \n')" "89504e470d0a1a0a" "the picture's PNG signature"
grep -qx 'exit 0: 2 rows' <<<"$(out "$(block_of kelvo_reprocess)")" || fail "kelvo_reprocess summary: $(out "$(block_of kelvo_reprocess)")"
expect_eq "$(row 1)" "$L $W $H" "row 1 after kelvo_reprocess"
expect_eq "$(/usr/bin/kelvo_reprocess --version)" "kelvo_reprocess $VERSION" "installed kelvo_reprocess --version"

dpkg --purge "$PACKAGE" >"$WORK/purge.log" 2>&1 || { cat "$WORK/purge.log" >&2; fail "dpkg --purge failed"; }
[ ! -e /etc/kelvo-tools/kelvo_tools.json ] || fail "purge left the bootstrap file"
! dpkg-statoverride --list /etc/kelvo-tools/kelvo_tools.json >/dev/null || fail "purge left the file's override"

echo "installed package $PACKAGE $VERSION: lintian $(grep -c '^I: ' "$WORK/lintian.log" || true) infos, no warning; quick start passed"
