#!/usr/bin/env bash
# Scene families of whole runs: stations set up the documented way, then
# measured as they are level, with the camera moved since, with goods partly
# out of view, and without a cut. Run by hand, never in the test suite.
#
# Per camera (families.py cameras: two stations, 2.5 m and 1.8 m over the
# floor, the second wider with a finer floor removal and a pallet on feet;
# range noise sigma1 at 1 m per station, the last needing a larger correction
# height), on a throwaway MariaDB (.db-families): kelvo_calibrate floor on the
# camera's empty station (--write: session plane, pallet.correction.height,
# floor.noise.band), kelvo_calibrate box on three scans of a 600x400x500 box
# on the 144 mm pallet (--write), then the camera's cases, each scanned with
# kelvo_scangen --camera into a session carrying the calibrated plane:
#   level  goods wholly in view, on the pallet (-d 1) and on the floor (-e 2)
#   nocut  the floor cases run with -e 0
#   moved  the camera moved toward the floor (+) or away (-) by 10, 20, 40 mm
#          since the calibration: the scanner's floor removal and the session
#          keep the old plane
#   view   10, 25 and 40 % of the box's top face beyond the image's right or top edge
#   goods  goods that are no tall box, each by its enclosing box (families.py): flat
#          boxes 10 to 60 mm high on the pallet (-d 1) and on the floor (-e 2), a dome,
#          a cylinder lying down, a bag and a wedge; on every camera, stations A and B
#          at sigma1 0.25, 0.5 and 1 mm (cameras 6 and 7 add B's 0.25 and 1 and run the
#          goods only); at sigma1 0.25 the flat boxes on the floor also with the floor
#          kept in the scan (kelvo_scangen --keep-floor). Reported per shape: stored
#          within 5 and 10 mm, under by more than 5 mm or over by more than 15 mm on
#          any of L, W, H, refused, stored with exit 0 beyond 50 mm.
# Prints per family the runs that exit 0 with an error beyond 50 mm and beyond
# 10 mm, and the refusals by kind; every run is in DIR/families-bench/results.tsv.
#
# With --unorganized every scan (the empty station's, the reference box's and
# the cases') drops its pixels without a return and comes as one row, as from
# a scanner that delivers no image: kelvo_calibrate floor --write then also
# sets the station's measuring zone (floor.zone.*), which checks those scans
# for goods out of view instead of the image's border.
#
# Usage: bench/accuracy/families.sh [--quick] [--unorganized] [--build DIR] [--camera N]
#                                   [--family NAME] [--set KEY=VALUE]... [--keep]
#   --quick     three boxes instead of six (the box families 450 runs, some 10 minutes;
#               the goods 314 runs: the shaped goods also 0.3 m off the axis)
#   --camera N  that camera's station and cases only
#   --family NAME  that family's cases only (level, nocut, moved, view or goods);
#               cameras without any are skipped
#   --set KEY=VALUE  an extra decode row for every run, as in run.sh
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$ROOT/build"
QUICK=""
KEEP=0
ONLY=""
FAMILY=()
SETTINGS=()
LAYOUT=()
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) QUICK=--quick ;;
    --unorganized) LAYOUT=(--unorganized) ;;
    --build) BUILD="$2"; shift ;;
    --camera) ONLY="$2"; shift ;;
    --family) FAMILY=(--family "$2"); shift ;;
    --set) SETTINGS+=("$2"); shift ;;
    --keep) KEEP=1 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "families: unknown option $1" >&2; exit 1 ;;
  esac
  shift
done
# shellcheck source=../bench-db.sh
source "$ROOT/bench/bench-db.sh"
bench_build families kelvo_tools kelvo_scangen kelvo_calibrate
DBDIR="$ROOT/.db-families"
WORK="$BUILD/families-bench"
DATA="$WORK/data"
RESULTS="$WORK/results.tsv"
PALLET_ID=1

bench_start_work "$PALLET_ID" 144
set_decodes families "${SETTINGS[@]}"

# The scan of one scene by the camera; prints the scan's plane line.
scan() {
  local out="$1" scene="$2"
  shift 2
  "$BUILD/kelvo_scangen" "$scene" "$out" "$@" "${LAYOUT[@]}" | sed -n 's/^plane=//p'
}

printf '# families: %s%s%s\n' "${QUICK:-full}" "${LAYOUT[*]:+ ${LAYOUT[*]}}" "${FAMILY[*]:+ ${FAMILY[*]}}" >"$RESULTS"
printf 'id\tfamily\tstation\tsigma1\tbox\tangle\tcentre\tsupport\tmode\tparam\tstatus\tL\tW\tH\treason\n' >>"$RESULTS"

