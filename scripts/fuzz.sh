#!/usr/bin/env bash
# Fuzzes the rectangle and the loading of PCD files with libFuzzer (clang, address and
# undefined-behaviour checks), each target for FUZZ_SECONDS (default 120), against a
# throwaway MariaDB. Exits non-zero when a target fails; the failing input is left in
# build-fuzz/crashes and the sanitizer report in build-fuzz/reports. Not part of
# scripts/test.sh: the inputs it once failed on are kept under tests/*/fuzz-cases and
# replayed by the normal suite.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
BUILD="${KELVO_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
JOBS="${KELVO_JOBS:-$(nproc)}"
SECONDS_EACH="${FUZZ_SECONDS:-120}"

bash scripts/install-deps.sh clang libclang-rt-14-dev
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKELVO_BUILD_TESTS=OFF -DKELVO_BUILD_FUZZ=ON
cmake --build "$BUILD" --target kelvo_geom_fuzz kelvo_load_fuzz -j"$JOBS"

DBDIR="$ROOT/.db-fuzz"
bash scripts/db-stop.sh "$DBDIR" >/dev/null 2>&1 || true
bash scripts/db-start.sh "$DBDIR"
trap 'bash "$ROOT/scripts/db-stop.sh" "$DBDIR"' EXIT
# shellcheck disable=SC1091
source "$DBDIR/env.sh"

mkdir -p "$BUILD/crashes" "$BUILD/reports"
rm -f "$BUILD/reports"/*
export ASAN_OPTIONS="log_path=$BUILD/reports/asan"
export UBSAN_OPTIONS="log_path=$BUILD/reports/ubsan:print_stacktrace=1"
status=0
for name in geom load; do
  corpus="$BUILD/corpus/$name"
  mkdir -p "$corpus"
  echo "== kelvo_${name}_fuzz for ${SECONDS_EACH} s"
  # -close_fd_mask=1: the tool's own progress lines on standard output are noise here.
  if ! (cd "$BUILD" && "$BUILD/fuzz/kelvo_${name}_fuzz" "$corpus" "$ROOT/fuzz/corpus/$name" \
      -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -print_final_stats=1 -close_fd_mask=1 -artifact_prefix="$BUILD/crashes/$name-" \
      2>"$BUILD/$name.log"); then
    status=1
    echo "kelvo_${name}_fuzz failed: see $BUILD/$name.log, $BUILD/crashes and $BUILD/reports" >&2
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$BUILD/$name.log" || true
done
exit "$status"
