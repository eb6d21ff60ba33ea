#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Sourced by run.sh and test.sh.
set -euo pipefail

TESSILOR_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins libjpeg62-turbo-dev libpng-dev libtcmalloc-minimal4
  libfontconfig-dev fontconfig
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-liberation qt6-translations-l10n
  python3 python3-fonttools
  python3-numpy python3-scipy python3-skimage python3-pil jp2a hyperfine
  xvfb xauth poppler-utils openbox x11-utils xclip xdotool imagemagick
  zlib1g-dev
  libreoffice-writer-nogui abiword chromium
  clang clang-format libclang-rt-14-dev
  fp-utils
  appstream desktop-file-utils dpkg-dev file groff-base
)

install_deps() {
  local missing=()
  for p in "${TESSILOR_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

build_project() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  cmake --build "$dir" -j2
}
