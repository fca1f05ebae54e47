#!/usr/bin/env bash
# Whole runs of kelvo_tools on the real depth-camera captures of
# ../shared/real (read from there, never copied into the repository), against
# a throwaway MariaDB (.db-real). Run by hand, never in the test suite.
#
# Each capture gets a session of its own carrying the plane its README gives
# (0, 0, 1, d) and is run with a cut of 2 mm (-e 2) and with -d on a pallets
# row of --pallet-mm (default 2: the lowest pallet that is cut at all; a 0 mm
# row cuts nothing and the table is measured), in today's mode and in the
# precise mode (inbound.precise 0 and 1). One row per run: capture, mode, cut,
# exit status, stored L W H (mm), and for the three captures with stated
# sizes the errors stored minus stated (L and W as the larger and the smaller
# side), then the first line of a refusal. The captures without sizes are run
# too, so that nothing changes on them unseen.
#
# Prints the wall time of the whole and the CPU time (user + sys) of the runs.
#
# Usage: bench/accuracy/real.sh [--build DIR] [--real DIR] [--pallet-mm MM] [--set KEY=VALUE]... [--keep]
#   --real DIR       the captures' folder (default ../shared/real beside the checkout's parent)
#   --set KEY=VALUE  an extra decode row for every run, as in run.sh
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BUILD="$ROOT/build"
REAL="$ROOT/../shared/real"
KEEP=0
PALLET_MM=2
SETTINGS=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) BUILD="$2"; shift ;;
    --real) REAL="$2"; shift ;;
    --pallet-mm) PALLET_MM="$2"; shift ;;
    --set) SETTINGS+=("$2"); shift ;;
    --keep) KEEP=1 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) echo "real: unknown option $1" >&2; exit 1 ;;
  esac
  shift
done
# shellcheck source=../bench-db.sh
source "$ROOT/bench/bench-db.sh"
bench_build real kelvo_tools
REAL="$(cd "$REAL" && pwd)"
[ -f "$REAL/README.md" ] || { echo "real: no README.md in $REAL" >&2; exit 1; }
DBDIR="$ROOT/.db-real"
WORK="$BUILD/real-bench"
DATA="$WORK/data"
PALLET_ID=1
START="$(date +%s.%N)"

bench_start_work "$PALLET_ID" "$PALLET_MM"
set_decodes real "${SETTINGS[@]}"

# Captures: file and stated size in mm (L W H, L >= W), "-" without one.
CAPTURES=(
  "mfy_mouse 112 80.2 49.3"
  "mfy_plate 177 177 44"
  "mfy_remote 172 43 23"
  "mfy_med_box -"
  "mfy_jar -"
  "kin_example1 -"
  "lux_calib_box -"
  "neura_pallet_frame_small_box -"
  "neura_pallet_frame_medium_box -"
)

printf 'capture\tmode\tcut\tstatus\tL\tW\tH\tdL\tdW\tdH\trefusal\n'
id=0
for capture in "${CAPTURES[@]}"; do
  read -r name size_l size_w size_h <<<"$capture"
  file="$REAL/$name.pcd"
  [ -f "$file" ] || { echo "real: $file missing" >&2; exit 1; }
  # The plane d of the README's table row for this file.
  d="$(awk -F'|' -v f="$name.pcd" '{gsub(/ /, "", $2)} $2 == f {gsub(/ /, "", $5); print $5}' "$REAL/README.md")"
  [ -n "$d" ] || { echo "real: no plane d for $name in $REAL/README.md" >&2; exit 1; }
  for precise in 0 1; do
    set_decode inbound.precise "$precise"
    for cut in "-e 2" "-d $PALLET_ID"; do
      id=$((id + 1))
      sid="real$id"
      mkdir -p "$DATA/$sid"
      ln -sf "$file" "$DATA/$sid/S1.pcd"
      sql -e "DELETE FROM session WHERE sid = '$sid'; DELETE FROM awbexport WHERE ID = $id;
              INSERT INTO session VALUES ('$sid', 0, 0, 1, $d);
              INSERT INTO awbexport (ID, sid, NrPackages, pallet_op) VALUES ($id, '$sid', 1, 2);"
      status=0
      # shellcheck disable=SC2086
      (cd "$WORK" && "$BUILD/kelvo_tools" -i "$id" $cut >"$WORK/run-$id.log" 2>&1) || status=$?
      reason="-"
      [ "$status" = 0 ] ||
        reason="$(grep -m 1 -E 'ERROR|Nothing|Not found|Invalid' "$WORK/run-$id.log" || tail -n 1 "$WORK/run-$id.log")"
      read -r L W H < <(sql -e "SELECT LPackage, WPackage, HPackage FROM awbexport WHERE ID = $id")
      awk -v n="$name" -v m="$precise" -v c="$cut" -v s="$status" -v l="$L" -v w="$W" -v h="$H" \
        -v sl="$size_l" -v sw="$size_w" -v sh="$size_h" -v r="${reason//$'\t'/ }" 'BEGIN {
          mode = m == 1 ? "precise" : "today"
          if (l == "NULL") { printf "%s\t%s\t%s\t%s\t-\t-\t-\t-\t-\t-\t%s\n", n, mode, c, s, r; exit }
          L = 1000 * l; W = 1000 * w; H = 1000 * h
          if (W > L) { t = L; L = W; W = t }
          if (sl == "-") e = "-\t-\t-"
          else e = sprintf("%+.1f\t%+.1f\t%+.1f", L - sl, W - sw, H - sh)
          printf "%s\t%s\t%s\t%s\t%.1f\t%.1f\t%.1f\t%s\t%s\n", n, mode, c, s, L, W, H, e, r }'
      # The run's outputs go; the capture itself is only linked.
      rm -rf "${DATA:?}/$sid"
    done
  done
done
# The children's CPU time, from the shell itself (times in a pipe would count a subshell's).
times >"$WORK/times.txt"
awk -v a="$START" -v b="$(date +%s.%N)" -v n="$id" -v mm="$PALLET_MM" 'NR == 2 {
    split($1, u, /[ms]/); split($2, s, /[ms]/)
    printf "# %d runs (-d: pallet of %s mm) in %.1f s wall, %.1f s CPU (user + sys)\n", n, mm, b - a,
      60 * u[1] + u[2] + 60 * s[1] + s[2] }' "$WORK/times.txt"