while read -r camera station sigma; do
  [ -z "$ONLY" ] || [ "$ONLY" = "$camera" ] || continue
  CASES="$(python3 "$HERE/families.py" cases "$camera" $QUICK "${FAMILY[@]}")"
  [ -n "$CASES" ] || continue
  sid="cam$camera"
  opts="$(python3 -c "import sys; sys.path.insert(0, '$HERE'); import families; print(families.STATIONS['$station']['options'])")"
  metres="$(awk -v s="$sigma" 'BEGIN {print s / 1000}')"
  # shellcheck disable=SC2206
  cam=(--sigma1 "$metres" $opts)
  feet=()
  [ "$station" = B ] && feet=(--pallet-feet)
  sql -e "DELETE FROM decode WHERE decclass = 'FINE TUNE' OR deckey IN ('pallet.correction.height', 'floor.noise.band')
                                OR deckey LIKE 'floor.zone.%';
          INSERT INTO decode (decclass, deckey, decvalue, dectype) VALUES ('CONFIG', 'pallet.correction.height', '10', 'D');
          DELETE FROM session WHERE sid = '$sid'; INSERT INTO session VALUES ('$sid', 0, 0, 0, 0);"
  mkdir -p "$DATA/$sid"
  scan "$DATA/$sid/empty.pcd" empty-floor "${cam[@]}" --seed "$camera" >/dev/null
  (cd "$WORK" && "$BUILD/kelvo_calibrate" floor "$DATA/$sid/empty.pcd" -s "$sid" --write) >"$WORK/floor-$camera.log" 2>&1 ||
    { echo "families: floor calibration of camera $camera failed, see $WORK/floor-$camera.log" >&2; exit 1; }
  read -r A B C D < <(sed -n 's/^plane a b c d: //p' "$WORK/floor-$camera.log")
  refs=()
  for angle in 0 15 30; do
    scan "$DATA/$sid/ref$angle.pcd" box-on-pallet --camera "${cam[@]}" "${feet[@]}" --box 0.6x0.4x0.5 \
      --angle "$angle" --seed "$((camera * 100 + angle))" >/dev/null
    refs+=("$DATA/$sid/ref$angle.pcd")
  done
  box="written"
  (cd "$WORK" && "$BUILD/kelvo_calibrate" box --size 600x400x500 -s "$sid" "${refs[@]}" -d "$PALLET_ID" --write) \
    >"$WORK/box-$camera.log" 2>&1 || box="refused: $(grep -m 1 ERROR "$WORK/box-$camera.log" || true)"
  printf '# camera %s: station %s sigma1 %s mm; %s; %s;%s box calibration %s\n' "$camera" "$station" "$sigma" \
    "$(grep -m 1 '^pallet.correction.height' "$WORK/floor-$camera.log")" \
    "$(grep -m 1 '^floor.noise.band' "$WORK/floor-$camera.log")" \
    "$(sed -n 's/^floor.zone.\(.*\): \(.*\) m$/ \1 \2/p' "$WORK/floor-$camera.log" | tr -d '\n')" "$box" >>"$RESULTS"

  while read -r id family boxsize angle centre support mode param; do
    # Goods name their shape in param; flat goods are boxes.
    shape=box
    [ "$family" = goods ] && [ "${param#flat}" = "$param" ] && shape="$param"
    scene="$shape-on-floor" extra=()
    [ "$support" = pallet ] && scene="$shape-on-pallet" extra=("${feet[@]}")
    [ "$param" = flat-kept ] && extra+=(--keep-floor)
    [ "$family" = moved ] && extra+=(--moved "$(awk -v m="$param" 'BEGIN {print m / 1000}')")
    scan "$DATA/$sid/S$id.pcd" "$scene" --camera "${cam[@]}" "${extra[@]}" --box "$boxsize" --angle "$angle" \
      --centre "$centre" --seed "$id" >/dev/null
    mkdir -p "$DATA/c$id"
    mv "$DATA/$sid/S$id.pcd" "$DATA/c$id/S1.pcd"
    cut=(-d "$PALLET_ID")
    [ "$mode" = -e2 ] && cut=(-e 2)
    [ "$mode" = -e0 ] && cut=(-e 0)
    sql -e "DELETE FROM session WHERE sid = 'c$id'; DELETE FROM awbexport WHERE ID = $id;
            INSERT INTO session VALUES ('c$id', $A, $B, $C, $D);
            INSERT INTO awbexport (ID, sid, NrPackages, pallet_op) VALUES ($id, 'c$id', 1, 2);"
    status=0
    (cd "$WORK" && "$BUILD/kelvo_tools" -i "$id" "${cut[@]}" >"$WORK/run.log" 2>&1) || status=$?
    reason="-"
    [ "$status" = 0 ] || reason="$(grep -m 1 -E 'ERROR|Nothing' "$WORK/run.log" | tr '\t' ' ' || true)"
    # A run that ends without a message (killed by a signal: status 128 + N) is named by its status.
    [ -n "$reason" ] || reason="exit $status without a message$([ "$status" -gt 128 ] && echo " (signal $((status - 128)))" || true)"
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$family" "$station" "$sigma" "$boxsize" \
      "$angle" "$centre" "$support" "$mode" "$param" "$status" \
      "$(sql -e "SELECT LPackage, WPackage, HPackage FROM awbexport WHERE ID = $id")" "${reason:--}" >>"$RESULTS"
    rm -rf "${DATA:?}/c$id"
    printf '\rcamera %s case %s' "$camera" "$id" >&2
  done <<<"$CASES"
  rm -rf "${DATA:?}/$sid"
done < <(python3 "$HERE/families.py" cameras)
printf '\n' >&2

python3 "$HERE/families.py" report "$RESULTS"
