#!/usr/bin/python3
"""Quality of the text art and of the figure mosaic, measured as a viewer sees
them: the output is drawn in its font, both the drawing and the picture are
blurred by one cell in linear light, and the drawing is compared with the
picture.

Text: every tool's characters are drawn in Liberation Mono with cells of
12 x 24 pixels (20 px type, one character per cell). Each tool's drawing is
read on its own scale: the ink of what the tool draws for a black picture
counts as black, of what it draws for a white one as white (the "black"
column gives that ink as a share of the darkest character of the font, so a
tool whose art is paler than the page allows shows it there). Picture and
drawing are compared by their lightness (sRGB-encoded luminance, 0..255):
mean SSIM and mean absolute error. Both are blurred with mirrored edges: the
blank strip a character cell has above its glyph would otherwise be drawn
out past the picture's edge and lighten every drawing's border.

Figures: the colour file of the figure mode is drawn with the figure font
in 24 x 24 pixel cells (the glyph in its colour, with --fill on its
background, else on white) and compared with the picture by the mean
CIEDE2000 colour difference.

Everything here is done with this script's own arithmetic (PIL drawing,
NumPy, SciPy, scikit-image); only the characters and colours come from the
programs measured.

Usage: quality.py [--cli PATH] [--figure-font PATH] [--columns N] [--size PT]
                  [--only NAME,...] [--tools NAME,...] [--pictures DIR]
                  [--keep DIR]
Run with /usr/bin/python3 (Debian's python3-numpy, -scipy, -skimage, -pil).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw, ImageFont
from scipy.ndimage import gaussian_filter
from skimage import color as skcolor
from skimage.metrics import structural_similarity

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SKIMAGE_DATA = os.path.join(os.path.dirname(__import__("skimage").__file__), "data")
TEXT_FONT = "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf"
CELL_W, CELL_H, TYPE_PX = 12, 24, 20
FIGURE_CELL = 24

# Real photographs shipped by Debian's python3-skimage.
PHOTOS = ["astronaut.png", "camera.png", "chelsea.png", "coffee.png", "coins.png",
          "hubble_deep_field.jpg", "moon.png", "motorcycle_left.png", "retina.jpg", "rocket.jpg"]


# --- light -----------------------------------------------------------------

def decode(srgb8):
    s = np.asarray(srgb8, dtype=np.float64) / 255.0
    return np.where(s <= 0.04045, s / 12.92, ((s + 0.055) / 1.055) ** 2.4)


def encode(linear):
    l = np.clip(linear, 0.0, 1.0)
    return 255.0 * np.where(l <= 0.0031308, l * 12.92, 1.055 * l ** (1 / 2.4) - 0.055)


def luminance(rgb_linear):
    return rgb_linear[..., 0] * 0.2126 + rgb_linear[..., 1] * 0.7152 + rgb_linear[..., 2] * 0.0722


def resize_linear(linear, width, height):
    """Area (box) resampling of linear light, channel by channel."""
    if linear.ndim == 2:
        return np.asarray(Image.fromarray(linear.astype(np.float32), "F").resize((width, height), Image.BOX),
                          dtype=np.float64)
    return np.dstack([resize_linear(linear[..., c], width, height) for c in range(linear.shape[2])])


def blur(linear, sigma_y, sigma_x):
    if linear.ndim == 2:
        return gaussian_filter(linear, (sigma_y, sigma_x), mode="reflect")
    return np.dstack([blur(linear[..., c], sigma_y, sigma_x) for c in range(linear.shape[2])])


# --- text ------------------------------------------------------------------

class TextDrawer:
    def __init__(self):
        self.font = ImageFont.truetype(TEXT_FONT, TYPE_PX, layout_engine=ImageFont.Layout.BASIC)
        advance = self.font.getlength("M")
        if abs(advance - CELL_W) > 0.01:
            raise SystemExit("Liberation Mono at %d px advances %.2f px, not %d" % (TYPE_PX, advance, CELL_W))
        ascent, descent = self.font.getmetrics()
        self.baseline = (CELL_H - ascent - descent) // 2 + ascent
        self.black_ink = self._darkest_ink()

    def _darkest_ink(self):
        """Ink (share of a cell's light) of the darkest character of printable
        ASCII and Cyrillic, drawn on its own with room around it."""
        darkest = 0.0
        for code in list(range(0x21, 0x7F)) + list(range(0x400, 0x460)):
            ch = chr(code)
            if self.font.getmask(ch).getbbox() is None:
                continue
            tile = Image.new("L", (CELL_W * 3, CELL_H * 3), 255)
            ImageDraw.Draw(tile).text((CELL_W, CELL_H + self.baseline), ch, font=self.font, fill=0, anchor="ls")
            ink = (1.0 - decode(np.asarray(tile))).sum() / (CELL_W * CELL_H)
            darkest = max(darkest, ink)
        return darkest

    def draw(self, lines):
        cols = max(len(l) for l in lines)
        img = Image.new("L", (cols * CELL_W, len(lines) * CELL_H), 255)
        d = ImageDraw.Draw(img)
        for row, line in enumerate(lines):
            for col, ch in enumerate(line):
                if ch != " ":
                    d.text((col * CELL_W, row * CELL_H + self.baseline), ch, font=self.font, fill=0, anchor="ls")
        return img, cols

    def ink(self, lines):
        """Ink (0 paper .. 1 black) of every pixel of the drawn art."""
        img, cols = self.draw(lines)
        return 1.0 - decode(np.asarray(img)), cols

    def luminance(self, lines, white=0.0, black=None):
        """Linear luminance of the drawn art, the ink of white and black as
        given (by default the paper and the darkest character)."""
        ink, cols = self.ink(lines)
        black = self.black_ink if black is None else black
        return 1.0 - (ink - white) / (black - white), cols


def text_scores(picture_rgb8, lines, drawer, white=0.0, black=None):
    art, cols = drawer.luminance(lines, white, black)
    h, w = art.shape
    reference = resize_linear(luminance(decode(picture_rgb8)), w, h)
    a = encode(blur(reference, CELL_H, CELL_W))
    b = encode(blur(art, CELL_H, CELL_W))
    ssim = structural_similarity(a, b, data_range=255.0, gaussian_weights=True, sigma=1.5,
                                 use_sample_covariance=False)
    return ssim, float(np.mean(np.abs(a - b))), cols, len(lines)


# --- figures ---------------------------------------------------------------

def read_colors(text, columns):
    cells = []
    for line in text.splitlines():
        parts = line.split()
        if not parts:
            continue
        nums = [int(p) for p in parts]
        fig = nums[0]
        back = nums[1] if len(nums) > 1 else 0xFFFFFF
        cells.append((fig, back))
    rows = len(cells) // columns
    return [cells[r * columns:(r + 1) * columns] for r in range(rows)]


def rgb_of(value):
    return (value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF)


def figure_scores(picture_rgb8, grid, figure_font, glyph):
    rows, cols = len(grid), len(grid[0])
    font = ImageFont.truetype(figure_font, FIGURE_CELL, layout_engine=ImageFont.Layout.BASIC)
    ascent, _ = font.getmetrics()
    img = Image.new("RGB", (cols * FIGURE_CELL, rows * FIGURE_CELL), (255, 255, 255))
    d = ImageDraw.Draw(img)
    for r, row in enumerate(grid):
        for c, (fig, back) in enumerate(row):
            x, y = c * FIGURE_CELL, r * FIGURE_CELL
            if back != 0xFFFFFF:
                d.rectangle((x, y, x + FIGURE_CELL - 1, y + FIGURE_CELL - 1), fill=rgb_of(back))
            d.text((x, y + ascent), glyph, font=font, fill=rgb_of(fig), anchor="ls")
    art = decode(np.asarray(img))
    reference = resize_linear(decode(picture_rgb8), img.width, img.height)
    # After a one-cell blur every fourth pixel each way tells the same.
    a = skcolor.rgb2lab(encode(blur(reference, FIGURE_CELL, FIGURE_CELL)[::4, ::4]) / 255.0)
    b = skcolor.rgb2lab(encode(blur(art, FIGURE_CELL, FIGURE_CELL)[::4, ::4]) / 255.0)
    return float(np.mean(skcolor.deltaE_ciede2000(a, b)))


# --- pictures --------------------------------------------------------------

def generated_pictures(cli, workdir):
    """Pictures this project makes: its sample picture and two test charts."""
    out = []
    sample = os.path.join(ROOT, "resources", "sample.jpg")
    if os.path.exists(sample):
        out.append(("sample.jpg", np.asarray(Image.open(sample).convert("RGB"))))
    x = np.linspace(0.0, 1.0, 960)
    y = np.linspace(0.0, 1.0, 540)[:, None]
    ramp = np.clip(np.dstack([x + 0 * y, x * (1 - y) + y * (1 - x), 0.5 + 0 * x + 0 * y]), 0, 1)
    out.append(("chart-ramps", (ramp * 255).round().astype(np.uint8)))
    hue = np.linspace(0, 1, 960)[None, :].repeat(540, 0)
    val = np.linspace(1, 0, 540)[:, None].repeat(960, 1)
    hsv = np.dstack([hue, np.full_like(hue, 0.8), val])
    out.append(("chart-hues", (skcolor.hsv2rgb(hsv) * 255).round().astype(np.uint8)))
    return out


def photos():
    out = []
    for name in PHOTOS:
        path = os.path.join(SKIMAGE_DATA, name)
        if os.path.exists(path):
            out.append((name, np.asarray(Image.open(path).convert("RGB"))))
    return out


def folder_pictures(folder):
    out = []
    for name in sorted(os.listdir(folder)):
        if os.path.splitext(name)[1].lower() in (".jpg", ".jpeg", ".png", ".bmp"):
            out.append((name, np.asarray(Image.open(os.path.join(folder, name)).convert("RGB"))))
    return out


# --- tools -----------------------------------------------------------------

def run(cmd):
    p = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    if p.returncode != 0:
        raise RuntimeError("%s: %s" % (" ".join(cmd), p.stderr.decode(errors="replace")))
    return p.stdout.decode("utf-8")


def text_lines(output):
    lines = output.replace("\r\n", "\n").split("\n")
    while lines and lines[-1] == "":
        lines.pop()
    return lines


def text_of(tool, cmd, jpeg, columns, size):
    if tool == "jp2a":
        return text_lines(run(["jp2a", "--invert", "--width=%d" % columns, jpeg]))
    return text_lines(run(cmd + ["-c", str(columns)] + size + [jpeg]))


def tool_scale(tool, cmd, columns, size, drawer, work):
    """Ink of the tool's drawings of a white and of a black picture."""
    inks = []
    for value in (255, 0):
        jpeg = os.path.join(work, "flat%d.jpg" % value)
        Image.fromarray(np.full((480, 640, 3), value, np.uint8)).save(jpeg, quality=95)
        inks.append(float(drawer.ink(text_of(tool, cmd, jpeg, columns, size))[0].mean()))
    return inks


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "tessilor-cli"))
    ap.add_argument("--figure-font", default=None)
    ap.add_argument("--columns", type=int, default=120)
    ap.add_argument("--size", type=int, default=None, help="type size given to tessilor-cli (default: its own)")
    ap.add_argument("--only", default=None, help="comma-separated picture names")
    ap.add_argument("--tools", default="classic,tone,jp2a,figures",
                    help="comma-separated: classic, tone, jp2a, figures (figures also draws --fill)")
    ap.add_argument("--pictures", default=None, help="a folder of more photographs, measured as a set of its own")
    ap.add_argument("--keep", default=None, help="folder to keep the drawings in")
    args = ap.parse_args()
    figure_font = args.figure_font or os.path.join(os.path.dirname(args.cli), "GLYFA__1.TTF")

    drawer = TextDrawer()
    work = tempfile.mkdtemp(prefix="tessilor-quality-")
    wanted = args.tools.split(",")
    tools = [(t, [args.cli, "--method", t]) for t in ("classic", "tone") if t in wanted]
    if "jp2a" in wanted and shutil.which("jp2a"):
        tools.append(("jp2a", None))
    size = ["-s", str(args.size)] if args.size else []

    sets = [("photos", photos()), ("generated", generated_pictures(args.cli, work))]
    if args.pictures:
        sets.append((os.path.basename(os.path.normpath(args.pictures)), folder_pictures(args.pictures)))
    results = {}
    print("text: %d characters per line, Liberation Mono %dx%d px cells, darkest character's ink %.3f" %
          (args.columns, CELL_W, CELL_H, drawer.black_ink))
    scale = {}
    for tool, cmd in tools:
        scale[tool] = tool_scale(tool, cmd, args.columns, size, drawer, work)
        print("%-8s draws white with ink %.3f, black with %.3f (black %.2f of the darkest character)" %
              (tool, scale[tool][0], scale[tool][1], scale[tool][1] / drawer.black_ink))
    print("%-22s %-8s %7s %7s  %s" % ("picture", "tool", "SSIM", "MAE", "size"))
    for set_name, pictures in sets:
        for name, rgb in pictures:
            if args.only and name not in args.only.split(","):
                continue
            jpeg = os.path.join(work, os.path.splitext(name)[0] + ".jpg")
            Image.fromarray(rgb).save(jpeg, quality=95)
            # Everyone reads the same JPEG, and is compared with its pixels.
            decoded = np.asarray(Image.open(jpeg).convert("RGB"))
            for tool, cmd in tools:
                lines = text_of(tool, cmd, jpeg, args.columns, size)
                ssim, mae, cols, rows = text_scores(decoded, lines, drawer, *scale[tool])
                results.setdefault((set_name, tool), []).append((ssim, mae))
                print("%-22s %-8s %7.4f %7.2f  %dx%d" % (name, tool, ssim, mae, cols, rows))
                if args.keep:
                    os.makedirs(args.keep, exist_ok=True)
                    drawer.draw(lines)[0].save(os.path.join(args.keep, "%s-%s.png" % (name, tool)))
            for fill in (False, True) if "figures" in wanted else ():
                cmd = [args.cli, "-m", "figures", "-c", str(args.columns), "-F", "colors", "-s", "18", jpeg]
                if fill:
                    cmd.insert(1, "--fill")
                grid = read_colors(run(cmd), args.columns)
                de = figure_scores(decoded, grid, figure_font, "V")
                results.setdefault((set_name, "fill" if fill else "figures"), []).append((de,))
                print("%-22s %-8s %7s %7.2f  CIEDE2000" % (name, "fill" if fill else "figures", "", de))
    shutil.rmtree(work, ignore_errors=True)

    print()
    print("| set | tool | mean SSIM | tone MAE | mean CIEDE2000 |")
    print("|---|---|---|---|---|")
    for (set_name, tool), values in results.items():
        v = np.array(values)
        if v.shape[1] == 2:
            print("| %s (%d) | %s | %.3f | %.1f | |" % (set_name, len(v), tool, v[:, 0].mean(), v[:, 1].mean()))
        else:
            print("| %s (%d) | %s | | | %.1f |" % (set_name, len(v), tool, v[:, 0].mean()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
