#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and run kelvo_tools
# (view3dscene: its tovrmlx3d is the VRML parser the whole-run tests read scenes with;
# parallel and jq: scripts/reprocess.sh; libcairo2-dev and fonts-dejavu-core draw the
# pictures, and python3-pil and pngcheck are the PNG readers the tests open them with;
# dpkg-dev, lintian and man-db build, check and read the Debian package).
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
PKGS=(
  build-essential cmake pkg-config git
  libpcl-dev libqhull-dev liboctomap-dev libeigen3-dev
  libboost-program-options-dev libboost-filesystem-dev libboost-system-dev
  libjsoncpp-dev libmysqlcppconn-dev liblzf-dev
  libcairo2-dev libpng-dev libfreetype-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libgmp-dev libbenchmark-dev
  mariadb-server mariadb-client
  view3dscene python3-pil pngcheck
  parallel jq
  dpkg-dev lintian man-db
)
# Callers name packages of their own (the fuzz build's compiler) as arguments.
PKGS+=("$@")
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
