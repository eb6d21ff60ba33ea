#!/usr/bin/python3
"""Structure pictures for the close-view score: line art, a technical
drawing, a comic panel, a chart with grid lines and axes, a scanned page of
text, logos, lettering and a cartoon, and pictures of flat colour fields (a
bar chart, a pie chart, a badge, a cartoon face, a map's land and water, a
page on tinted paper) beside more line drawings (a gear, a house), drawn
deterministically with Pillow (lettering in the DejaVu and Liberation faces
Debian ships).

Usage: structure_pictures.py OUTDIR
Each picture is drawn at four times its size and reduced with a Lanczos
filter (anti-aliased edges, as a scanned or exported picture has them).
"""

import math
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

W, H, S = 960, 720, 4
FONTS = "/usr/share/fonts/truetype"


def font(name, size):
    return ImageFont.truetype(os.path.join(FONTS, name), size * S)


def canvas(bg="white"):
    im = Image.new("RGB", (W * S, H * S), bg)
    return im, ImageDraw.Draw(im)


def pts(seq):
    return [(x * S, y * S) for x, y in seq]


def line(d, seq, width, fill="black"):
    p = pts(seq)
    d.line(p, fill=fill, width=max(1, round(width * S)), joint="curve")
    r = width * S / 2
    for x, y in (p[0], p[-1]):
        d.ellipse((x - r, y - r, x + r, y + r), fill=fill)


def box(d, x0, y0, x1, y1, width=None, outline="black", fill=None):
    d.rectangle((x0 * S, y0 * S, x1 * S, y1 * S), outline=outline, fill=fill,
                width=round((width or 0) * S) if width else 0)


def circle(d, cx, cy, r, width, outline="black", fill=None):
    d.ellipse(((cx - r) * S, (cy - r) * S, (cx + r) * S, (cy + r) * S), outline=outline, fill=fill,
              width=round(width * S))


def arc(d, cx, cy, r, a0, a1, width, fill="black"):
    d.arc(((cx - r) * S, (cy - r) * S, (cx + r) * S, (cy + r) * S), a0, a1, fill=fill, width=round(width * S))


def text(d, xy, s, f, fill="black", anchor="la"):
    d.text((xy[0] * S, xy[1] * S), s, font=f, fill=fill, anchor=anchor)


def finish(im, size=(W, H)):
    return im.resize(size, Image.LANCZOS)


def technical():
    """A flange drawn as an engineer would: two views, centre lines,
    hatching of the section, dimension lines with arrows and numbers."""
    im, d = canvas()
    f = font("dejavu/DejaVuSans.ttf", 16)
    # Front view: circles and bolt holes.
    cx, cy = 260, 360
    circle(d, cx, cy, 190, 4)
    circle(d, cx, cy, 80, 4)
    for k in range(6):
        a = math.radians(60 * k + 30)
        circle(d, cx + 135 * math.cos(a), cy + 135 * math.sin(a), 18, 3)
    circle(d, cx, cy, 135, 1.2)
    line(d, [(cx - 220, cy), (cx + 220, cy)], 1.2)
    line(d, [(cx, cy - 220), (cx, cy + 220)], 1.2)
    # Side view in section, hatched.
    x0, x1 = 600, 700
    box(d, x0, cy - 190, x1, cy + 190, 4)
    box(d, x1, cy - 80, x1 + 160, cy + 80, 4)
    for y in range(int(cy - 190), int(cy - 80), 14):
        line(d, [(x0, y + 14), (x0 + min(100, cy - 80 - y), y + 14 - min(100, cy - 80 - y))], 1.5)
    for y in range(int(cy + 80), int(cy + 190), 14):
        line(d, [(x0, y + 14), (x0 + min(100, cy + 190 - y - 14), y + 14 - min(100, cy + 190 - y - 14))], 1.5)
    line(d, [(560, cy), (900, cy)], 1.2)
    # Dimension lines.
    for y0, y1, x, label in ((cy - 190, cy + 190, 560, "380"), (cy - 80, cy + 80, 890, "160")):
        line(d, [(x, y0), (x, y1)], 1.5)
        for y, s in ((y0, 1), (y1, -1)):
            d.polygon(pts([(x, y), (x - 6, y + 18 * s), (x + 6, y + 18 * s)]), fill="black")
        text(d, (x - 10, (y0 + y1) / 2), label, f, anchor="rm")
    line(d, [(x0, 600), (x1 + 160, 600)], 1.5)
    text(d, ((x0 + x1 + 160) / 2, 610), "260", f, anchor="mt")
    box(d, 20, 650, 940, 710, 3)
    text(d, (40, 668), "FLANGE  DN 150  PN 16    scale 1:2    sheet 1/1", f)
    return finish(im)


