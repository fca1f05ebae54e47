#!/usr/bin/env bash
# Accuracy of whole depallet runs: a sweep of single boxes scanned by the depth
# camera of kelvo_scangen, each measured by the real kelvo_tools against a
# throwaway MariaDB (.db-bench), the stored LPackage / WPackage / HPackage
# compared with the true box. Run by hand, never in the test suite.
#
# Sweep (576 cases): boxes 0.3x0.3x0.3, 0.4x0.4x1, 0.6x0.4x0.5, 0.8x0.6x0.6,
# 1x0.7x0.5 and 1.2x0.8x0.4 m; turned 0, 15, 30, 45 degrees; centred and
# 0.3 m off-centre; range noise sigma1 0.25, 0.5, 1 mm at 1 m; mixed pixels on
# and off; on a Euro pallet (-d 1, pallets row 1 of 144 mm, pallet_op 2) and
# on the floor (-e 2). --quick: boxes 0.3x0.3x0.3, 0.6x0.4x0.5 and 1.2x0.8x0.4,
# 0 and 30 degrees, the rest as above (144 cases, some 4 minutes; the full
# sweep takes some 13). Each case is run twice: raw (no inbound corrections),
# then with FINE TUNE inbound.correction.l/w/h set from one reference box
# (0.6x0.4x0.5 on the pallet, centred, 30 degrees, sigma1 0.5 mm, mixed
# pixels) to true minus measured.
#
# Usage: bench/accuracy/run.sh [--quick] [--build DIR] [--set KEY=VALUE]...
#                              [--scan "KELVO_SCANGEN OPTIONS"] [--plane-offset MM] [--keep]
#   --set KEY=VALUE  an extra decode row for every run (replacing the row of
#                    scripts/run-settings.sql with that key), e.g.
#                    --set pallet.correction.height=0 --set pcl.pallet.mean.k=30
#                    class and type come from docs/settings.md
#   --scan "..."     extra options for every scan, e.g. "--missing-as-zero"
#   --plane-offset MM  store every case's floor plane MM farther from the
#                    camera than the scan's (negative: nearer), as after a
#                    camera that moved since it was calibrated; the reference
#                    box keeps the true plane
#   --keep           keep the working folder (scans are removed case by case)
# Needs kelvo_tools and kelvo_scangen built in DIR (default build/). Prints per
# pass and dimension the mean, mean absolute, max and 95th-percentile error in
# mm, the share within +-5 and +-10 mm, the share of runs refused (exit 1, with
# the reasons) and the share that stored an error beyond 50 mm, overall and
# by support and mixed pixels, then refusals, wrong results and median errors
# for each value of each swept factor; every run is listed in
# DIR/accuracy-bench/results.tsv (python3 bench/accuracy/stats.py report FILE
# prints the figures of such a file again).
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$ROOT/build"
QUICK=""
KEEP=0
SCAN_OPTIONS=""
PLANE_OFFSET=0
SETTINGS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) QUICK=--quick ;;
    --build) BUILD="$2"; shift ;;
    --set) SETTINGS+=("$2"); shift ;;
    --scan) SCAN_OPTIONS="$2"; shift ;;
    --plane-offset) PLANE_OFFSET="$2"; shift ;;
    --keep) KEEP=1 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "accuracy: unknown option $1" >&2; exit 1 ;;
  esac
  shift
done
# shellcheck source=../bench-db.sh
source "$ROOT/bench/bench-db.sh"
bench_build accuracy kelvo_tools kelvo_scangen
DBDIR="$ROOT/.db-bench"
WORK="$BUILD/accuracy-bench"
DATA="$WORK/data"
RESULTS="$WORK/results.tsv"
PALLET_ID=1
PALLET_MM=144

bench_start_work "$PALLET_ID" "$PALLET_MM"

set_decodes accuracy "${SETTINGS[@]}"

