#!/usr/bin/env bash
# A first run on a fresh machine: installs the packages, builds the tool and
# the scan generator, starts a throwaway MariaDB, seeds one shipment whose
# scan is two boxes on a pallet, runs a depallet-and-split run on it, shows
# the updated row, the files written and the pictures of the measurements,
# and stops the database.
# Usage: scripts/demo.sh   (results stay in build/demo/)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
BUILD="${KELVO_BUILD_DIR:-$ROOT/build}"
JOBS="${KELVO_JOBS:-$(nproc)}"

step() { printf '\n==> %s\n' "$*"; }

step "Installing packages"
bash scripts/install-deps.sh

step "Building kelvo_tools, kelvo_scangen and kelvo_calibrate"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target kelvo_tools kelvo_scangen kelvo_calibrate -j"$JOBS"

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
-- Rainbow colours from 100 mm above the floor (blue) to 700 mm (red): the
-- goods stand 144 mm to 644 mm above it.
INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES
  ('CONFIG', 'pcl.color.map.type', '4', 'S'),
  ('CONFIG', 'pcl.min.color.map', '100', 'D'),
  ('CONFIG', 'pcl.max.color.map', '700', 'D');
-- A picture (PNG) beside every cloud file the run writes.
INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES ('CONFIG', 'image.snapshot', '1', 'I');
-- Precise mode, recommended for new stations: the inbound box fitted to the
-- goods' faces, calibrated below in the same mode (docs/calibration.md).
INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES ('CONFIG', 'inbound.precise', '1', 'I');
SQL
sql <"$ROOT/scripts/run-settings.sql"

# --- Calibration: the station is set up before it measures.
calibrate() { (cd "$WORK" && "$BUILD/kelvo_calibrate" "$@"); }
step "Calibrating 1/3, the plane: a raw depth-camera scan of the empty station"
"$BUILD/kelvo_scangen" empty-floor "$WORK/empty-floor.pcd" >/dev/null
calibrate floor "$WORK/empty-floor.pcd" -s "$SID" --write | sed -n '2,7p;$p'

step "Calibrating 2/3, the reference box: three scans of a 600 x 400 x 500 mm box on the pallet"
REF_SID="demo-reference"
mkdir -p "$DATA/$REF_SID"
sql -e "INSERT INTO session (sid, coeff_a, coeff_b, coeff_c, coeff_d) VALUES ('$REF_SID', $A, $B, $C, $D);"
REF_ROWS=()
CHECK_ROWS=()
for k in 1 2 3 4 5; do
  if [ "$k" -le 3 ]; then BOX=0.6x0.4x0.5; REF_ROWS+=(-i $((100 + k))); else BOX=0.5x0.35x0.3; CHECK_ROWS+=(-i $((100 + k))); fi
  "$BUILD/kelvo_scangen" box-on-pallet "$DATA/$REF_SID/S$k.pcd" --box "$BOX" --angle $((k * 17 - 5)) \
    --seed $((k + 100)) >/dev/null
  sql -e "INSERT INTO awbexport (ID, sid, AWB, NrPackages) VALUES ($((100 + k)), '$REF_SID', 'CAL-$k', $k);"
done
echo "Before: two scans of a 500 x 350 x 300 mm check box, no corrections in force"
calibrate check --size 500x350x300 "${CHECK_ROWS[@]}" -d "$PALLET" | sed -n '/^scan/,$p' || true
calibrate box --size 600x400x500 "${REF_ROWS[@]}" -d "$PALLET" --write | tee "$WORK/calibration.log" |
  sed -n '/^Inbound box/,/^spread/p;/^Corrections/,/^real/p;$p'

step "Calibrating 3/3, the check box: the same two scans with the corrections written"
calibrate check --size 500x350x300 "${CHECK_ROWS[@]}" -d "$PALLET" | sed -n '/^scan/,$p'
# --- end of calibration

