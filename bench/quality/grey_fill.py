#!/usr/bin/python3
"""Grey figures with the fill, as tessilor-cli's PNG draws them, against the
cells' own greys.

For each picture: `tessilor-cli -m figures --gray --fill -c COLUMNS -F png`
draws the mosaic, and `-F colors` without --fill gives each cell's grey
((R + G + B) / 3 of its sampled colour). The drawing is blurred by one cell
in linear light and read at every cell's centre; the table gives the mean
difference (positive: drawn lighter) and the mean absolute difference in
sRGB levels (0..255), also over the dark cells (grey below 85).

    /usr/bin/python3 bench/quality/grey_fill.py build/bin/tessilor-cli [--columns 60]
        [--size POINTS] [PICTURE...]

Without pictures: the photographs of python3-skimage.
"""
import argparse
import os
import subprocess
import tempfile

import numpy as np
from PIL import Image
from scipy.ndimage import uniform_filter


def decode(v):
    v = np.asarray(v, dtype=np.float64) / 255.0
    return np.where(v <= 0.04045, v / 12.92, ((v + 0.055) / 1.055) ** 2.4)


def encode(lin):
    lin = np.clip(lin, 0.0, 1.0)
    return 255.0 * np.where(lin <= 0.0031308, lin * 12.92, 1.055 * lin ** (1 / 2.4) - 0.055)


def measure(cli, picture, columns, size, work):
    extra = ["-s", str(size)] if size else []
    png = os.path.join(work, "art.png")
    colors = os.path.join(work, "art.colors")
    base = [cli, "-m", "figures", "--gray", "-c", str(columns)] + extra
    subprocess.run(base + ["--fill", "-F", "png", "-o", png, picture], check=True)
    subprocess.run(base + ["-F", "colors", "-o", colors, picture], check=True)
    greys = [int(line.split()[0]) & 0xFF for line in open(colors) if line.strip()]
    rows = len(greys) // columns
    grey = np.array(greys[: rows * columns], dtype=np.float64).reshape(rows, columns)
    drawn = np.asarray(Image.open(png).convert("RGB"), dtype=np.float64)
    light = decode(drawn).mean(axis=2)
    ink = np.where(drawn.min(axis=2) < 255)
    y0, y1, x0, x1 = ink[0].min(), ink[0].max() + 1, ink[1].min(), ink[1].max() + 1
    cw, ch = (x1 - x0) / columns, (y1 - y0) / rows
    blurred = uniform_filter(light, size=(max(1, round(ch)), max(1, round(cw))), mode="nearest")
    ys = (y0 + (np.arange(rows) + 0.5) * ch).astype(int)
    xs = (x0 + (np.arange(columns) + 0.5) * cw).astype(int)
    d = encode(blurred[np.ix_(ys, xs)]) - grey
    dark = grey < 85
    return d.mean(), np.abs(d).mean(), np.abs(d[dark]).mean() if dark.any() else 0.0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("cli")
    parser.add_argument("pictures", nargs="*")
    parser.add_argument("--columns", type=int, default=60)
    parser.add_argument("--size", type=float, default=0)
    a = parser.parse_args()
    pictures = a.pictures
    if not pictures:
        data = os.path.join(os.path.dirname(__import__("skimage").__file__), "data")
        pictures = [os.path.join(data, n) for n in
                    ("astronaut.png", "camera.png", "chelsea.png", "coffee.png", "motorcycle_left.png")]
    errors = []
    with tempfile.TemporaryDirectory() as work:
        for p in pictures:
            mean, mae, dark = measure(a.cli, p, a.columns, a.size, work)
            errors.append(mae)
            print("%-22s mean %+6.2f  mean abs %5.2f  dark cells %5.2f" % (os.path.basename(p), mean, mae, dark))
    print("all: mean abs %.2f" % np.mean(errors))


if __name__ == "__main__":
    main()
