#!/usr/bin/env python3
"""Writes the two figure fonts of Tessilor, GLYFA__1.TTF and GLYFA__2.TTF.

Each font maps the character codes 33 to 126 to 94 shapes drawn for mosaics:
every glyph sits centred in a square cell (advance = line height = 1000
units), shapes of one kind share one size, and strokes are thick enough to
read at 8 points. The first font holds the basic figures (circles, squares,
diamonds, triangles, polygons, stars, hearts, crosses) in several styles, the
second bars, halves, quarters, arrows, symbols and small patterns.

The output is byte-for-byte reproducible: fixed timestamps, no dependence on
the clock or the environment.

Usage: make_figure_fonts.py OUTPUT_FOLDER
"""

import math
import os
import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen

UPM = 1000
ASCENT = 800
DESCENT = 200
ADVANCE = 1000
CX, CY = 500, 300  # centre of the cell
FIRST_CODE, LAST_CODE = 33, 126

# 2026-01-01 00:00:00 UTC in seconds since 1904-01-01 (the TrueType epoch).
FIXED_TIMESTAMP = 3849984000

FAMILIES = ("Quar Tessilor Figures 1", "Quar Tessilor Figures 2")
FILES = ("GLYFA__1.TTF", "GLYFA__2.TTF")

# Common sizes (cell centre at the origin).
R = 430        # radius of full-size round figures
H = 390        # half side of full-size squares
T = 110        # stroke of outlined figures
SMALL = 0.55   # scale of the small figures


# ---------------------------------------------------------------- geometry --

class Poly:
    """A closed polygon; points in any orientation."""

    def __init__(self, points, centre=(0.0, 0.0)):
        self.points = [(float(x), float(y)) for x, y in points]
        self.centre = centre  # the point the shape scales about

    def scaled(self, k):
        cx, cy = self.centre
        return Poly([(cx + (x - cx) * k, cy + (y - cy) * k) for x, y in self.points], self.centre)

    def moved(self, dx, dy):
        return Poly([(x + dx, y + dy) for x, y in self.points], (self.centre[0] + dx, self.centre[1] + dy))

    def inset(self, t):
        # Points closer together than a fraction of the stroke would make the
        # mitred offset fold over itself near sharp tips; drop them first.
        pts = []
        for p in self.points:
            if not pts or math.hypot(p[0] - pts[-1][0], p[1] - pts[-1][1]) >= 0.4 * t:
                pts.append(p)
        if len(pts) > 3 and math.hypot(pts[0][0] - pts[-1][0], pts[0][1] - pts[-1][1]) < 0.4 * t:
            pts.pop()
        if area(pts) < 0:
            pts = pts[::-1]
        n = len(pts)
        out = []
        for i in range(n):
            p0, p1, p2 = pts[i - 1], pts[i], pts[(i + 1) % n]
            n1 = normal(p0, p1)
            n2 = normal(p1, p2)
            d = 1.0 + n1[0] * n2[0] + n1[1] * n2[1]
            d = max(d, 0.15)  # limit the mitre of very sharp corners
            out.append((p1[0] + t * (n1[0] + n2[0]) / d, p1[1] + t * (n1[1] + n2[1]) / d))
        return Poly(out, self.centre)


class Ellipse:
    def __init__(self, cx, cy, rx, ry=None):
        self.cx, self.cy, self.rx = cx, cy, rx
        self.ry = rx if ry is None else ry
        self.centre = (cx, cy)

    def scaled(self, k):
        return Ellipse(self.cx, self.cy, self.rx * k, self.ry * k)

    def moved(self, dx, dy):
        return Ellipse(self.cx + dx, self.cy + dy, self.rx, self.ry)

    def inset(self, t):
        return Ellipse(self.cx, self.cy, self.rx - t, self.ry - t)


def area(pts):
    s = 0.0
    for i in range(len(pts)):
        x0, y0 = pts[i - 1]
        x1, y1 = pts[i]
        s += x0 * y1 - x1 * y0
    return s / 2.0


def normal(p0, p1):
    """Inward unit normal of the edge p0 -> p1 of a counter-clockwise polygon."""
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    length = math.hypot(dx, dy) or 1.0
    return (-dy / length, dx / length)


def polar(r, deg, cx=0.0, cy=0.0):
    a = math.radians(deg)
    return (cx + r * math.cos(a), cy + r * math.sin(a))


