#!/usr/bin/env bash
# One run of tessilor-cli against jp2a and chafa on the same picture, the
# whole process timed (start-up included): a 640 x 480 JPEG photograph
# (scikit-image's coffee, from Debian's python3-skimage) to text at 120 x 40,
# with a warm tone ramp cache, the tone method by default and by ink alone,
# and the classic method. Prints hyperfine's table.
#   bench/cli/single.sh [build/bin/tessilor-cli]
set -euo pipefail
cli="$(realpath "${1:-build/bin/tessilor-cli}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 -c "from skimage import data; from PIL import Image; Image.fromarray(data.coffee()).save('$work/photo.jpg', quality=90)"
# The ramp is measured once and kept in the user's cache folder.
"$cli" --method tone -c 120 -r 40 "$work/photo.jpg" > /dev/null
"$cli" --method tone --structure 0 -c 120 -r 40 "$work/photo.jpg" > /dev/null
hyperfine -N --warmup 10 --runs "${RUNS:-200}" \
  "jp2a --width=120 --height=40 $work/photo.jpg" \
  "chafa --symbols ascii -c none -w 9 --stretch --size 120x40 $work/photo.jpg" \
  "$cli --method tone -c 120 -r 40 $work/photo.jpg" \
  "$cli --method tone --structure 0 -c 120 -r 40 $work/photo.jpg" \
  "$cli -c 120 -r 40 $work/photo.jpg"
