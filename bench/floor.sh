#!/usr/bin/env bash
# Whole runs of kelvo_tools against the floor under them: bench_floor_run
# (bench/floor_run.cpp) loads the same scan and writes its points back as a
# cloud file with three box scenes, measuring nothing. For each scan, the
# floor, a depallet run (-d 1, 144 mm), a split run (-z) and a run that ends
# at the lookup (a row that does not exist) are run REPEATS times; printed are
# the medians of user+sys CPU seconds, of wall seconds and of peak resident
# memory, and CPU and wall each as a ratio to the floor's. Say whether the
# machine was quiet when quoting them.
#
# Scans: sampled box on a pallet of 175k and 870k points, a 1280x720 camera
# scan of a box on a pallet (pictures on and off), a 640x480 camera scan of
# two boxes on a pallet, and a real 640x480 capture of a box on a table
# (depallet -e 2) read in place from ../shared/real beside the checkout.
#
# Usage: bench/floor.sh [BUILD_DIR] [REPEATS] [KEY=VALUE]...
#   needs kelvo_tools, kelvo_scangen and bench/bench_floor_run built in BUILD_DIR
#   (configure with -DKELVO_BUILD_BENCH=ON); KEY=VALUE: a decode row for every
#   run, e.g. inbound.precise=1
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
REPEATS="${2:-5}"
SETTINGS=("${@:3}")
REAL="${KELVO_REAL_SCANS:-$ROOT/../shared/real}"
# shellcheck source=bench-db.sh
source "$ROOT/bench/bench-db.sh"
bench_build floor kelvo_tools kelvo_scangen bench/bench_floor_run
DBDIR="$ROOT/.db-bench"
WORK="$BUILD/floor-bench"
DATA="$WORK/data"

bench_start_work 1 144
set_decodes floor "${SETTINGS[@]}"

seed() {
  local A B C D
  read -r A B C D <<<"$3"
  sql -e "INSERT INTO session VALUES ('$1', $A, $B, $C, $D);"
  echo "$1 $2" >>"$WORK/rows"
}
gen_scene() {
  local name="$1" id="$2" scene="$3"
  shift 3
  mkdir -p "$WORK/pristine/$name"
  seed "$name" "$id" "$("$BUILD/kelvo_scangen" "$scene" "$WORK/pristine/$name/S1.pcd" "$@" |
                       sed -n 's/^plane=//p')"
}
: >"$WORK/rows"
gen_scene s175 1 box-on-pallet --points 175000
gen_scene s870 2 box-on-pallet --points 870000
gen_scene c1280 3 box-on-pallet --camera --resolution 1280x720
gen_scene c640 4 pallet-side-by-side --camera
# A real capture: a box on a table, measured on the table (-e 2).
mkdir -p "$WORK/pristine/medbox"
ln -s "$REAL/mfy_med_box.pcd" "$WORK/pristine/medbox/S1.pcd"
seed medbox 5 "0 0 1 -1.098481"

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# timed NAME ID PICTURES COMMAND...: REPEATS runs on fresh copies of the
# scan's folder; sets cpu, wall, peak (medians).
timed() {
  local name="$1" id="$2" picture="$3"
  shift 3
  set_decode image.snapshot "$picture"
  : >"$WORK/times"
  for _ in $(seq "$REPEATS"); do
    rm -rf "${DATA:?}/$name" "$WORK/floor-out"
    cp -a "$WORK/pristine/$name" "$DATA/$name"
    sql -e "DELETE FROM awbexport WHERE ID = $id;
            INSERT INTO awbexport (ID, sid, NrPackages, pallet_op) VALUES ($id, '$name', 1, 0);"
    (cd "$WORK" && /usr/bin/time -f '%e %U %S %M' -o "$WORK/time1" "$@" >/dev/null 2>&1 || true)
    tail -n 1 "$WORK/time1" >>"$WORK/times"
  done
  wall=$(awk '{print $1}' "$WORK/times" | median)
  cpu=$(awk '{print $2 + $3}' "$WORK/times" | median)
  peak=$(awk '{print $4}' "$WORK/times" | median)
}

printf '%-7s %-3s %-9s %8s %8s %9s %9s %9s\n' scan pic run "cpu s" "wall s" "cpu/floor" "wall/flr" "peak KiB"
while read -r name id; do
  for picture in 0 1; do
    # Pictures only where the bench asks for them: the 1280x720 camera scan both ways.
    [ "$picture" = 0 ] || [ "$name" = c1280 ] || [ "$name" = c640 ] || continue
    timed "$name" "$id" "$picture" "$BUILD/bench/bench_floor_run" "$DATA/$name/S1.pcd" "$WORK/floor-out"
    floorCpu=$cpu
    floorWall=$wall
    printf '%-7s %-3s %-9s %8.3f %8.3f %9s %9s %9s\n' "$name" "$picture" floor "$cpu" "$wall" 1.00 1.00 "$peak"
    cut="-d 1"
    [ "$name" != medbox ] || cut="-e 2"
    for run in "depallet:-i $id $cut" "split:-i $id -z" "lookup:-i 999999 -z"; do
      read -ra opts <<<"${run#*:}"
      [ "${run%%:*}" != lookup ] || [ "$picture" = 0 ] || continue
      timed "$name" "$id" "$picture" "$BUILD/kelvo_tools" "${opts[@]}"
      printf '%-7s %-3s %-9s %8.3f %8.3f %9.2f %9.2f %9s\n' "$name" "$picture" "${run%%:*}" "$cpu" "$wall" \
        "$(awk -v a="$cpu" -v b="$floorCpu" 'BEGIN {print (b > 0 ? a / b : 0)}')" \
        "$(awk -v a="$wall" -v b="$floorWall" 'BEGIN {print (b > 0 ? a / b : 0)}')" "$peak"
    done
  done
done <"$WORK/rows"