def regular(n, r, start=90.0):
    return Poly([polar(r, start + 360.0 * i / n) for i in range(n)])


def star(n, r_out, r_in, start=90.0):
    pts = []
    for i in range(2 * n):
        pts.append(polar(r_out if i % 2 == 0 else r_in, start + 180.0 * i / n))
    return Poly(pts)


def rect(x0, y0, x1, y1):
    return Poly([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], ((x0 + x1) / 2, (y0 + y1) / 2))


def square(h=H):
    return rect(-h, -h, h, h)


def rounded_rect(x0, y0, x1, y1, r, steps=10):
    pts = []
    corners = [(x1 - r, y1 - r, 0), (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180), (x1 - r, y0 + r, 270)]
    for cx, cy, a0 in corners:
        for i in range(steps + 1):
            pts.append(polar(r, a0 + 90.0 * i / steps, cx, cy))
    return Poly(pts, ((x0 + x1) / 2, (y0 + y1) / 2))


def rounded_square(h=H, r=240):
    return rounded_rect(-h, -h, h, h, r)


def capsule(w, h):
    """A pill w wide and h high (the shorter side fully round)."""
    return rounded_rect(-w / 2, -h / 2, w / 2, h / 2, min(w, h) / 2 - 0.5, steps=16)


def arc_points(cx, cy, r, a0, a1, steps):
    return [polar(r, a0 + (a1 - a0) * i / steps, cx, cy) for i in range(steps + 1)]


def triangle(direction):
    """Isosceles triangle pointing up, down, left or right, centred by its
    bounding box, scaling about its incentre so outlines keep one width."""
    w, h = 2 * R, 2 * 0.88 * R
    base, apex = -h / 2, h / 2
    pts = [(-w / 2, base), (w / 2, base), (0.0, apex)]
    side = math.hypot(w / 2, h)
    inr = (w * h / 2) / (w / 2 + side)  # inradius = area / semiperimeter
    inc = (0.0, base + inr)
    poly = Poly(pts, inc)
    return rotate(poly, {"up": 0, "left": 90, "down": 180, "right": 270}[direction])


def rotate(shape, deg):
    if isinstance(shape, Ellipse):
        if deg % 180 == 90:
            return Ellipse(*rot_pt((shape.cx, shape.cy), deg), shape.ry, shape.rx)
        return Ellipse(*rot_pt((shape.cx, shape.cy), deg), shape.rx, shape.ry)
    return Poly([rot_pt(p, deg) for p in shape.points], rot_pt(shape.centre, deg))


def rot_pt(p, deg):
    a = math.radians(deg)
    c, s = math.cos(a), math.sin(a)
    return (p[0] * c - p[1] * s, p[0] * s + p[1] * c)


class Heart:
    """A heart from two circles (centres (+-a, c), radius r) and the two
    lines from the tip (0, tip) that touch them, shifted by offset.
    Insetting shrinks the circles and moves the tip up, so outlines keep one
    width all round."""

    def __init__(self, a, c, r, tip, offset=(0.0, 0.0)):
        self.a, self.c, self.r, self.tip = a, c, r, tip
        self.offset = offset

    @property
    def centre(self):
        return self.offset  # the middle of the heart's bounding box

    @property
    def points(self):
        a, c, r, tip = self.a, self.c, self.r, self.tip
        dx, dy = a, c - tip
        dist = math.hypot(dx, dy)
        phi = math.atan2(dy, dx)
        beta = math.asin(min(r / dist, 1.0))
        length = math.sqrt(max(dist * dist - r * r, 0.0))
        tx, ty = length * math.cos(phi - beta), tip + length * math.sin(phi - beta)
        ang_t = math.degrees(math.atan2(ty - c, tx - a))
        cusp_y = c + math.sqrt(max(r * r - a * a, 0.0))
        ang_cr = math.degrees(math.atan2(cusp_y - c, -a))
        ang_cl = math.degrees(math.atan2(cusp_y - c, a))
        pts = [(0.0, tip)]
        pts += arc_points(a, c, r, ang_t, ang_cr, 36)
        pts += arc_points(-a, c, r, ang_cl, 180 - ang_t, 36)[1:]
        ox, oy = self.offset
        return [(x + ox, y + oy) for x, y in pts]

    def half_tip_angle(self):
        dx, dy = self.a, self.c - self.tip
        dist = math.hypot(dx, dy)
        return math.atan2(dx, dy) + math.asin(min(self.r / dist, 1.0))

    def scaled(self, k):
        return Heart(self.a * k, self.c * k, self.r * k, self.tip * k, self.offset)

    def moved(self, dx, dy):
        return Heart(self.a, self.c, self.r, self.tip, (self.offset[0] + dx, self.offset[1] + dy))

    def inset(self, t):
        return Heart(self.a, self.c, self.r - t, self.tip + t / math.sin(self.half_tip_angle()), self.offset)