def comic():
    """A comic panel: bold outlines, a figure, a speech balloon with
    lettering, speed lines and a hatched shadow."""
    im, d = canvas()
    box(d, 10, 10, 950, 710, 8)
    # Ground and shadow.
    line(d, [(10, 560), (950, 560)], 5)
    for x in range(300, 560, 12):
        line(d, [(x, 600), (x + 40, 560)], 2)
    # A figure running: head, body, limbs.
    circle(d, 420, 250, 55, 7, fill="white")
    circle(d, 405, 240, 6, 3, fill="black")
    circle(d, 440, 240, 6, 3, fill="black")
    arc(d, 422, 262, 25, 20, 160, 5)
    line(d, [(420, 305), (440, 450)], 9)
    line(d, [(430, 340), (340, 300), (300, 330)], 8)
    line(d, [(430, 340), (520, 390), (560, 360)], 8)
    line(d, [(440, 450), (380, 520), (330, 545)], 9)
    line(d, [(440, 450), (520, 510), (510, 555)], 9)
    # Speed lines.
    for k, y in enumerate(range(220, 520, 40)):
        line(d, [(60 + 10 * k, y), (250 + 6 * k, y)], 3)
    # Speech balloon with a tail.
    d.ellipse((560 * S, 50 * S, 920 * S, 230 * S), outline="black", width=6 * S, fill="white")
    d.polygon(pts([(640, 215), (560, 300), (700, 225)]), fill="black")
    d.polygon(pts([(648, 212), (580, 278), (690, 222)]), fill="white")
    fb = font("dejavu/DejaVuSans-Bold.ttf", 40)
    text(d, (740, 115), "LATE", fb, anchor="mm")
    text(d, (740, 170), "AGAIN!", fb, anchor="mm")
    # A lamp post and a house outline behind.
    box(d, 720, 300, 900, 560, 6, fill="white")
    d.polygon(pts([(700, 300), (810, 230), (920, 300)]), outline="black", width=6 * S)
    box(d, 760, 340, 820, 400, 4)
    box(d, 840, 440, 880, 560, 4)
    return finish(im)


def chart():
    """A chart with grid lines, axes, ticks and labels, two data lines and
    bars."""
    im, d = canvas()
    f = font("dejavu/DejaVuSans.ttf", 18)
    x0, y0, x1, y1 = 110, 60, 920, 620
    for k in range(11):
        x = x0 + (x1 - x0) * k / 10
        line(d, [(x, y0), (x, y1)], 1.2, fill=(150, 150, 150))
        text(d, (x, y1 + 12), str(2014 + k), f, anchor="mt")
    for k in range(9):
        y = y1 - (y1 - y0) * k / 8
        line(d, [(x0, y), (x1, y)], 1.2, fill=(150, 150, 150))
        text(d, (x0 - 12, y), str(25 * k), f, anchor="rm")
    line(d, [(x0, y0 - 20), (x0, y1)], 3)
    line(d, [(x0, y1), (x1 + 20, y1)], 3)
    for k in range(10):
        h = (60 + 35 * math.sin(k * 1.3) + 12 * k)
        bx = x0 + (x1 - x0) * (k + 0.3) / 10
        box(d, bx, y1 - h * (y1 - y0) / 200, bx + 30, y1, fill=(90, 90, 90))
    a = [(x0 + (x1 - x0) * k / 40, y1 - (y1 - y0) * (0.5 + 0.3 * math.sin(k / 5.0) + k / 200.0))
         for k in range(41)]
    b = [(x0 + (x1 - x0) * k / 40, y1 - (y1 - y0) * (0.25 + 0.012 * k + 0.08 * math.cos(k / 3.0)))
         for k in range(41)]
    line(d, a, 4)
    line(d, b, 3, fill=(60, 60, 60))
    for x, y in b[::4]:
        circle(d, x, y, 7, 3, fill="white")
    text(d, (x0 + 20, 20), "Monthly output, thousand units", font("dejavu/DejaVuSans-Bold.ttf", 22))
    return finish(im)


