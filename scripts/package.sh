#!/usr/bin/env bash
# Builds the Debian package for the stations: installs the build packages,
# builds the programs (no tests) in build-deb/ and runs cpack there, which
# writes build-deb/kelvo-tools_<version>_amd64.deb, compiled with Debian's
# hardening flags. See docs/install.md.
# Usage: scripts/package.sh
#   KELVO_PACKAGE_BUILD_DIR  another build folder (default build-deb/)
#   KELVO_JOBS               parallel compile jobs (default: the number of cores)
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
cd "$ROOT"
BUILD="${KELVO_PACKAGE_BUILD_DIR:-$ROOT/build-deb}"
JOBS="${KELVO_JOBS:-$(nproc)}"

bash scripts/install-deps.sh
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DKELVO_BUILD_TESTS=OFF -DKELVO_BUILD_BENCH=OFF \
  -DKELVO_DEB_BUILDFLAGS=ON
cmake --build "$BUILD" -j"$JOBS"
(cd "$BUILD" && cpack -G DEB)
ls "$BUILD"/kelvo-tools_*_amd64.deb
