#!/usr/bin/python3
"""Quality of the text art and of the figure mosaic, measured as a viewer sees
them: the output is drawn in its font, both the drawing and the picture are
blurred by one cell in linear light, and the drawing is compared with the
picture.

Text: every tool's characters are drawn in Liberation Mono in cells of
12 x 24 pixels: the glyph's own cell (advance x ascent + descent) is drawn
at four times that size, scaled to the box and averaged down, and its ink is
taken as linear coverage (paper light 1 - ink). Picture and drawing are
blurred with a Gaussian of one cell width in linear light, encoded as
lightness (sRGB), reduced to 4 pixels per cell width by area and compared:
mean SSIM (Gaussian window, sigma 1.5, range 1) and mean absolute error of
lightness (0..255).

Text never reaches black, and a viewer adapts to the art's range and reads
it by lightness, so the drawing's lightness is stretched: the lightness of a
cell filled with the darkest character (of printable ASCII, or of the art if
it uses a darker one) becomes black. This is the "lightness" column, the
measure that counts. The "linear" column stretches in linear light instead
(black point compensation), which favours art that is too dark to a viewer.
The "dark paper" column reads art meant light on black (tessilor-cli
--background dark, jp2a --background=dark): the ink is the light, and the
cell of the darkest character drawn light becomes white.

Structure pictures (line art, a technical drawing, a comic panel, a chart,
a scanned page, logos, lettering, a cartoon: structure_pictures.py draws
them) are judged up close as well: "EO" is the agreement of edge
orientation of picture and drawing at a blur of half a cell (the structure
tensors of both, from Sobel gradients of the reduced lightness, smoothed
over half a cell, compared as a normalised inner product, 0..1: edges where
the picture has them, in its direction and of its relative strength), and
"close" is the SSIM at one cell times EO, the tone seen from afar times the
lines seen up close. Photographs are judged from afar only: up close every
glyph's texture is uncorrelated with a smooth photograph.

Figures: the colour file of the figure mode is drawn with the figure font
in 24 x 24 pixel cells (the glyph in its colour, with --fill on its
background, else on white; soft edges blended as sRGB values, as text is
drawn) and compared with the picture by the mean CIEDE2000 colour
difference; grey figures (--gray) are compared with the picture's grey by
their lightness error after the same blur.

Everything here is done with this script's own arithmetic (PIL drawing,
NumPy, SciPy, scikit-image); only the characters and colours come from the
programs measured.

Usage: quality.py [--cli PATH] [--figure-font PATH] [--columns N] [--size PT]
                  [--only NAME,...] [--tools NAME,...] [--pictures DIR]
                  [--structure-pictures DIR] [--keep DIR]
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
from scipy.ndimage import gaussian_filter, sobel
from skimage import color as skcolor
from skimage.metrics import structural_similarity

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
SKIMAGE_DATA = os.path.join(os.path.dirname(__import__("skimage").__file__), "data")
TEXT_FONT = "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf"
CELL_W, CELL_H = 12, 24
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

SUPER = 4  # glyphs are drawn at four times the cell and averaged down


class TextDrawer:
    """Ink (linear coverage 0..1) of characters in CELL_W x CELL_H cells."""

    def __init__(self):
        probe = ImageFont.truetype(TEXT_FONT, 1000)
        size = max(1, round(CELL_W * SUPER * 1000 / probe.getlength("M")))
        self.font = ImageFont.truetype(TEXT_FONT, size)
        self.ascent, descent = self.font.getmetrics()
        self.natural = (max(1, round(self.font.getlength("M"))), self.ascent + descent)
        self.tiles = {}
        ascii_inks = [self.tile(chr(c)).mean() for c in range(0x21, 0x7F)]
        self.ascii_darkest = max(ascii_inks)

    def tile(self, ch):
        t = self.tiles.get(ch)
        if t is None:
            if ch == " ":
                t = np.zeros((CELL_H, CELL_W))
            else:
                mask = Image.new("L", self.natural, 0)
                ImageDraw.Draw(mask).text((0, self.ascent), ch, font=self.font, fill=255, anchor="ls")
                big = mask.resize((CELL_W * SUPER, CELL_H * SUPER), Image.BILINEAR)
                t = reduce_area(np.asarray(big, dtype=np.float64) / 255.0, SUPER)
            self.tiles[ch] = t
        return t

    def ink(self, lines):
        """Ink of every pixel of the drawn art, and the ink of its darkest
        cell (the darkest ASCII character's, or a darker one the art uses)."""
        cols = max(len(l) for l in lines)
        ink = np.zeros((len(lines) * CELL_H, cols * CELL_W))
        darkest = self.ascii_darkest
        for row, line in enumerate(lines):
            for col, ch in enumerate(line):
                if ch != " ":
                    t = self.tile(ch)
                    darkest = max(darkest, t.mean())
                    ink[row * CELL_H:(row + 1) * CELL_H, col * CELL_W:(col + 1) * CELL_W] = t
        return ink, darkest

    def image(self, lines, dark=False):
        """The drawing as an 8-bit picture, to look at."""
        ink, _ = self.ink(lines)
        light = ink if dark else 1.0 - ink
        return Image.fromarray(encode(light).round().astype(np.uint8), "L")


def reduce_area(a, f):
    h, w = a.shape[0] // f * f, a.shape[1] // f * f
    return a[:h, :w].reshape(h // f, f, w // f, f).mean(axis=(1, 3))


def compare(picture_l, art_l):
    """SSIM and mean absolute error (0..255) of two lightness images 0..1,
    reduced to 4 pixels per cell width."""
    f = max(1, round(CELL_W / 4))
    a, b = reduce_area(picture_l, f), reduce_area(art_l, f)
    ssim = structural_similarity(a, b, data_range=1.0, gaussian_weights=True, sigma=1.5,
                                 use_sample_covariance=False)
    return float(ssim), float(np.mean(np.abs(a - b)) * 255.0)


def text_scores(picture_rgb8, lines, drawer, dark_paper=False):
    """(lightness SSIM, MAE, linear SSIM) on paper, or (SSIM, MAE) on black."""
    ink, darkest = drawer.ink(lines)
    h, w = ink.shape
    sigma = CELL_W
    picture = encode(blur(resize_linear(luminance(decode(picture_rgb8)), w, h), sigma, sigma)) / 255.0
    if dark_paper:
        top = encode(darkest) / 255.0
        art = np.clip(encode(blur(ink, sigma, sigma)) / 255.0 / top, 0.0, 1.0)
        return compare(picture, art)
    light = blur(1.0 - ink, sigma, sigma)
    low = encode(1.0 - darkest) / 255.0
    art = np.clip((encode(light) / 255.0 - low) / (1.0 - low), 0.0, 1.0)
    ssim, mae = compare(picture, art)
    linear = encode(np.clip((light - (1.0 - darkest)) / darkest, 0.0, 1.0)) / 255.0
    return ssim, mae, compare(picture, linear)[0]


def stretched_art(ink, darkest, sigma, dark_paper):
    """The drawing's lightness after a blur of sigma pixels, stretched as
    text_scores stretches it."""
    if dark_paper:
        return np.clip(encode(blur(ink, sigma, sigma)) / 255.0 / (encode(darkest) / 255.0), 0.0, 1.0)
    low = encode(1.0 - darkest) / 255.0
    return np.clip((encode(blur(1.0 - ink, sigma, sigma)) / 255.0 - low) / (1.0 - low), 0.0, 1.0)


def structure_tensor(lightness, rho):
    gx, gy = sobel(lightness, 1, mode="nearest"), sobel(lightness, 0, mode="nearest")
    return [gaussian_filter(v, rho, mode="nearest") for v in (gx * gx, gx * gy, gy * gy)]


def structure_scores(picture_rgb8, lines, drawer, dark_paper=False):
    """(SSIM at one cell, EO at half a cell, close = max(SSIM, 0) x EO)."""
    ink, darkest = drawer.ink(lines)
    h, w = ink.shape
    picture = resize_linear(luminance(decode(picture_rgb8)), w, h)
    far = compare(encode(blur(picture, CELL_W, CELL_W)) / 255.0,
                  stretched_art(ink, darkest, CELL_W, dark_paper))[0]
    f = max(1, round(CELL_W / 4))
    near_picture = reduce_area(encode(blur(picture, CELL_W / 2, CELL_W / 2)) / 255.0, f)
    near_art = reduce_area(stretched_art(ink, darkest, CELL_W / 2, dark_paper), f)
    a = structure_tensor(near_picture, 0.5 * CELL_W / f)
    b = structure_tensor(near_art, 0.5 * CELL_W / f)
    inner = (a[0] * b[0] + 2 * a[1] * b[1] + a[2] * b[2]).sum()
    norms = (a[0] ** 2 + 2 * a[1] ** 2 + a[2] ** 2).sum() * (b[0] ** 2 + 2 * b[1] ** 2 + b[2] ** 2).sum()
    eo = float(inner / np.sqrt(norms + 1e-30))
    return far, eo, max(far, 0.0) * eo


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


def figure_scores(picture_rgb8, grid, figure_font, glyph, gray=False):
    """Mean CIEDE2000 of the drawn mosaic; in grey, the mean lightness error
    (0..255) against the picture's grey (the mean of its sRGB channels, as
    the grey mode takes it)."""
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
    if gray:
        grey = decode(np.asarray(picture_rgb8, dtype=np.float64).mean(axis=2))
        reference = resize_linear(grey, img.width, img.height)
        a = encode(blur(reference, FIGURE_CELL, FIGURE_CELL)[::4, ::4])
        b = encode(blur(art[..., 1], FIGURE_CELL, FIGURE_CELL)[::4, ::4])
        return float(np.mean(np.abs(a - b)))
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


def structure_pictures(workdir):
    """The structure pictures structure_pictures.py draws."""
    folder = os.path.join(workdir, "structure")
    subprocess.run([sys.executable, os.path.join(HERE, "structure_pictures.py"), folder], check=True)
    return folder_pictures(folder)


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


# Text tools: how each is asked for art at a number of columns and rows, and
# whether the art is meant light on black.
TEXT_TOOLS = {
    "classic": (["--method", "classic"], False),
    "tone": (["--method", "tone"], False),
    "tone-by-ink": (["--method", "tone", "--structure", "0"], False),
    "jp2a": (["--invert"], False),
    "chafa": (["--invert"], False),
    "classic-dark": (["--method", "classic", "--background", "dark"], True),
    "tone-dark": (["--method", "tone", "--background", "dark"], True),
    "tone-by-ink-dark": (["--method", "tone", "--background", "dark", "--structure", "0"], True),
    "jp2a-dark": (["--background=dark"], True),
    "chafa-dark": ([], True),
}
# chafa's plain ASCII at its most careful.
CHAFA = ["chafa", "--symbols", "ascii", "-c", "none", "-w", "9", "--stretch"]


def text_of(tool, cli, jpeg, columns, rows, size):
    args, _ = TEXT_TOOLS[tool]
    if tool.startswith("jp2a"):
        return text_lines(run(["jp2a"] + args + ["--width=%d" % columns, "--height=%d" % rows, jpeg]))
    if tool.startswith("chafa"):
        return text_lines(run(CHAFA + args + ["--size", "%dx%d" % (columns, rows), jpeg]))
    return text_lines(run([cli] + args + ["-c", str(columns), "-r", str(rows)] + size + [jpeg]))


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--cli", default=os.path.join(ROOT, "build", "bin", "tessilor-cli"))
    ap.add_argument("--figure-font", default=None)
    ap.add_argument("--columns", type=int, default=120)
    ap.add_argument("--size", type=int, default=None, help="type size given to tessilor-cli (default: its own)")
    ap.add_argument("--only", default=None, help="comma-separated picture names")
    ap.add_argument("--tools", default="classic,tone,tone-by-ink,jp2a,chafa,tone-dark,jp2a-dark,chafa-dark,figures",
                    help="comma-separated: " + ", ".join(TEXT_TOOLS) + ", figures (also --fill and --gray)")
    ap.add_argument("--pictures", default=None, help="a folder of more photographs, measured as a set of its own")
    ap.add_argument("--structure-pictures", default=None,
                    help="a folder of structure pictures, measured up close as well (default: those "
                         "structure_pictures.py draws)")
    ap.add_argument("--keep", default=None, help="folder to keep the art and its drawings in")
    args = ap.parse_args()
    figure_font = args.figure_font or os.path.join(os.path.dirname(args.cli), "GLYFA__1.TTF")

    drawer = TextDrawer()
    work = tempfile.mkdtemp(prefix="tessilor-quality-")
    wanted = args.tools.split(",")
    def installed(tool):
        program = tool.split("-")[0]
        return program not in ("jp2a", "chafa") or shutil.which(program)

    tools = [t for t in TEXT_TOOLS if t in wanted and installed(t)]
    size = ["-s", str(args.size)] if args.size else []

    sets = [("photos", photos()), ("generated", generated_pictures(args.cli, work))]
    if args.pictures:
        sets.append((os.path.basename(os.path.normpath(args.pictures)), folder_pictures(args.pictures)))
    structure = folder_pictures(args.structure_pictures) if args.structure_pictures else structure_pictures(work)
    sets.append(("structure", structure))
    results = {}
    print("text: %d characters per line, Liberation Mono %dx%d px cells, darkest ASCII ink %.3f" %
          (args.columns, CELL_W, CELL_H, drawer.ascii_darkest))
    print("%-22s %-16s %9s %6s %7s   %-9s %6s %6s" % ("picture", "tool", "SSIM", "MAE", "linear", "size", "EO",
                                                      "close"))
    for set_name, pictures in sets:
        for name, rgb in pictures:
            if args.only and name not in args.only.split(","):
                continue
            jpeg = os.path.join(work, os.path.splitext(name)[0] + ".jpg")
            Image.fromarray(rgb).save(jpeg, quality=95)
            # Everyone reads the same JPEG, and is compared with its pixels.
            decoded = np.asarray(Image.open(jpeg).convert("RGB"))
            # Every tool gets the rows tessilor-cli chooses for the columns.
            rows = len(text_lines(run([args.cli, "-c", str(args.columns)] + size + [jpeg])))
            for tool in tools:
                lines = text_of(tool, args.cli, jpeg, args.columns, rows, size)
                dark = TEXT_TOOLS[tool][1]
                scores = text_scores(decoded, lines, drawer, dark_paper=dark)
                close = ""
                if set_name == "structure":
                    _, eo, near = structure_scores(decoded, lines, drawer, dark_paper=dark)
                    results.setdefault((set_name + " up close", tool), []).append((eo, near))
                    close = "%6.3f %6.3f" % (eo, near)
                results.setdefault((set_name, tool), []).append(scores)
                print("%-22s %-16s %9.4f %6.2f %7s   %-9s %s" %
                      (name, tool, scores[0], scores[1], "" if dark else "%.4f" % scores[2],
                       "%dx%d" % (max(len(l) for l in lines), len(lines)), close))
                if args.keep:
                    os.makedirs(args.keep, exist_ok=True)
                    stem = os.path.join(args.keep, "%s-%s" % (os.path.splitext(name)[0], tool))
                    with open(stem + ".txt", "w", encoding="utf-8") as f:
                        f.write("\n".join(lines) + "\n")
                    drawer.image(lines, dark).save(stem + ".png")
            if "figures" not in wanted or set_name == "structure":
                continue
            for gray in (False, True):
                for fill in (False, True):
                    cmd = [args.cli, "-m", "figures", "-c", str(args.columns), "-F", "colors", "-s", "18", jpeg]
                    if fill:
                        cmd.insert(1, "--fill")
                    if gray:
                        cmd.insert(1, "--gray")
                    grid = read_colors(run(cmd), args.columns)
                    score = figure_scores(decoded, grid, figure_font, "V", gray)
                    tool = ("grey " if gray else "") + ("fill" if fill else "figures")
                    results.setdefault((set_name, tool), []).append((score,))
                    print("%-22s %-13s %9s %6.2f %7s   %s" %
                          (name, tool, "", score, "", "lightness error" if gray else "CIEDE2000"))
    shutil.rmtree(work, ignore_errors=True)

    print()
    print("| set | tool | mean SSIM (lightness) | lightness MAE | mean SSIM (linear) | figures |")
    print("|---|---|---|---|---|---|")
    for (set_name, tool), values in results.items():
        v = np.array(values)
        if set_name.endswith("up close"):
            continue
        if v.shape[1] == 3:
            print("| %s (%d) | %s | %.3f | %.1f | %.3f | |" %
                  (set_name, len(v), tool, v[:, 0].mean(), v[:, 1].mean(), v[:, 2].mean()))
        elif v.shape[1] == 2:
            print("| %s (%d) | %s (dark paper) | %.3f | %.1f | | |" % (set_name, len(v), tool, v[:, 0].mean(),
                                                                       v[:, 1].mean()))
        else:
            unit = "lightness error" if tool.startswith("grey") else "CIEDE2000"
            print("| %s (%d) | %s | | | | %s %.1f |" % (set_name, len(v), tool, unit, v[:, 0].mean()))
    print()
    print("| structure pictures up close | tool | mean EO (blur 0.5) | mean close (SSIM x EO) | lowest close |")
    print("|---|---|---|---|---|")
    for (set_name, tool), values in results.items():
        if set_name.endswith("up close"):
            v = np.array(values)
            print("| %d pictures | %s | %.3f | %.3f | %.3f |" % (len(v), tool, v[:, 0].mean(), v[:, 1].mean(),
                                                                 v[:, 1].min()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