def scanned_page():
    """A scanned page of text: two columns of serif text, a heading, slightly
    turned and grey paper with noise, as a scanner gives it."""
    im, d = canvas((236, 233, 226))
    words = ("the of and to in is that it for was on are as with his they at be this from have or by one "
             "had not but what all were when we there can an your which their said if do will each about "
             "how up out them then she many some so these would other into has more her two like him see "
             "time could no make than first been its who now people my made over did down only way find "
             "use may water long little very after words called just where most know").split()
    rng = random.Random(7)
    head = font("dejavu/DejaVuSerif-Bold.ttf", 30)
    body = font("dejavu/DejaVuSerif.ttf", 15)
    text(d, (60, 40), "On the Measurement of Light", head, fill=(25, 25, 25))
    line(d, [(60, 88), (900, 88)], 2, fill=(25, 25, 25))
    for col, cx in enumerate((60, 500)):
        y = 110
        while y < 680:
            n, s = 0, ""
            while True:
                w = rng.choice(words)
                if len(s) + len(w) + 1 > 48:
                    break
                s = (s + " " + w).strip()
                n += 1
            if rng.random() < 0.08:
                y += 14
                s = s.capitalize()
            text(d, (cx, y), s, body, fill=(30, 30, 30))
            y += 21
    im = im.rotate(0.8, resample=Image.BICUBIC, fillcolor=(236, 233, 226))
    im = finish(im)
    noise = Image.effect_noise(im.size, 10).convert("RGB")
    return Image.blend(im, noise, 0.06)


def logos():
    """Three logos: a ring with a bold monogram, a shield with stripes, a
    rounded badge with a star; flat colours on white."""
    im, d = canvas()
    circle(d, 170, 220, 130, 22, outline=(20, 50, 120))
    text(d, (170, 222), "K", font("dejavu/DejaVuSans-Bold.ttf", 150), fill=(20, 50, 120), anchor="mm")
    d.polygon(pts([(380, 90), (580, 90), (580, 250), (480, 350), (380, 250)]), fill=(180, 30, 30))
    for k in range(4):
        d.polygon(pts([(400 + 45 * k, 110), (420 + 45 * k, 110), (420 + 45 * k, 300 - 10 * k),
                       (400 + 45 * k, 290 - 10 * k)]), fill="white")
    d.rounded_rectangle((650 * S, 100 * S, 910 * S, 340 * S), radius=50 * S, fill=(30, 30, 30))
    star = [(780 + (95 if k % 2 == 0 else 40) * math.sin(math.pi * k / 5),
             220 - (95 if k % 2 == 0 else 40) * math.cos(math.pi * k / 5)) for k in range(10)]
    d.polygon(pts(star), fill=(240, 190, 40))
    fb = font("dejavu/DejaVuSans-Bold.ttf", 64)
    text(d, (480, 520), "NORTHWIND", fb, fill=(20, 50, 120), anchor="mm")
    line(d, [(140, 600), (820, 600)], 8, fill=(180, 30, 30))
    text(d, (480, 650), "freight  since 1921", font("dejavu/DejaVuSans.ttf", 32), fill=(30, 30, 30), anchor="mm")
    return finish(im)