def heart(size=1.0):
    k = R * size
    return Heart(0.45 * k, 0.35 * k, 0.55 * k, -0.9 * k)


def lens():
    """A pointed oval standing upright: the overlap of two discs."""
    r = R * 1.08
    d = math.sqrt(r * r - R * R)  # the discs' centres lie d either side of the middle
    a = math.degrees(math.atan2(R, d))
    pts = arc_points(-d, 0, r, -a, a, 30) + arc_points(d, 0, r, 180 - a, 180 + a, 30)
    return Poly(pts)


def plus(arm=R, half=140):
    a, b = arm, half
    return Poly([(-b, -a), (b, -a), (b, -b), (a, -b), (a, b), (b, b), (b, a), (-b, a),
                 (-b, b), (-a, b), (-a, -b), (-b, -b)])


def saltire(arm=R, half=140):
    return rotate(plus(arm * 1.12, half), 45)


def crescent(facing):
    """A crescent moon: a disc with an offset disc cut away, horns to the
    given side."""
    r, rc, d = R, R * 0.85, R * 0.62
    x0 = (r * r - rc * rc + d * d) / (2 * d)
    y0 = math.sqrt(max(r * r - x0 * x0, 0.0))
    a = math.degrees(math.atan2(y0, x0))
    b = math.degrees(math.atan2(y0, x0 - d))
    # The outer arc over the far side, then back along the cutting circle.
    pts = arc_points(0, 0, r, a, 360 - a, 48) + arc_points(d, 0, rc, 360 - b, b, 40)
    poly = Poly(pts, (-0.3 * R, 0)).moved(100, 0)
    return poly if facing == "right" else rotate(poly, 180)


def teardrop():
    """A drop with its point at the top."""
    r = R * 0.62
    cy = -R + r
    alpha = math.degrees(math.acos(r / (R - cy)))
    pts = arc_points(0, cy, r, 90 + alpha, 450 - alpha, 40)
    pts.append((0.0, R))
    return Poly(pts, (0.0, cy))


def half_disc(side, r=R):
    a0 = {"top": 0, "left": 90, "bottom": 180, "right": 270}[side]
    pts = arc_points(0, 0, r, a0, a0 + 180, 40)
    return Poly(pts, (0, 0))


def pie(corner, r=2 * H):
    """Quarter disc whose corner sits in a corner of the full square."""
    sx = -1 if "l" in corner else 1
    sy = 1 if "t" in corner else -1
    cx, cy = sx * H, sy * H
    a0 = math.degrees(math.atan2(-sy, -sx)) - 45
    pts = [(cx, cy)] + arc_points(cx, cy, r, a0, a0 + 90, 30)
    return Poly(pts)


# ------------------------------------------------------------------ glyphs --

class Glyph:
    """A list of filled contours and holes, drawn with the non-zero rule:
    fills run clockwise, holes counter-clockwise."""

    def __init__(self, name):
        self.name = name
        self.parts = []  # (shape, is_hole)

    def fill(self, *shapes):
        for s in shapes:
            self.parts.append((s, False))
        return self

    def hole(self, *shapes):
        for s in shapes:
            self.parts.append((s, True))
        return self

    def outline(self, shape, t=T):
        return self.fill(shape).hole(shape.inset(t))

    def draw(self, pen):
        for shape, is_hole in self.parts:
            if isinstance(shape, Ellipse):
                draw_ellipse(pen, shape, clockwise=not is_hole)
            else:
                draw_poly(pen, shape.points, clockwise=not is_hole)


def to_cell(p):
    return (int(round(CX + p[0])), int(round(CY + p[1])))


