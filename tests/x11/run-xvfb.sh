#!/usr/bin/env bash
# Runs a command on a private X server: Xvfb picks a free display itself
# (-displayfd), so tests started side by side never race for one. No window
# manager runs unless asked for: the program's windows are the only clients,
# and every run sees the same screen.
#
#   run-xvfb.sh COMMAND [ARGS...]
#
#   TESSILOR_XVFB_SCREEN=WxH   the screen's size (default 1280x1024)
#   TESSILOR_XVFB_WM=openbox   a window manager runs on the server first, so
#                              windows get frames and placement as on a desktop
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: run-xvfb.sh COMMAND [ARGS...]" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is not installed (Debian package xvfb)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tessilor-xvfb.XXXXXX")
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && wait "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/display"
screen="${TESSILOR_XVFB_SCREEN:-1280x1024}"
[[ "$screen" =~ ^[0-9]+x[0-9]+$ ]] || { echo "TESSILOR_XVFB_SCREEN must be WxH, not $screen" >&2; exit 2; }
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3>"$work/display" \
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

case "${TESSILOR_XVFB_WM:-}" in
  "") ;;
  openbox)
    command -v openbox >/dev/null || { echo "openbox is not installed (Debian package openbox)" >&2; exit 1; }
    # A configuration of its own: no user's menus or autostart.
    mkdir -p "$work/xdg"
    XDG_CONFIG_HOME="$work/xdg" openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm_pid=$!
    # The window manager is up once it names itself on the root window.
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      sleep 0.05
    done
    ;;
  *) echo "TESSILOR_XVFB_WM: only openbox is known, not $TESSILOR_XVFB_WM" >&2; exit 2 ;;
esac

"$@"
