#!/usr/bin/env bash
# Times whole runs of kelvo_tools against a throwaway database on generated
# scans of a box on a pallet (175k and 870k points): a depallet run, a split
# run, and a run that stops at the lookup ("Not found:"). Prints the median
# wall time and the median peak resident memory of REPEATS runs each. Step
# shares come from bench_runs (build with -DKELVO_BUILD_BENCH=ON).
# Usage: bench/run_bench.sh [BUILD_DIR] [REPEATS] [KEY=VALUE]...   (expects kelvo_tools and kelvo_scangen built)
#   KEY=VALUE: a decode row for every run (class and type from docs/settings.md), e.g. inbound.precise=1
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
REPEATS="${2:-5}"
SETTINGS=("${@:3}")
DBDIR="$ROOT/.db-bench"
WORK="$BUILD/run-bench"

# shellcheck source=bench-db.sh
source "$ROOT/bench/bench-db.sh"
bench_db_start
trap bench_db_stop EXIT

rm -rf "$WORK"
mkdir -p "$WORK/data"
cp "$KELVO_TEST_CONFIG" "$WORK/kelvo_tools.json"
sql -e "INSERT INTO decode (decclass, deckey, decvalue, dectype)
        VALUES ('CONFIG', 'base.data.folder', '$WORK/data', 'S');"
sql <"$ROOT/scripts/run-settings.sql"
set_decodes run_bench "${SETTINGS[@]}"

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

printf '%-9s %-9s %-14s %s\n' points run "median seconds" "median peak KiB ($REPEATS runs)"
id=0
for points in 175000 870000; do
  id=$((id + 1))
  sid="bench$points"
  mkdir -p "$WORK/data/$sid"
  read -r A B C D < <("$BUILD/kelvo_scangen" box-on-pallet "$WORK/data/$sid/S1.pcd" --points "$points" \
                        | sed -n 's/^plane=//p')
  sql -e "INSERT INTO session VALUES ('$sid', $A, $B, $C, $D);
          INSERT INTO awbexport (ID, sid, NrPackages, pallet_op) VALUES ($id, '$sid', 1, 0);"
  for run in "depallet:-i $id -e 144" "split:-i $id -z" "lookup:-i 999999 -z"; do
    name="${run%%:*}"
    read -ra opts <<<"${run#*:}"
    : >"$WORK/times"
    for _ in $(seq "$REPEATS"); do
      (cd "$WORK" && /usr/bin/time -f '%e %M' -o "$WORK/time1" "$BUILD/kelvo_tools" "${opts[@]}" \
         >/dev/null 2>&1 || true)
      tail -n 1 "$WORK/time1" >>"$WORK/times"
    done
    seconds=$(awk '{print $1}' "$WORK/times" | median)
    peak=$(awk '{print $2}' "$WORK/times" | median)
    printf '%-9s %-9s %-14s %s\n' "$points" "$name" "$seconds" "$peak"
  done
done
