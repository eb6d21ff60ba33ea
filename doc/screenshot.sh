#!/usr/bin/env bash
# Makes doc/tessilor.png, the README's picture: the desktop program on a
# private X server with openbox, a drawing made here (a lighthouse on its
# rock, the sun low over the sea, a sailing boat, gulls; drawn with Pillow,
# nothing downloaded) and its text art by the tone method, 92 characters a
# line ($columns below): as many as the result window shows whole, so that
# the whole art is in the picture.
#
#   doc/screenshot.sh [build/bin/tessilor]
#
# The program runs with a home of its own (settings: the window maximised,
# the tone method, 8 points). The columns are typed into their field, which
# is found by its place on the 880 x 740 screen: when the main window's bars
# change, look at the picture and move the click. Needs xvfb, openbox,
# xdotool, imagemagick and Debian's python3-pil (scripts/deps.sh installs
# them).
set -euo pipefail
cd "$(dirname "$0")/.."
app="$(realpath "${1:-build/bin/tessilor}")"
columns=92
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
/usr/bin/python3 - "$work/lighthouse.png" <<'EOF'
import sys
from PIL import Image, ImageDraw, ImageFilter

# Few tones and clear edges: the art draws outlines with its characters'
# shapes, so dark shapes on a light sky read best.
W, H, horizon = 720, 480, 310
img = Image.new("RGB", (W, H))
d = ImageDraw.Draw(img)
# A pale sky; the sea dark, lighter towards the shore.
for y in range(H):
    if y < horizon:
        t = y / horizon
        c = (int(205 + 50 * t), int(225 + 30 * t), 255)
    else:
        t = (y - horizon) / (H - horizon)
        c = (int(40 + 30 * t), int(80 + 40 * t), int(130 + 40 * t))
    d.line((0, y, W, y), fill=c)
# The sun with a dark rim, its path on the water.
d.ellipse((420, 150, 540, 270), fill=(255, 215, 90), outline=(120, 60, 0), width=6)
for i, y in enumerate(range(horizon + 10, H, 18)):
    half = 24 + i * 10
    d.rectangle((480 - half, y, 480 + half, y + 6), fill=(250, 240, 200))
# A hill behind the shore, the rock in front.
d.polygon([(0, horizon), (0, 240), (90, 205), (200, 250), (290, horizon)], fill=(110, 130, 110))
d.polygon([(0, H), (0, 340), (60, 310), (150, 318), (250, 360), (300, 410), (330, H)], fill=(25, 22, 20))
# The lighthouse: red and white bands narrowing upwards, gallery, lamp, roof.
base, top, cx = 330, 100, 150
for k in range(6):
    y0, y1 = base - (base - top) * k / 6, base - (base - top) * (k + 1) / 6
    w0, w1 = 40 - 2.5 * k, 40 - 2.5 * (k + 1)
    d.polygon([(cx - w0, y0), (cx + w0, y0), (cx + w1, y1), (cx - w1, y1)],
              fill=(150, 0, 0) if k % 2 == 0 else (255, 255, 255), outline=(0, 0, 0))
d.line([(cx - 40, base), (cx - 25, top)], fill=(0, 0, 0), width=4)
d.line([(cx + 40, base), (cx + 25, top)], fill=(0, 0, 0), width=4)
d.rectangle((cx - 36, top - 12, cx + 36, top), fill=(0, 0, 0))
d.rectangle((cx - 20, top - 50, cx + 20, top - 12), fill=(255, 240, 150), outline=(0, 0, 0), width=4)
d.polygon([(cx - 28, top - 50), (cx + 28, top - 50), (cx, top - 85)], fill=(0, 0, 0))
# A sailing boat: dark hull, white sails with dark edges.
bx, by = 600, 370
d.polygon([(bx - 70, by), (bx + 70, by), (bx + 50, by + 26), (bx - 50, by + 26)], fill=(20, 10, 5))
d.polygon([(bx - 5, by - 6), (bx - 5, by - 150), (bx - 80, by - 6)], fill=(255, 255, 255), outline=(0, 0, 0), width=4)
d.polygon([(bx + 5, by - 6), (bx + 5, by - 125), (bx + 62, by - 6)], fill=(255, 255, 255), outline=(0, 0, 0), width=4)
d.line((bx, by, bx, by - 155), fill=(0, 0, 0), width=5)
# Gulls.
for gx, gy, s in [(300, 90, 34), (375, 55, 26), (250, 155, 24)]:
    d.line((gx - s, gy - s // 2, gx, gy), fill=(0, 0, 0), width=8)
    d.line((gx, gy, gx + s, gy - s // 2), fill=(0, 0, 0), width=8)
img.filter(ImageFilter.SMOOTH).save(sys.argv[1])
EOF
cat > "$work/config/Quar_Programming.ini" <<'EOF'
[ImageTessilor]
Windowstate=2
TextMethod=1
TextSize=3
EOF
cat > "$work/shoot.sh" <<EOF
set -euo pipefail
HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" \\
  XDG_RUNTIME_DIR="$work/runtime" "$app" "$work/lighthouse.png" &
app=\$!
xdotool search --sync --name 'Quar Image Tessilor' > /dev/null
sleep 3
# The columns field of the text bar; the proportional box sets the rows.
xdotool mousemove 331 83 click --repeat 3 1
sleep 0.3
xdotool key ctrl+a type $columns
xdotool key Tab
sleep 0.5
xdotool key F5
sleep 8
import -window root "$work/shot.png"
kill \$app
wait \$app || true
EOF
TESSILOR_XVFB_WM=openbox TESSILOR_XVFB_SCREEN=880x740 tests/x11/run-xvfb.sh bash "$work/shoot.sh"
# 256 colours keep the file small; the drawing's gradients show no bands at
# this size.
convert "$work/shot.png" -colors 256 -strip -define png:compression-level=9 doc/tessilor.png
echo "wrote doc/tessilor.png ($(stat -c %s doc/tessilor.png) bytes)"
