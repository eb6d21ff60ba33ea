#!/usr/bin/env bash
# tessilor-cli on a batch of photographs against jp2a over the same files:
# 200 JPEG photographs of 640 x 480 (cut from the photographs of Debian's
# python3-skimage) to text at 160 columns, on one core (-j 1, under taskset)
# and on two (-j 2), to standard output and into a folder. Prints
# hyperfine's table and the time per picture.
#   bench/cli/batch.sh [build/bin/tessilor-cli]
set -euo pipefail
cli="$(realpath "${1:-build/bin/tessilor-cli}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work/in" <<'PY'
import os, sys
import skimage
from PIL import Image
out = sys.argv[1]
os.makedirs(out)
data = os.path.join(os.path.dirname(skimage.__file__), "data")
photos = ["astronaut.png", "camera.png", "chelsea.png", "coffee.png", "coins.png",
          "hubble_deep_field.jpg", "moon.png", "motorcycle_left.png", "retina.jpg", "rocket.jpg"]
n = 0
for name in photos:
    im = Image.open(os.path.join(data, name)).convert("RGB")
    w, h = im.size
    for k in range(20):
        # Crops of 60..100 % of the photograph, turned every fourth time.
        f = 0.6 + 0.02 * k
        cw, ch = int(w * f), int(h * f)
        x, y = (w - cw) * (k % 5) // 4, (h - ch) * (k // 5) // 3
        crop = im.crop((x, y, x + cw, y + ch)).resize((640, 480), Image.BILINEAR)
        if k % 4 == 3:
            crop = crop.transpose(Image.FLIP_LEFT_RIGHT)
        crop.save(os.path.join(out, "photo%03d.jpg" % n), quality=90)
        n += 1
PY
mkdir -p "$work/out"
cd "$work/in"
count=$(ls | wc -l)
# Both to standard output, as jp2a writes; then into files, each written
# through to the disk before it replaces the last one.
hyperfine --warmup 1 --runs 5 --export-json "$work/times.json" \
  -n "jp2a, one core" "taskset -c 0 jp2a --width=160 *.jpg > /dev/null" \
  -n "tessilor-cli -j 1, one core" "taskset -c 0 '$cli' -j 1 -c 160 *.jpg > /dev/null" \
  -n "tessilor-cli -j 2" "'$cli' -j 2 -c 160 *.jpg > /dev/null" \
  -n "tessilor-cli -j 1 --output-dir, one core" "taskset -c 0 '$cli' -j 1 -c 160 --output-dir '$work/out' *.jpg" \
  -n "tessilor-cli -j 2 --output-dir" "'$cli' -j 2 -c 160 --output-dir '$work/out' *.jpg"
/usr/bin/python3 - "$work/times.json" "$count" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["results"]
count = int(sys.argv[2])
for r in runs:
    print("%-30s %7.2f ms per picture" % (r["command"], 1000 * r["mean"] / count))
PY