def draw_poly(pen, pts, clockwise):
    pts = [to_cell(p) for p in pts]
    # Drop repeated points, which rounding can produce on dense curves.
    clean = []
    for p in pts:
        if not clean or clean[-1] != p:
            clean.append(p)
    if len(clean) > 1 and clean[0] == clean[-1]:
        clean.pop()
    a = area(clean)
    if (a > 0) == clockwise:
        clean.reverse()
    pen.moveTo(clean[0])
    for p in clean[1:]:
        pen.lineTo(p)
    pen.closePath()


def draw_ellipse(pen, e, clockwise, segments=16):
    step = 360.0 / segments
    sign = -1 if clockwise else 1
    k = 1.0 / math.cos(math.radians(step / 2))
    on = [to_cell((e.cx + e.rx * math.cos(math.radians(sign * i * step)),
                   e.cy + e.ry * math.sin(math.radians(sign * i * step)))) for i in range(segments)]
    off = [to_cell((e.cx + e.rx * k * math.cos(math.radians(sign * (i + 0.5) * step)),
                    e.cy + e.ry * k * math.sin(math.radians(sign * (i + 0.5) * step)))) for i in range(segments)]
    pen.moveTo(on[0])
    for i in range(segments):
        pen.qCurveTo(off[i], on[(i + 1) % segments])
    pen.closePath()


def circle(r=R, cx=0.0, cy=0.0):
    return Ellipse(cx, cy, r)


def font1_glyphs():
    """Basic figures: 16 shapes in five styles, then dots and variants."""
    bases = [
        ("circle", circle()),
        ("square", square()),
        ("roundsquare", rounded_square()),
        ("diamond", regular(4, R * 1.08)),
        ("triup", triangle("up")),
        ("tridown", triangle("down")),
        ("trileft", triangle("left")),
        ("triright", triangle("right")),
        ("hexagon", regular(6, R * 1.04, start=90)),
        ("lens", lens()),
        ("pentagon", regular(5, R * 1.05).moved(0, -0.1 * R)),
        ("star5", star(5, R * 1.08, R * 0.5).moved(0, -0.08 * R)),
        ("star6", star(6, R * 1.04, R * 0.62, start=90)),
        ("heart", heart()),
        ("plus", plus()),
        ("saltire", saltire()),
    ]
    glyphs = []
    for name, s in bases:
        glyphs.append(Glyph(name + ".fill").fill(s))
    for name, s in bases:
        glyphs.append(Glyph(name + ".line").outline(s, outline_width(name)))
    for name, s in bases:
        glyphs.append(Glyph(name + ".small").fill(s.scaled(SMALL)))
    for name, s in bases:
        g = Glyph(name + ".dot").outline(s, outline_width(name))
        if name == "plus":
            g.fill(square(62))          # fills the crossing of the arms
        elif name == "saltire":
            g.fill(regular(4, 88))
        else:
            g.fill(s.scaled(0.3))
        glyphs.append(g)
    for name, s in bases:
        g = Glyph(name + ".double").outline(s, 80)
        if name in ("plus", "saltire"):
            # The hole of a cross is too narrow for a second outline: a
            # small solid cross sits in it instead.
            g.fill(plus(R * 0.45, 28) if name == "plus" else saltire(R * 0.42, 28))
        else:
            g.outline(s.scaled(0.5), 65)
        glyphs.append(g)
    # Round and square dots of several sizes between small and full.
    for r in (95, 150, 190, 330):
        glyphs.append(Glyph("dot%d" % r).fill(circle(r)))
    glyphs.append(Glyph("dotpair").fill(circle(95, -170, 0), circle(95, 170, 0)))
    for h in (125, 160, 300):
        glyphs.append(Glyph("sqdot%d" % h).fill(square(h)))
    glyphs.append(Glyph("circle.heavy").outline(circle(), 185))
    glyphs.append(Glyph("square.heavy").outline(square(), 175))
    glyphs.append(Glyph("ellipseh.fill").fill(Ellipse(0, 0, R, R * 0.58)))
    glyphs.append(Glyph("ellipseh.line").outline(Ellipse(0, 0, R, R * 0.58), 85))
    glyphs.append(Glyph("ellipsev.fill").fill(Ellipse(0, 0, R * 0.58, R)))
    glyphs.append(Glyph("ellipsev.line").outline(Ellipse(0, 0, R * 0.58, R), 85))
    return glyphs


