#!/usr/bin/env bash
# Installs what is needed, builds, starts a throwaway MariaDB, runs every test,
# stops the database. Exits non-zero on any failure.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
BUILD="${KELVO_BUILD_DIR:-$ROOT/build}"
JOBS="${KELVO_JOBS:-$(nproc)}"

bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKELVO_BUILD_TESTS=ON
cmake --build "$BUILD" -j"$JOBS"

DBDIR="$ROOT/.db-test"
bash scripts/db-stop.sh "$DBDIR" >/dev/null 2>&1 || true
bash scripts/db-start.sh "$DBDIR"
trap 'bash "$ROOT/scripts/db-stop.sh" "$DBDIR"' EXIT
# shellcheck disable=SC1091
source "$DBDIR/env.sh"

# Each test process works in a database of its own (kelvo_t_<program>_<pid>),
# so two run side by side.
ctest --test-dir "$BUILD" --output-on-failure -j2
