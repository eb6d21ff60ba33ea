#!/usr/bin/env bash
# Builds Tessilor and runs its main job. Installs its own Debian packages.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_deps
build_project build
if [ -x build/bin/tessilor ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec build/bin/tessilor "$@"
fi
# Without a display (or before the desktop program exists) the main job is
# the command line front end turning its built-in sample picture into text.
exec build/bin/tessilor-cli "$@"