def outline_width(name):
    # Sharp shapes need a slightly heavier stroke to look as strong as the rest.
    return {"star5": 90, "star6": 90, "plus": 85, "saltire": 85}.get(name, T)


def font2_glyphs():
    """Bars, halves, quarters, arrows, symbols and small patterns."""
    G = []

    def g(name, *fills):
        x = Glyph(name).fill(*fills)
        G.append(x)
        return x

    # Bars and stripes.
    g("bar.h.thick", rect(-R, -150, R, 150))
    g("bar.h.thin", rect(-R, -70, R, 70))
    g("bar.v.thick", rect(-150, -R, 150, R))
    g("bar.v.thin", rect(-70, -R, 70, R))
    g("stripes.h2", rect(-R, 90, R, 330), rect(-R, -330, R, -90))
    g("stripes.h3", rect(-R, 250, R, 410), rect(-R, -80, R, 80), rect(-R, -410, R, -250))
    g("stripes.v2", rect(90, -R, 330, R), rect(-330, -R, -90, R))
    g("stripes.v3", rect(250, -R, 410, R), rect(-80, -R, 80, R), rect(-410, -R, -250, R))
    g("slash", Poly([(-H, -H), (-H + 220, -H), (H, H - 220), (H, H), (H - 220, H), (-H, -H + 220)]))
    g("backslash", Poly([(H, -H), (H, -H + 220), (-H + 220, H), (-H, H), (-H, H - 220), (H - 220, -H)]))
    # Halves and quarters of the square.
    g("half.top", rect(-H, 0, H, H))
    g("half.bottom", rect(-H, -H, H, 0))
    g("half.left", rect(-H, -H, 0, H))
    g("half.right", rect(0, -H, H, H))
    g("quarter.tl", rect(-H, 0, 0, H))
    g("quarter.tr", rect(0, 0, H, H))
    g("quarter.bl", rect(-H, -H, 0, 0))
    g("quarter.br", rect(0, -H, H, 0))
    # Half discs, flat side through the centre.
    for side in ("top", "bottom", "left", "right"):
        g("halfdisc." + side, half_disc(side).moved(*{"top": (0, -R / 2 + 40), "bottom": (0, R / 2 - 40),
                                                        "left": (R / 2 - 40, 0), "right": (-R / 2 + 40, 0)}[side]))
    # Quarter discs filling a corner of the cell.
    for corner in ("tl", "tr", "bl", "br"):
        g("pie." + corner, pie(corner))
    # Checkers and dot grids.
    g("checker.a", rect(-H, 0, 0, H), rect(0, -H, H, 0))
    g("checker.b", rect(0, 0, H, H), rect(-H, -H, 0, 0))
    g("dots.2x2", *[circle(130, x, y) for x in (-210, 210) for y in (-210, 210)])
    g("dots.3x3", *[circle(85, x, y) for x in (-290, 0, 290) for y in (-290, 0, 290)])
    # Arrows and chevrons.
    arrow = Poly([(0, R), (R, 20), (150, 20), (150, -R), (-150, -R), (-150, 20), (-R, 20)])
    chevron = Poly([(0, 330), (R, -90), (R, -330), (0, 90), (-R, -330), (-R, -90)])
    for name, deg in (("up", 0), ("down", 180), ("left", 90), ("right", 270)):
        g("arrow." + name, rotate(arrow, deg))
    for name, deg in (("up", 0), ("down", 180), ("left", 90), ("right", 270)):
        g("chevron." + name, rotate(chevron, deg))
    # Corner and tee shapes.
    ell = Poly([(-H, -H), (H, -H), (H, -H + 200), (-H + 200, -H + 200), (-H + 200, H), (-H, H)])
    tee = Poly([(-H, H), (H, H), (H, H - 200), (100, H - 200), (100, -H), (-100, -H), (-100, H - 200), (-H, H - 200)])
    for name, deg in (("bl", 0), ("br", 90), ("tr", 180), ("tl", 270)):
        g("corner." + name, rotate(ell, deg))
    for name, deg in (("down", 0), ("right", 90), ("up", 180), ("left", 270)):
        g("tee." + name, rotate(tee, deg))
    # Symbols.
    g("crescent.right", crescent("right"))
    g("crescent.left", crescent("left"))
    g("drop", teardrop())
    spade = rotate(heart(0.82), 180).moved(0, 95)
    g("spade", spade, Poly([(0, -60), (120, -R), (-120, -R)]))
    g("club", circle(175, 0, 205), circle(175, -205, -70), circle(175, 205, -70),
      Poly([(0, 60), (110, -R), (-110, -R)]), rect(-60, -120, 60, 200))
    x = Glyph("circle.plus").outline(circle(), 80).fill(plus(R - 60, 45))
    G.append(x)
    x = Glyph("circle.x").outline(circle(), 80).fill(saltire((R - 60) / 1.12 * 0.99, 45))
    G.append(x)
    x = Glyph("square.plus").outline(square(), 80).fill(plus(H - 40, 45))
    G.append(x)
    x = Glyph("square.x").outline(square(), 80).fill(Poly(diag_x(H - 60, 55)))
    G.append(x)
    x = Glyph("target").outline(circle(), 70).outline(circle(R - 150), 70).fill(circle(100))
    G.append(x)
    g("quatrefoil", circle(185, 0, 215), circle(185, 0, -215), circle(185, 215, 0), circle(185, -215, 0),
      square(150))
    g("star4", star(4, R * 1.05, R * 0.32))
    g("star8", star(8, R * 1.05, R * 0.55, start=90))
    g("burst12", star(12, R * 1.02, R * 0.74))
    G.append(Glyph("star4.line").outline(star(4, R * 1.05, R * 0.36), 70))
    G.append(Glyph("star8.line").outline(star(8, R * 1.05, R * 0.6, start=90), 70))
    # Right triangles in the corners.
    for name, pts in (("bl", [(-H, -H), (H, -H), (-H, H)]), ("br", [(-H, -H), (H, -H), (H, H)]),
                      ("tr", [(H, -H), (H, H), (-H, H)]), ("tl", [(-H, -H), (H, H), (-H, H)])):
        g("wedge." + name, Poly(pts))
    g("parallelogram.r", Poly([(-R, -300), (R - 260, -300), (R, 300), (-R + 260, 300)]))
    g("parallelogram.l", Poly([(-R + 260, -300), (R, -300), (R - 260, 300), (-R, 300)]))
    g("trapezoid.up", Poly([(-R, -320), (R, -320), (R - 230, 320), (-R + 230, 320)]))
    g("trapezoid.down", Poly([(-R + 230, -320), (R - 230, -320), (R, 320), (-R, 320)]))
    lozenge = Poly([(0, R), (260, 0), (0, -R), (-260, 0)])
    g("lozenge", lozenge)
    G.append(Glyph("lozenge.line").outline(lozenge, 75))
    # Half-filled circles and squares.
    for side in ("left", "right", "top", "bottom"):
        x = Glyph("circle.half." + side).outline(circle(), 80).fill(half_disc(side, R - 80))
        G.append(x)
    for side in ("left", "right", "top", "bottom"):
        inner = {"left": rect(-H, -H, 0, H), "right": rect(0, -H, H, H),
                 "top": rect(-H, 0, H, H), "bottom": rect(-H, -H, H, 0)}[side]
        x = Glyph("square.half." + side).outline(square(), 80).fill(inner)
        G.append(x)
    g("hourglass", Poly([(-H, H), (H, H), (40, 0), (H, -H), (-H, -H), (-40, 0)]))
    g("bowtie", Poly([(-H, H), (0, 40), (H, H), (H, -H), (0, -40), (-H, -H)]))
    g("capsule.h", capsule(2 * R, 2 * R * 0.5))
    g("capsule.v", capsule(2 * R * 0.5, 2 * R))
    G.append(Glyph("capsule.h.line").outline(capsule(2 * R, 2 * R * 0.5), 80))
    G.append(Glyph("capsule.v.line").outline(capsule(2 * R * 0.5, 2 * R), 80))
    g("dots.row", *[circle(115, x, 0) for x in (-300, 0, 300)])
    g("dots.column", *[circle(115, 0, y) for y in (-300, 0, 300)])
    g("dots.diagonal", *[circle(115, t, t) for t in (-290, 0, 290)])
    g("asterisk", *[rotate(rect(-R, -75, R, 75), deg) for deg in (90, 30, 150)])
    g("hash", rect(-H, 100, H, 240), rect(-H, -240, H, -100), rect(100, -H, 240, H), rect(-240, -H, -100, H))
    g("grid.3x3", *[square(110).moved(x, y) for x in (-280, 0, 280) for y in (-280, 0, 280)])
    g("dice5", *[circle(105, x, y) for x, y in ((-260, -260), (260, -260), (0, 0), (-260, 260), (260, 260))])
    g("arch", Poly(arc_points(0, -170, R, 0, 180, 40) + [(-R, -R + 60), (-R + 170, -R + 60)]
                   + arc_points(0, -170, R - 170, 180, 0, 40) + [(R - 170, -R + 60), (R, -R + 60)]))
    return G


