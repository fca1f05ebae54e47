#!/usr/bin/env bash
# Times whole runs of kelvo_tools on generated scans of two boxes on a pallet
# (200k and 1M points): depallet only, split only, both. Prints the median
# wall time of REPEATS runs each ("split" alone finds one cluster: the pallet
# joins the boxes). Step shares come from bench_runs
# (build with -DKELVO_BUILD_BENCH=ON).
# Usage: bench/run_bench.sh [BUILD_DIR] [REPEATS]   (expects kelvo_tools and kelvo_scangen built)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:-$ROOT/build}" && pwd)"
REPEATS="${2:-3}"
DBDIR="$ROOT/.db-bench"
WORK="$BUILD/run-bench"

bash "$ROOT/scripts/db-stop.sh" "$DBDIR" >/dev/null 2>&1 || true
bash "$ROOT/scripts/db-start.sh" "$DBDIR" >/dev/null
trap 'bash "$ROOT/scripts/db-stop.sh" "$DBDIR" >/dev/null' EXIT
# shellcheck disable=SC1091
source "$DBDIR/env.sh"
sql() { mariadb --no-defaults --socket="$KELVO_TEST_DB_SOCKET" -u"$KELVO_TEST_DB_USER" \
          -p"$KELVO_TEST_DB_PASSWORD" "$KELVO_TEST_DB_NAME" "$@"; }

rm -rf "$WORK"
mkdir -p "$WORK/data"
cp "$KELVO_TEST_CONFIG" "$WORK/kelvo_tools.json"
sql -e "INSERT INTO decode (decclass, deckey, decvalue, dectype)
        VALUES ('CONFIG', 'base.data.folder', '$WORK/data', 'S');"
sql <"$ROOT/scripts/run-settings.sql"

median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

printf '%-9s %-16s %s\n' points run "median seconds ($REPEATS runs)"
id=0
for points in 200000 1000000; do
  id=$((id + 1))
  sid="bench$points"
  mkdir -p "$WORK/data/$sid"
  read -r A B C D < <("$BUILD/kelvo_scangen" pallet-side-by-side "$WORK/data/$sid/S1.pcd" --points "$points" \
                        | sed -n 's/^plane=//p')
  sql -e "INSERT INTO session VALUES ('$sid', $A, $B, $C, $D);
          INSERT INTO awbexport (ID, sid, NrPackages, pallet_op) VALUES ($id, '$sid', 1, 0);"
  for run in "depallet:-e 144" "split:-z" "depallet+split:-e 144 -z"; do
    name="${run%%:*}"
    read -ra opts <<<"${run#*:}"
    for _ in $(seq "$REPEATS"); do
      start=$(date +%s.%N)
      (cd "$WORK" && "$BUILD/kelvo_tools" -i "$id" "${opts[@]}" >/dev/null 2>&1)
      awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f\n", b - a }'
    done | median | xargs printf '%-9s %-16s %s\n' "$points" "$name"
  done
done
