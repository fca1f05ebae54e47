#!/usr/bin/env bash
# A first run on a fresh machine: installs the packages, builds the tool and
# the scan generator, starts a throwaway MariaDB, seeds one shipment whose
# scan is two boxes on a pallet, runs a depallet-and-split run on it, shows
# the updated row and the files written, and stops the database.
# Usage: scripts/demo.sh   (results stay in build/demo/)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
BUILD="${KELVO_BUILD_DIR:-$ROOT/build}"
JOBS="${KELVO_JOBS:-$(nproc)}"

step() { printf '\n==> %s\n' "$*"; }

step "Installing packages"
bash scripts/install-deps.sh

step "Building kelvo_tools and kelvo_scangen"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target kelvo_tools kelvo_scangen -j"$JOBS"

step "Starting a throwaway MariaDB"
DBDIR="$ROOT/.db-demo"
bash scripts/db-stop.sh "$DBDIR" >/dev/null 2>&1 || true
bash scripts/db-start.sh "$DBDIR"
trap 'bash "$ROOT/scripts/db-stop.sh" "$DBDIR"' EXIT
# shellcheck disable=SC1091
source "$DBDIR/env.sh"
sql() { mariadb --no-defaults --socket="$KELVO_TEST_DB_SOCKET" -u"$KELVO_TEST_DB_USER" \
          -p"$KELVO_TEST_DB_PASSWORD" "$KELVO_TEST_DB_NAME" "$@"; }

WORK="$BUILD/demo"
DATA="$WORK/data"
SID="demo-20240501"
ID=1
NR=1
PALLET=1
rm -rf "$WORK"
mkdir -p "$DATA/$SID"
cp "$KELVO_TEST_CONFIG" "$WORK/kelvo_tools.json"

step "Generating a scan: two boxes side by side on a Euro pallet"
"$BUILD/kelvo_scangen" pallet-side-by-side "$DATA/$SID/S$NR.pcd" --angle 25 | tee "$WORK/scan-truth.txt"
read -r A B C D < <(sed -n 's/^plane=//p' "$WORK/scan-truth.txt")

step "Seeding the shipment: session with its floor plane, the row, the pallet, the settings"
sql <<SQL
INSERT INTO session (sid, coeff_a, coeff_b, coeff_c, coeff_d) VALUES ('$SID', $A, $B, $C, $D);
INSERT INTO awbexport (ID, sid, AWB, NrPackages, pallet_op) VALUES ($ID, '$SID', 'DEMO-AWB-1', $NR, 2);
INSERT INTO pallets (id, product_name, h) VALUES ($PALLET, 'EPAL Euro pallet', 144);
INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES ('CONFIG', 'base.data.folder', '$DATA', 'S');
SQL
sql <"$ROOT/scripts/run-settings.sql"

step "Running: kelvo_tools --index $ID --depallet_by_id $PALLET --split (output in $WORK/run.log and run.err)"
if ! (cd "$WORK" && "$BUILD/kelvo_tools" --index "$ID" --depallet_by_id "$PALLET" --split) \
       >"$WORK/run.log" 2>"$WORK/run.err"; then
  echo "The run failed:" >&2
  tail -n 5 "$WORK/run.log" "$WORK/run.err" >&2
  exit 1
fi
grep -E '^(Found!:|Begin depallet|Begin split|Split: |Nothing to split)' "$WORK/run.log"

step "The row after the run"
sql -e "SELECT ID, pallet_op, HPackage, LPackage, WPackage, Inbound, RealVolume,
               InboundVolumeSurface, RealVolumeSurface FROM awbexport WHERE ID = $ID\G"

step "Files written (the scan $SID/S$NR.pcd is left as delivered)"
(cd "$DATA" && find . -type f | sort)

step "Measurements of cluster 1 ($DATA/$SID/$ID/S1.json)"
grep -E '"(id|n|parent_id|H|L|W|vol_[a-z]+)" :' "$DATA/$SID/$ID/S1.json"

step "Done; compare with the generator's truth in $WORK/scan-truth.txt"
