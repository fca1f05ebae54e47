#!/usr/bin/env bash
# Accuracy of split runs: a pair of boxes side by side (0.6x0.4x0.5 and
# 0.4x0.3x0.3 m, 0.1 m apart), scanned by the depth camera of kelvo_scangen,
# each run by the real kelvo_tools (-e 2 -z on the floor, -d 1 -z on a Euro
# pallet) against a throwaway MariaDB (.db-split), every cluster's JSON file
# compared with the box whose footprint it matches. Run by hand, never in the
# test suite.
#
# Sweep (54 runs): three stations (the default camera 640x480 70x55 degrees;
# 848x480 87x58; 512x424 70x60), the pair turned 0, 20 and 45 degrees, range
# noise sigma1 0.25, 0.5 and 1 mm, on the floor and on the pallet. Each
# station is first calibrated as run.sh does: inbound corrections from one
# reference box (0.6x0.4x0.5 on the pallet, 30 degrees, sigma1 0.5 mm) set
# to true minus measured; the pair's runs use them.
#
# Usage: bench/split/run.sh [--build DIR] [--set KEY=VALUE]...
#   --set KEY=VALUE  a decode row for every run, e.g. --set inbound.precise=1
# Needs kelvo_tools and kelvo_scangen built in DIR (default build/). Prints
# every cluster's errors (mm, measured - true) and per mode of failure the
# count; the rows are in DIR/split-bench/results.tsv.
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
    *) echo "split: unknown option $1" >&2; exit 1 ;;
  esac
  shift
done
# shellcheck source=../bench-db.sh
source "$ROOT/bench/bench-db.sh"
bench_build split kelvo_tools kelvo_scangen
DBDIR="$ROOT/.db-split"
WORK="$BUILD/split-bench"
DATA="$WORK/data"
RESULTS="$WORK/results.tsv"
bench_start_work 1 144
set_decodes split "${SETTINGS[@]}"

STATIONS=("" "--resolution 848x480 --fov 87x58" "--resolution 512x424 --fov 70x60")

# scan ID SCENE ANGLE SIGMA1_MM STATION [SCANGEN OPTIONS]: the scan of row ID
# in session spl<ID>, with the session's plane as kelvo_scangen prints it.
scan() {
  local id="$1" scene="$2" angle="$3" sigma="$4" station="$5" plane
  shift 5
  # shellcheck disable=SC2086
  plane="$("$BUILD/kelvo_scangen" "$scene" "$DATA/spl$id/S1.pcd" --camera --angle "$angle" --seed "$id" \
             --sigma1 "$(awk -v s="$sigma" 'BEGIN {print s / 1000}')" $station "$@" | sed -n 's/^plane=//p')"
  read -r A B C D <<<"$plane"
  sql -e "DELETE FROM session WHERE sid = 'spl$id'; DELETE FROM awbexport WHERE ID = $id;
          INSERT INTO session VALUES ('spl$id', $A, $B, $C, $D);
          INSERT INTO awbexport (ID, sid, NrPackages, pallet_op) VALUES ($id, 'spl$id', 1, 2);"
}

printf 'station\tsupport\tangle\tsigma1\tstatus\tbox\tL\tW\tH\terrL\terrW\terrH\n' >"$RESULTS"
id=0
for s in 0 1 2; do
  station="${STATIONS[$s]}"
  sql -e "DELETE FROM decode WHERE deckey LIKE 'inbound.correction.%'"
  id=$((id + 1))
  scan "$id" box-on-pallet 30 0.5 "$station" --box 0.6x0.4x0.5
  (cd "$WORK" && "$BUILD/kelvo_tools" -i "$id" -d 1 >"$WORK/reference-$s.log" 2>&1) \
    || { echo "split: the reference run of station $((s + 1)) failed, see $WORK/reference-$s.log" >&2; exit 1; }
  read -r L W H < <(sql -e "SELECT LPackage, WPackage, HPackage FROM awbexport WHERE ID = $id")
  set_decode inbound.correction.l "$(awk -v v="$L" 'BEGIN {printf "%.6f", 0.6 - v}')"
  set_decode inbound.correction.w "$(awk -v v="$W" 'BEGIN {printf "%.6f", 0.4 - v}')"
  set_decode inbound.correction.h "$(awk -v v="$H" 'BEGIN {printf "%.6f", 0.5 - v}')"
  for support in floor pallet; do
    scene=side-by-side cut=(-e 2)
    [ "$support" = pallet ] && scene=pallet-side-by-side cut=(-d 1)
    for angle in 0 20 45; do
      for sigma in 0.25 0.5 1; do
        id=$((id + 1))
        scan "$id" "$scene" "$angle" "$sigma" "$station"
        status=0
        (cd "$WORK" && "$BUILD/kelvo_tools" -i "$id" "${cut[@]}" -z >"$WORK/run.log" 2>&1) || status=$?
        found=0
        for json in "$DATA/spl$id/$id"/S*.json; do
          [ -f "$json" ] || continue
          found=$((found + 1))
          read -r l w h < <(jq -r '.cloud_info | "\(.L) \(.W) \(.H)"' "$json")
          # The larger footprint is the 0.6 x 0.4 box.
          box=small tl=0.4 tw=0.3 th=0.3
          if awk -v l="$l" -v w="$w" 'BEGIN {exit !(l * w > 0.18)}'; then box=large tl=0.6 tw=0.4 th=0.5; fi
          printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$((s + 1))" "$support" "$angle" "$sigma" "$status" "$box" \
            "$l" "$w" "$h" "$(awk -v l="$l" -v w="$w" -v h="$h" -v a="$tl" -v b="$tw" -v c="$th" \
              'BEGIN {printf "%.1f\t%.1f\t%.1f", (l - a) * 1000, (w - b) * 1000, (h - c) * 1000}')" >>"$RESULTS"
        done
        [ "$found" = 2 ] || { printf '%s\t%s\t%s\t%s\t%s\t%s clusters\t\t\t\t\t\t\n' "$((s + 1))" "$support" "$angle" \
          "$sigma" "$status" "$found" >>"$RESULTS"; cp "$WORK/run.log" "$WORK/refused-$id.log"; }
        rm -rf "$DATA/spl$id"
      done
    done
  done
done

python3 - "$RESULTS" <<'PY'
import sys, csv
rows = list(csv.DictReader(open(sys.argv[1]), delimiter='\t'))
measured = [r for r in rows if r['L']]
other = [r for r in rows if not r['L']]
print(f"{len(measured)} clusters measured, {len(other)} runs without two clusters")
def worst(rs):
    return max((max(abs(float(r[k])) for k in ('errL', 'errW', 'errH')) for r in rs), default=float('nan'))
for support in ('floor', 'pallet'):
    for sigma in ('0.25', '0.5', '1'):
        rs = [r for r in measured if r['support'] == support and r['sigma1'] == sigma]
        w5 = sum(all(abs(float(r[k])) <= 5 for k in ('errL', 'errW', 'errH')) for r in rs)
        w10 = sum(all(abs(float(r[k])) <= 10 for k in ('errL', 'errW', 'errH')) for r in rs)
        print(f"{support:6} sigma1 {sigma:4} mm: {len(rs):2} clusters, within 5 mm {w5}, within 10 mm {w10}, largest |err| {worst(rs):.1f}")
for r in other:
    print("no pair:", r['station'], r['support'], r['angle'], r['sigma1'], 'status', r['status'], r['box'])
PY
