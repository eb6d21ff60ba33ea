#!/usr/bin/env bash
# Makes doc/tessilor.png, the README's picture: the desktop program on a
# private X server with openbox, NASA's photograph of the astronaut Eileen
# Collins (public domain; the photographs of Debian's python3-skimage) and
# its text art by the tone method, 84 characters a line.
#
#   doc/screenshot.sh [build/bin/tessilor]
#
# The program runs with a home of its own (settings: the window maximised,
# the tone method, 8 points). The columns are typed into their field, which
# is found by its place on the 880 x 740 screen: when the main window's bars
# change, look at the picture and move the click. Needs xvfb, openbox,
# xdotool and imagemagick (scripts/deps.sh installs them).
set -euo pipefail
cd "$(dirname "$0")/.."
app="$(realpath "${1:-build/bin/tessilor}")"
photo="$(/usr/bin/python3 -c 'import os, skimage; print(os.path.join(os.path.dirname(skimage.__file__), "data", "astronaut.png"))')"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
cat > "$work/config/Quar_Programming.ini" <<'EOF'
[ImageTessilor]
Windowstate=2
TextMethod=1
TextSize=3
EOF
cat > "$work/shoot.sh" <<EOF
set -euo pipefail
HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \\
  XDG_RUNTIME_DIR="$work/runtime" "$app" "$photo" &
app=\$!
xdotool search --sync --name 'Quar Image Tessilor' > /dev/null
sleep 3
# The columns field of the text bar; the proportional box sets the rows.
xdotool mousemove 331 83 click --repeat 3 1
sleep 0.3
xdotool key ctrl+a type 84
xdotool key Tab
sleep 0.5
xdotool key F5
sleep 8
import -window root "$work/shot.png"
kill \$app
wait \$app || true
EOF
TESSILOR_XVFB_WM=openbox TESSILOR_XVFB_SCREEN=880x740 tests/x11/run-xvfb.sh bash "$work/shoot.sh"
# 256 colours keep the file small; the photograph shows no bands at this size.
convert "$work/shot.png" -colors 256 -strip -define png:compression-level=9 doc/tessilor.png
echo "wrote doc/tessilor.png ($(stat -c %s doc/tessilor.png) bytes)"