def lettering():
    """Lettering: large words in several faces, outlined letters, a line of
    small capitals and a Cyrillic word."""
    im, d = canvas()
    text(d, (480, 110), "Typography", font("dejavu/DejaVuSerif-Bold.ttf", 120), anchor="mm")
    text(d, (480, 270), "HELLO WORLD", font("liberation/LiberationSans-Bold.ttf", 96), anchor="mm",
         fill="white")
    d.text((480 * S, 270 * S), "HELLO WORLD", font=font("liberation/LiberationSans-Bold.ttf", 96), anchor="mm",
           fill="white", stroke_width=4 * S, stroke_fill="black")
    text(d, (480, 420), "Привет, мир", font("dejavu/DejaVuSans.ttf", 96), anchor="mm")
    text(d, (480, 560), "italic script & numbers 0123456789", font("dejavu/DejaVuSerif-Italic.ttf", 44),
         anchor="mm")
    text(d, (480, 660), "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG", font("dejavu/DejaVuSans.ttf", 28),
         anchor="mm")
    return finish(im)


def cartoon():
    """A cartoon: a cat with whiskers and a fish bowl, flat fills, bold
    outlines."""
    im, d = canvas((250, 245, 230))
    # Table.
    box(d, 0, 560, 960, 720, fill=(170, 120, 70))
    line(d, [(0, 560), (960, 560)], 6)
    # Cat body and head.
    d.ellipse((170 * S, 300 * S, 470 * S, 570 * S), fill=(240, 150, 50), outline="black", width=7 * S)
    d.ellipse((210 * S, 150 * S, 430 * S, 340 * S), fill=(240, 150, 50), outline="black", width=7 * S)
    d.polygon(pts([(225, 200), (240, 100), (300, 165)]), fill=(240, 150, 50), outline="black", width=7 * S)
    d.polygon(pts([(415, 200), (400, 100), (340, 165)]), fill=(240, 150, 50), outline="black", width=7 * S)
    for ex in (280, 360):
        d.ellipse(((ex - 22) * S, 210 * S, (ex + 22) * S, 262 * S), fill="white", outline="black", width=4 * S)
        d.ellipse(((ex - 8) * S, 228 * S, (ex + 10) * S, 258 * S), fill="black")
    d.polygon(pts([(305, 280), (335, 280), (320, 296)]), fill=(220, 80, 100))
    for s in (-1, 1):
        for k in (-1, 0, 1):
            line(d, [(320 + s * 35, 292 + 8 * k), (320 + s * 150, 280 + 22 * k)], 2.5)
    # Stripes on the body.
    for k in range(4):
        arc(d, 320, 440, 90 + 18 * k, 200, 250, 6)
    # Tail.
    line(d, [(460, 520), (540, 470), (560, 380), (530, 330)], 14)
    line(d, [(460, 520), (540, 470), (560, 380), (530, 330)], 8, fill=(240, 150, 50))
    # Fish bowl.
    d.ellipse((600 * S, 300 * S, 880 * S, 570 * S), fill=(200, 230, 250), outline="black", width=6 * S)
    box(d, 650, 290, 830, 320, fill=(250, 245, 230))
    line(d, [(650, 318), (830, 318)], 6)
    d.ellipse((700 * S, 420 * S, 790 * S, 470 * S), fill=(250, 120, 40), outline="black", width=4 * S)
    d.polygon(pts([(785, 445), (830, 415), (830, 475)]), fill=(250, 120, 40), outline="black", width=4 * S)
    for bx, by, r in ((720, 390, 8), (740, 360, 6), (728, 335, 5)):
        circle(d, bx, by, r, 2.5)
    return finish(im)


