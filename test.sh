#!/usr/bin/env bash
# Builds Tessilor and runs every test. Installs its own Debian packages.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_deps
build_project build
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600