def diag_x(h, half):
    """An X from corner to corner of a square of half side h, as one outline."""
    d = half * math.sqrt(2)
    return [(-h, -h + d), (-h + d, -h), (0, -d), (h - d, -h), (h, -h + d), (d, 0),
            (h, h - d), (h - d, h), (0, d), (-h + d, h), (-h, h - d), (-d, 0)]


# ------------------------------------------------------------------- fonts --

def notdef(pen):
    # An empty box, the usual picture of a missing glyph.
    for pts, cw in (([(100, -100), (100, 700), (900, 700), (900, -100)], True),
                    ([(180, -20), (820, -20), (820, 620), (180, 620)], False)):
        pen.moveTo(pts[0])
        for p in pts[1:]:
            pen.lineTo(p)
        pen.closePath()


def build(index, out_dir):
    shapes = font1_glyphs() if index == 0 else font2_glyphs()
    count = LAST_CODE - FIRST_CODE + 1
    if len(shapes) != count:
        raise SystemExit("font %d has %d shapes, expected %d" % (index + 1, len(shapes), count))
    names = [s.name for s in shapes]
    if len(set(names)) != len(names):
        raise SystemExit("font %d repeats a shape name" % (index + 1))

    family = FAMILIES[index]
    glyph_order = [".notdef", "space"] + ["g%03d" % c for c in range(FIRST_CODE, LAST_CODE + 1)]
    cmap = {32: "space"}
    glyphs = {}
    pen = TTGlyphPen(None)
    notdef(pen)
    glyphs[".notdef"] = pen.glyph()
    glyphs["space"] = TTGlyphPen(None).glyph()
    for code, shape in zip(range(FIRST_CODE, LAST_CODE + 1), shapes):
        pen = TTGlyphPen(None)
        shape.draw(pen)
        glyphs["g%03d" % code] = pen.glyph()
        cmap[code] = "g%03d" % code

    fb = FontBuilder(UPM, isTTF=True)
    fb.setupGlyphOrder(glyph_order)
    fb.setupCharacterMap(cmap)
    fb.setupGlyf(glyphs)
    metrics = {}
    glyf = fb.font["glyf"]
    for name in glyph_order:
        g = glyf[name]
        g.recalcBounds(glyf)
        metrics[name] = (ADVANCE, getattr(g, "xMin", 0))
    fb.setupHorizontalMetrics(metrics)
    fb.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT, lineGap=0)
    fb.setupNameTable({
        "copyright": "Tessilor figure font",
        "familyName": family,
        "styleName": "Regular",
        "uniqueFontIdentifier": family + " Regular 1.0",
        "fullName": family,
        "psName": family.replace(" ", "") + "-Regular",
        "version": "Version 1.000",
    })
    fb.setupOS2(sTypoAscender=ASCENT, sTypoDescender=-DESCENT, sTypoLineGap=0,
                usWinAscent=ASCENT, usWinDescent=DESCENT, sxHeight=ASCENT - DESCENT,
                sCapHeight=ASCENT - DESCENT, fsType=0, achVendID="QUAR",
                usWeightClass=400, usWidthClass=5, fsSelection=0x40,
                ulUnicodeRange1=1, ulCodePageRange1=(1 << 0) | (1 << 2))
    fb.setupPost(isFixedPitch=1)
    fb.setupHead(unitsPerEm=UPM, created=FIXED_TIMESTAMP, modified=FIXED_TIMESTAMP,
                 fontRevision=1.0)
    fb.font.recalcTimestamp = False
    path = os.path.join(out_dir, FILES[index])
    tmp = path + ".part"
    fb.save(tmp)
    os.replace(tmp, path)
    return path


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_figure_fonts.py OUTPUT_FOLDER\n")
        return 2
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for i in range(2):
        build(i, out_dir)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