def flowchart():
    """A diagram: boxes, a diamond, arrows and short labels."""
    im, d = canvas()
    f = font("dejavu/DejaVuSans.ttf", 22)

    def arrow(a, b):
        line(d, [a, b], 3)
        ang = math.atan2(b[1] - a[1], b[0] - a[0])
        tip = [b, (b[0] - 18 * math.cos(ang - 0.4), b[1] - 18 * math.sin(ang - 0.4)),
               (b[0] - 18 * math.cos(ang + 0.4), b[1] - 18 * math.sin(ang + 0.4))]
        d.polygon(pts(tip), fill="black")

    d.rounded_rectangle((380 * S, 30 * S, 580 * S, 100 * S), radius=35 * S, outline="black", width=4 * S)
    text(d, (480, 65), "start", f, anchor="mm")
    arrow((480, 100), (480, 160))
    box(d, 360, 160, 600, 240, 4)
    text(d, (480, 200), "read picture", f, anchor="mm")
    arrow((480, 240), (480, 300))
    d.polygon(pts([(480, 300), (600, 380), (480, 460), (360, 380)]), outline="black", width=4 * S)
    text(d, (480, 380), "tone?", f, anchor="mm")
    arrow((600, 380), (720, 380))
    box(d, 720, 340, 920, 420, 4)
    text(d, (820, 380), "diffuse", f, anchor="mm")
    arrow((360, 380), (240, 380))
    box(d, 40, 340, 240, 420, 4)
    text(d, (140, 380), "classic", f, anchor="mm")
    arrow((480, 460), (480, 540))
    line(d, [(140, 420), (140, 580), (420, 580)], 3)
    line(d, [(820, 420), (820, 580), (540, 580)], 3)
    box(d, 380, 540, 580, 620, 4)
    text(d, (480, 580), "write text", f, anchor="mm")
    d.rounded_rectangle((380 * S, 650 * S, 580 * S, 710 * S), radius=30 * S, outline="black", width=4 * S)
    arrow((480, 620), (480, 650))
    text(d, (480, 680), "end", f, anchor="mm")
    return finish(im)


def floorplan():
    """A floor plan: thick walls, door arcs, windows, stairs and a
    dimension chain."""
    im, d = canvas()
    walls = [(60, 60, 900, 60), (900, 60, 900, 660), (900, 660, 60, 660), (60, 660, 60, 60),
             (420, 60, 420, 380), (420, 460, 420, 660), (60, 380, 330, 380), (420, 300, 900, 300)]
    for x0, y0, x1, y1 in walls:
        line(d, [(x0, y0), (x1, y1)], 12)
    for x, y, a0, a1 in ((330, 380, 270, 360), (420, 380, 0, 90), (620, 300, 0, 90)):
        arc(d, x, y, 80, a0, a1, 2)
    for x0, x1 in ((140, 300), (560, 760)):
        box(d, x0, 52, x1, 68, fill="white")
        line(d, [(x0, 56), (x1, 56)], 2)
        line(d, [(x0, 64), (x1, 64)], 2)
    for k in range(10):
        line(d, [(700, 400 + 24 * k), (880, 400 + 24 * k)], 2)
    line(d, [(790, 400), (790, 640)], 2)
    f = font("dejavu/DejaVuSans.ttf", 22)
    for xy, s in (((240, 220), "living 24 m²"), ((240, 520), "kitchen"), ((660, 180), "bedroom"),
                  ((560, 480), "hall")):
        text(d, xy, s, f, anchor="mm")
    line(d, [(60, 700), (900, 700)], 1.5)
    for x in (60, 420, 900):
        line(d, [(x - 8, 708), (x + 8, 692)], 2)
    return finish(im)


def map_lines():
    """A map: contour lines around two hills, a river, roads and place
    names."""
    im, d = canvas()
    for (cx, cy, n) in ((300, 300, 9), (700, 420, 7)):
        for k in range(1, n + 1):
            r = 26 * k
            p = [(cx + r * math.cos(t) * (1 + 0.15 * math.sin(3 * t + k)),
                  cy + 0.8 * r * math.sin(t) * (1 + 0.1 * math.cos(2 * t))) for t in
                 [i * 2 * math.pi / 120 for i in range(121)]]
            line(d, p, 2.5 if k % 5 else 4, fill=(120, 80, 40))
    river = [(0, 600 + 40 * math.sin(x / 90.0)) for x in range(0, 961, 20)]
    river = [(x, y - x * 0.35) for (x, y), x in zip(river, range(0, 961, 20))]
    line(d, river, 8, fill=(40, 90, 200))
    line(d, [(80, 700), (400, 520), (520, 540), (940, 120)], 6)
    line(d, [(0, 150), (500, 180), (960, 260)], 4)
    f = font("dejavu/DejaVuSans-Bold.ttf", 24)
    text(d, (300, 300), "Kamen 812", f, anchor="mm")
    text(d, (700, 420), "Vrh 640", f, anchor="mm")
    text(d, (180, 640), "Lipa", f, anchor="mm")
    return finish(im)