# One case: scan it into session acc<id> and seed its rows. Columns of a case:
# id box(LxWxH) angle offset sigma1(mm) mixed(on|off) support(pallet|floor).
seed_case() {
  local id="$1" box="$2" angle="$3" offset="$4" sigma="$5" mixed="$6" support="$7"
  local scene=box-on-pallet op=2 extra=() plane
  [ "$support" = floor ] && scene=box-on-floor op=0
  [ "$mixed" = off ] && extra+=(--no-mixed)
  # shellcheck disable=SC2206
  extra+=($SCAN_OPTIONS)
  plane="$("$BUILD/kelvo_scangen" "$scene" "$DATA/acc$id/S1.pcd" --camera --box "$box" --centre "$offset,0" \
             --angle "$angle" --sigma1 "$(awk -v s="$sigma" 'BEGIN {print s / 1000}')" --seed "$id" \
             "${extra[@]}" | sed -n 's/^plane=//p')"
  read -r A B C D <<<"$plane"
  # The printed plane has its unit normal toward the floor and d < 0.
  [ "$id" = 9999 ] || D="$(awk -v d="$D" -v mm="$PLANE_OFFSET" 'BEGIN {printf "%.9f", d - mm / 1000}')"
  sql -e "DELETE FROM session WHERE sid = 'acc$id'; DELETE FROM awbexport WHERE ID = $id;
          INSERT INTO session VALUES ('acc$id', $A, $B, $C, $D);
          INSERT INTO awbexport (ID, sid, NrPackages, pallet_op) VALUES ($id, 'acc$id', 1, $op);"
}

# One run of a seeded case with the corrections on or off; prints
# "status L W H reason" (NULL sizes when nothing was stored).
run_case() {
  local id="$1" support="$2" corrections="$3" op=2 status=0 log="$WORK/run.log" reason
  [ "$support" = floor ] && op=0
  sql -e "UPDATE decode SET decactive = $corrections WHERE deckey LIKE 'inbound.correction.%';
          UPDATE awbexport SET pallet_op = $op, LPackage = NULL, WPackage = NULL, HPackage = NULL WHERE ID = $id;"
  local cut=(-d "$PALLET_ID")
  [ "$support" = floor ] && cut=(-e 2)
  (cd "$WORK" && "$BUILD/kelvo_tools" -i "$id" "${cut[@]}" >"$log" 2>&1) || status=$?
  reason="-"
  if [ "$status" != 0 ]; then
    reason="$(grep -m 1 -E 'ERROR|Nothing|Not found|Invalid' "$log" || tail -n 1 "$log")"
    reason="${reason//$'\t'/ }"
    cp "$log" "$WORK/refused-$id-$corrections.log"
  fi
  printf '%s\t%s\t%s\n' "$status" "$(sql -e "SELECT LPackage, WPackage, HPackage FROM awbexport WHERE ID = $id")" \
    "${reason:--}"
}

# Reference box: measured raw, corrections = true minus measured, in metres.
REF=(9999 0.6x0.4x0.5 30 0 0.5 on pallet)
seed_case "${REF[@]}"
read -r status L W H _ < <(run_case "${REF[0]}" pallet 0)
[ "$status" = 0 ] || { echo "accuracy: the reference run failed (status $status), see $WORK/refused-${REF[0]}-0.log" >&2; exit 1; }
read -r CL CW CH < <(awk -v l="$L" -v w="$W" -v h="$H" 'BEGIN {printf "%.6f %.6f %.6f\n", 0.6 - l, 0.4 - w, 0.5 - h}')
set_decode inbound.correction.l "$CL"
set_decode inbound.correction.w "$CW"
set_decode inbound.correction.h "$CH"
rm -rf "$DATA/acc${REF[0]}"

{
  printf '# reference %s measured %s %s %s -> inbound.correction.l/w/h %s %s %s\n' "${REF[1]}" "$L" "$W" "$H" "$CL" "$CW" "$CH"
  printf '# settings:'
  sql -e "SELECT CONCAT(' ', deckey, '=', decvalue) FROM decode WHERE deckey NOT LIKE 'inbound.correction.%' ORDER BY deckey" |
    tr -d '\n'
  printf '\n# scan options: %s; plane offset %s mm\n' "${SCAN_OPTIONS:-none}" "$PLANE_OFFSET"
  printf 'id\tbox\tangle\toffset\tsigma1\tmixed\tsupport\tpass\tstatus\tL\tW\tH\treason\n'
} >"$RESULTS"

total="$(python3 "$HERE/stats.py" cases $QUICK | wc -l)"
done_cases=0
while read -r id box angle offset sigma mixed support; do
  seed_case "$id" "$box" "$angle" "$offset" "$sigma" "$mixed" "$support"
  for pass in raw corrected; do
    active=0
    [ "$pass" = corrected ] && active=1
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$id" "$box" "$angle" "$offset" "$sigma" "$mixed" "$support" "$pass" \
      "$(run_case "$id" "$support" "$active")" >>"$RESULTS"
  done
  rm -rf "${DATA:?}/acc$id"
  done_cases=$((done_cases + 1))
  printf '\r%d / %d cases' "$done_cases" "$total" >&2
done < <(python3 "$HERE/stats.py" cases $QUICK)
printf '\n' >&2

python3 "$HERE/stats.py" report "$RESULTS"