step "Running: kelvo_tools --index $ID --depallet_by_id $PALLET --split (output in $WORK/run.log and run.err)"
if ! (cd "$WORK" && "$BUILD/kelvo_tools" --index "$ID" --depallet_by_id "$PALLET" --split) \
       >"$WORK/run.log" 2>"$WORK/run.err"; then
  echo "The run failed:" >&2
  tail -n 5 "$WORK/run.log" "$WORK/run.err" >&2
  exit 1
fi
grep -E '^(Found!:|Begin depallet|Begin split|Split: |Nothing to split)' "$WORK/run.log"
if [ -s "$WORK/run.err" ]; then
  echo "The run wrote to standard error:" >&2
  cat "$WORK/run.err" >&2
fi

step "The row after the run"
sql -e "SELECT ID, pallet_op, HPackage, LPackage, WPackage, Inbound, RealVolume,
               InboundVolumeSurface, RealVolumeSurface FROM awbexport WHERE ID = $ID\G"

step "Files written (the scan $SID/S$NR.pcd is left as delivered)"
(cd "$DATA" && find . -type f | sort)

step "Pictures of the measurements (open them with any image viewer)"
find "$DATA/$SID" -name '*.png' | sort

step "Measurements of cluster 1 ($DATA/$SID/$ID/S1.json)"
grep -E '"(id|n|parent_id|H|L|W|vol_[a-z]+)" :' "$DATA/$SID/$ID/S1.json"

step "Measured beside the true sizes (the generator's truth; error = measured - true)"
json() { sed -n "s/^ *\"$2\" : \([-0-9.e+]*\),\{0,1\}\$/\1/p" "$1" | head -n 1; }
{
  cat "$WORK/scan-truth.txt"
  echo "row $(sql -N -B -e "SELECT HPackage FROM awbexport WHERE ID = $ID")"
  for f in "$DATA/$SID/$ID"/S*.json; do
    echo "cluster $(json "$f" n) $(json "$f" L) $(json "$f" W) $(json "$f" H) $(json "$f" vol_package)"
  done
} | awk '
  function mm(x) { return sprintf("%+.0f", x * 1000) }
  function dims(l, w, h) { return sprintf("%.3f x %.3f x %.3f", l, w, h) }
  /^goods_height=/ { split($0, a, "="); gh = a[2] }
  /^box[0-9]+=/ { n++; split($1, a, "="); name[n] = a[1]; l[n] = a[2]; w[n] = $2; h[n] = $3 }
  /^row / { rh = $2 }
  /^cluster / { m++; k[m] = $2; cl[m] = ($3 > $4 ? $3 : $4); cw[m] = ($3 > $4 ? $4 : $3); ch[m] = $5; cv[m] = $6 }
  END {
    printf "%-24s %-24s %-24s %s\n", "L x W x H", "true (m)", "measured (m)", "error (mm)"
    printf "%-24s %-24.3f %-24.3f %s\n", "goods height (the row)", gh, rh, mm(rh - gh)
    for (j = 1; j <= m; j++) {
      best = 0
      for (i = 1; i <= n; i++) {
        d = l[i] * w[i] - cl[j] * cw[j]; if (d < 0) d = -d
        if (!best || d < bestd) { best = i; bestd = d }
      }
      i = best
      printf "%-24s %-24s %-24s %s %s %s\n", name[i] " = cluster " k[j],
             dims(l[i], w[i], h[i]), dims(cl[j], cw[j], ch[j]), mm(cl[j] - l[i]), mm(cw[j] - w[i]), mm(ch[j] - h[i])
      printf "%-24s %-24s %-24s %+.1f %%\n", "  volume (m3, hull)", sprintf("%.4f", l[i] * w[i] * h[i]),
             sprintf("%.4f", cv[j]), 100 * (cv[j] / (l[i] * w[i] * h[i]) - 1)
    }
  }'

step "Done; the generator's truth is in $WORK/scan-truth.txt, the run's output in $WORK/run.log"
