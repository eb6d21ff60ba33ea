#!/usr/bin/env bash
# Runs a command on a private X server: Xvfb picks a free display itself
# (-displayfd), so tests started side by side never race for one. No window
# manager runs: the program's windows are the only clients, and every run
# sees the same screen.
#
#   run-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: run-xvfb.sh COMMAND [ARGS...]" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is not installed (Debian package xvfb)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tessilor-xvfb.XXXXXX")
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
if ! read -r -t 20 display <"$work/display" || [ -z "$display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb
# Window systems of the desktop around the program are not needed here.
unset WAYLAND_DISPLAY
# Under AddressSanitizer: the X keyboard library (libxkbcommon-x11) hands
# strndup() names that are not NUL-terminated, which strict string checks
# report although strndup reads no further than the length it is given.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"
fi

"$@"