def circuit():
    """A circuit schematic: wires at right angles, resistors as zigzags,
    capacitors, a transistor and labels."""
    im, d = canvas()
    f = font("dejavu/DejaVuSans.ttf", 20)

    def resistor(x, y, vertical=False):
        zz = [(x + 8 * (k % 2 * 2 - 1) * (0 < k < 9), y + 10 * k) if vertical else
              (x + 10 * k, y + 8 * (k % 2 * 2 - 1) * (0 < k < 9)) for k in range(10)]
        line(d, zz, 3)

    line(d, [(80, 100), (880, 100)], 3)
    line(d, [(80, 620), (880, 620)], 3)
    for x in (200, 500, 800):
        line(d, [(x, 100), (x, 220)], 3)
        resistor(x, 220, True)
        line(d, [(x, 310), (x, 400)], 3)
        text(d, (x + 20, 265), "R%d 10k" % (x // 300 + 1), f, anchor="lm")
    line(d, [(200, 400), (800, 400)], 3)
    line(d, [(350, 400), (350, 480)], 3)
    line(d, [(320, 480), (380, 480)], 4)
    line(d, [(320, 500), (380, 500)], 4)
    line(d, [(350, 500), (350, 620)], 3)
    text(d, (395, 490), "C1 100n", f, anchor="lm")
    circle(d, 650, 510, 45, 3)
    line(d, [(635, 480), (635, 540)], 5)
    line(d, [(600, 510), (635, 510)], 3)
    line(d, [(635, 495), (670, 470), (670, 400)], 3)
    line(d, [(635, 525), (670, 550), (670, 620)], 3)
    text(d, (710, 510), "Q1", f, anchor="lm")
    circle(d, 80, 100, 6, 3, fill="black")
    circle(d, 80, 620, 6, 3, fill="black")
    text(d, (60, 80), "+12V", f, anchor="rm")
    text(d, (60, 640), "0V", f, anchor="rm")
    return finish(im)


# Pictures of flat colour fields (bars, badges, fills of a cartoon, land and
# water), where the art must be even rather than dithered.
def bar_chart():
    im, d = canvas()
    for y in range(100, 640, 60):
        line(d, [(100, y), (900, y)], 2, fill=(200, 200, 200))
    line(d, [(100, 80), (100, 640)], 4)
    line(d, [(100, 640), (900, 640)], 4)
    f = font("dejavu/DejaVuSans.ttf", 28)
    for i, h in enumerate([300, 420, 180, 500, 360, 240]):
        x = 150 + i * 125
        box(d, x, 640 - h, x + 70, 640, 3, fill=(40, 90, 170))
        text(d, (x + 10, 650), "Q%d" % (i + 1), f)
    text(d, (300, 20), "Sales 2026", font("dejavu/DejaVuSans-Bold.ttf", 44))
    return finish(im)


def pie_chart():
    im, d = canvas()
    start = 0
    for share, colour in zip([35, 25, 25, 15], [(220, 60, 60), (60, 120, 220), (250, 190, 40), (70, 170, 90)]):
        end = start + share * 3.6
        d.pieslice((200 * S, 80 * S, 760 * S, 640 * S), start, end, fill=colour, outline="black", width=4 * S)
        start = end
    return finish(im)


def badge():
    im, d = canvas()
    d.rounded_rectangle((260 * S, 160 * S, 700 * S, 560 * S), radius=60 * S, fill=(200, 30, 40))
    text(d, (300, 220), "TX", font("dejavu/DejaVuSans-Bold.ttf", 220), fill="white")
    text(d, (300, 600), "TEXTILE", font("dejavu/DejaVuSans-Bold.ttf", 64), fill=(200, 30, 40))
    return finish(im)


def smiley():
    im, d = canvas((255, 250, 230))
    circle(d, 480, 320, 200, 10, fill=(255, 220, 60))
    d.ellipse((380 * S, 230 * S, 430 * S, 310 * S), fill="black")
    d.ellipse((530 * S, 230 * S, 580 * S, 310 * S), fill="black")
    arc(d, 480, 350, 120, 20, 160, 10)
    for seq in ([(480, 520), (480, 650)], [(480, 560), (380, 620)], [(480, 560), (580, 620)],
                [(480, 650), (410, 715)], [(480, 650), (550, 715)]):
        line(d, seq, 8)
    return finish(im)


def gear():
    im, d = canvas()
    cx, cy = 480, 360
    teeth = [(cx + (260 if k % 2 == 0 else 220) * math.cos(k * math.pi / 24),
              cy + (260 if k % 2 == 0 else 220) * math.sin(k * math.pi / 24)) for k in range(48)]
    d.polygon(pts(teeth), outline="black", width=4 * S)
    circle(d, cx, cy, 80, 4)
    line(d, [(cx - 300, cy), (cx + 300, cy)], 2, fill=(120, 120, 120))
    line(d, [(cx, cy - 300), (cx, cy + 300)], 2, fill=(120, 120, 120))
    line(d, [(60, 680), (900, 680)], 2)
    text(d, (420, 690), "520 mm", font("dejavu/DejaVuSans.ttf", 22))
    return finish(im)


def land_and_water():
    im, d = canvas((236, 232, 220))
    d.polygon(pts([(0, 500), (300, 450), (520, 560), (700, 720), (0, 720)]), fill=(150, 190, 230))
    line(d, [(0, 100), (300, 200), (600, 150), (960, 300)], 18, fill=(230, 150, 40))
    line(d, [(200, 0), (260, 300), (420, 700)], 12, fill="white")
    line(d, [(600, 0), (640, 400), (960, 600)], 8, fill="white")
    d.ellipse((700 * S, 380 * S, 760 * S, 440 * S), fill=(50, 140, 60))
    text(d, (720, 200), "Northfield", font("dejavu/DejaVuSans.ttf", 30))
    return finish(im)


def book_page():
    im, d = canvas((245, 243, 236))
    rnd = random.Random(4)
    words = "the quick brown fox jumps over lazy dog while sixty zebras quietly graze near old mills".split()
    text(d, (80, 60), "Chapter Three", font("dejavu/DejaVuSerif-Bold.ttf", 44), fill=(20, 20, 20))
    body = font("dejavu/DejaVuSerif.ttf", 26)
    for k in range(14):
        text(d, (80, 140 + 40 * k), " ".join(rnd.choice(words) for _ in range(9)), body, fill=(30, 30, 30))
    return finish(im)


def house():
    im, d = canvas()
    for seq in ([(200, 600), (600, 640), (820, 560), (820, 300), (640, 80), (400, 120), (200, 320), (200, 600)],
                [(600, 640), (600, 340), (400, 120)], [(400, 120), (640, 80)], [(200, 320), (600, 340)],
                [(330, 620), (330, 460), (430, 465), (430, 625)]):
        line(d, seq, 4)
    box(d, 460, 400, 560, 480, 4)
    line(d, [(0, 660), (960, 700)], 2)
    return finish(im)


PICTURES = [("technical", technical), ("comic", comic), ("chart", chart), ("scanned", scanned_page),
            ("logos", logos), ("lettering", lettering), ("cartoon", cartoon), ("flowchart", flowchart),
            ("floorplan", floorplan), ("map", map_lines), ("circuit", circuit), ("bar_chart", bar_chart),
            ("pie_chart", pie_chart), ("badge", badge), ("smiley", smiley), ("gear", gear),
            ("land_and_water", land_and_water), ("book_page", book_page), ("house", house)]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    os.makedirs(sys.argv[1], exist_ok=True)
    for name, draw in PICTURES:
        draw().save(os.path.join(sys.argv[1], name + ".png"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
