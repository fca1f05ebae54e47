#!/usr/bin/env bash
# The station set-up of docs/calibration.md, end to end on depth-camera scans
# of kelvo_scangen, per camera noise and support: the plane and the pallet
# correction height from a raw scan of the empty station (kelvo_calibrate
# floor --write), the corrections from three scans of a 600 x 400 x 500 mm
# reference box (box --write), then check boxes of other sizes measured with
# no corrections and with the written ones (check). Against a throwaway
# MariaDB (.db-calbench). Run by hand, never in the test suite.
#
# Sweep: range noise sigma1 0.25, 0.5, 1 mm at 1 m; on a Euro pallet (-d 1)
# and on the floor; check boxes 0.3x0.3x0.3, 0.8x0.6x0.6 and 1x0.7x0.5 m,
# each at 20 and 50 degrees, 0.2 m off the centre.
#
# Usage: bench/calibration/run.sh [--build DIR] [--set KEY=VALUE]...
#   --set KEY=VALUE  a decode row for every step (class and type from
#                    docs/settings.md), e.g. --set inbound.precise=1
# Prints one line per noise and support: the pallet correction height the
# floor gave, the reference box's spread (mm, L/W/H), the largest error of the
# check boxes (mm, L/W/H) raw and calibrated, and the division the station
# can claim (5, 10 or none) raw and calibrated.
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$ROOT/build"
SETTINGS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) BUILD="$2"; shift ;;
    --set) SETTINGS+=("$2"); shift ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "calibration: unknown option $1" >&2; exit 1 ;;
  esac
  shift
done
# shellcheck source=../bench-db.sh
source "$ROOT/bench/bench-db.sh"
bench_build calibration kelvo_calibrate kelvo_scangen
DBDIR="$ROOT/.db-calbench"
WORK="$BUILD/calibration-bench"
DATA="$WORK/data"

bench_db_start
trap 'bench_db_stop; rm -rf "$DATA"' EXIT

rm -rf "$WORK"
mkdir -p "$DATA"
cp "$KELVO_TEST_CONFIG" "$WORK/kelvo_tools.json"
sql <"$ROOT/scripts/run-settings.sql"
sql -e "INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES ('CONFIG', 'base.data.folder', '$DATA', 'S');
        INSERT INTO pallets (id, product_name, h) VALUES (1, 'Euro pallet', 144);"
set_decodes calibration "${SETTINGS[@]}"
calibrate() { (cd "$WORK" && "$BUILD/kelvo_calibrate" "$@"); }

CHECK_BOXES=(0.3x0.3x0.3 0.8x0.6x0.6 1x0.7x0.5)
ID=0
# Scans one box into a new row of session SID and adds "-i ID" to ROWS.
ROWS=()
scan_row() {
  local sid="$1" scene="$2" box="$3" angle="$4" centre="$5" sigma="$6"
  ID=$((ID + 1))
  mkdir -p "$DATA/$sid"
  "$BUILD/kelvo_scangen" "$scene" "$DATA/$sid/S$ID.pcd" --camera --box "$box" --angle "$angle" \
    --centre "$centre" --sigma1 "$sigma" --seed "$ID" >/dev/null
  sql -e "INSERT INTO awbexport (ID, sid, NrPackages, pallet_op) VALUES ($ID, '$sid', $ID, 0);"
  ROWS+=(-i "$ID")
}
# Largest |error| of the check table, "L/W/H".
largest() { awk '/^dimension/ {t = 1; next} t && /^[LWH] / {v[$1] = $2} END {printf "%s/%s/%s", v["L"], v["W"], v["H"]}'; }
# The largest errors of each check box with the settings in force: its two
# scans are the next four words (-i ID -i ID) of checks.
check_boxes() {
  local rows=("${checks[@]}") box size
  for box in "${CHECK_BOXES[@]}"; do
    size="$(awk -F x '{printf "%dx%dx%d", $1 * 1000, $2 * 1000, $3 * 1000}' <<<"$box")"
    printf '%s ' "$(calibrate check --size "$size" "${rows[@]:0:4}" "${cut[@]}" | largest)"
    rows=("${rows[@]:4}")
  done
}
division() {
  awk -F/ '{m = $1; if ($2 > m) m = $2; if ($3 > m) m = $3; print (m <= 5 ? "5" : m <= 10 ? "10" : "none")}'
}

printf '%-7s %-7s %5s  %-15s %-18s %-18s %s\n' sigma1 support corr "ref spread" "check raw" \
  "check calibrated" "division raw/calibrated"
for sigma in 0.00025 0.0005 0.001; do
  for support in pallet floor; do
    sid="cal-$sigma-$support"
    scene=box-on-pallet cut=(-d 1)
    [ "$support" = floor ] && scene=box-on-floor cut=()
    sql -e "DELETE FROM decode WHERE decclass = 'FINE TUNE';
            INSERT INTO session (sid, coeff_a, coeff_b, coeff_c, coeff_d) VALUES ('$sid', 0, 0, 1, -2.5);"
    "$BUILD/kelvo_scangen" empty-floor "$WORK/empty.pcd" --sigma1 "$sigma" >/dev/null
    corr="$(calibrate floor "$WORK/empty.pcd" -s "$sid" --write | sed -n 's/^pallet.correction.height: \([0-9]*\) mm$/\1/p')"
    ROWS=()
    for a in 10 35 70; do scan_row "$sid" "$scene" 0.6x0.4x0.5 "$a" 0,0 "$sigma"; done
    reference=("${ROWS[@]}")
    ROWS=()
    for box in "${CHECK_BOXES[@]}"; do
      for a in 20 50; do scan_row "$sid" "$scene" "$box" "$a" 0.2,0 "$sigma"; done
    done
    checks=("${ROWS[@]}")
    raw="$(check_boxes)"
    log="$(calibrate box --size 600x400x500 "${reference[@]}" "${cut[@]}" --write)" || true
    if ! grep -q '^Written:' <<<"$log"; then
      printf '%-7s %-7s %5s  box refused: %s\n' "$sigma" "$support" "$corr" "$log"
      continue
    fi
    spread="$(awk '/^Inbound box/ {t = 1} t && /^spread/ {printf "%s/%s/%s", $3, $4, $5; exit}' <<<"$log")"
    calibrated="$(check_boxes)"
    worst() { tr ' ' '\n' | awk -F/ 'NF == 3 {for (i = 1; i <= 3; i++) if ($i > m[i]) m[i] = $i}
                                      END {printf "%.1f/%.1f/%.1f", m[1], m[2], m[3]}'; }
    r="$(worst <<<"$raw")" c="$(worst <<<"$calibrated")"
    printf '%-7s %-7s %5s  %-15s %-18s %-18s %s/%s\n' "$sigma" "$support" "$corr" "$spread" "$r" "$c" \
      "$(division <<<"$r")" "$(division <<<"$c")"
  done
done
