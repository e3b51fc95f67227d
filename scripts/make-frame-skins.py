#!/usr/bin/env python3
"""Draws the bundled frame skins: for each, a 24-bit BMP of frame pieces and
an INI file that says where the pieces are and how large the margins are.

    make-frame-skins.py OUTPUT_FOLDER

The build runs it into bin/skin/ and the install copies the result into the
program folder's skin/. The art is computed here, so a skin is changed by
editing its description below and building again."""
import math
import os
import struct
import sys


def write_bmp(path, width, height, pixels):
    """pixels[y][x] = (r, g, b), rows top-down; written bottom-up, 24 bits."""
    stride = (width * 3 + 3) & ~3
    body = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for r, g, b in pixels[y]:
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        body += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + body)


def clamp(v):
    return max(0, min(255, int(round(v))))


def shade(colour, factor):
    return tuple(clamp(c * factor) for c in colour)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(clamp(a[i] + (b[i] - a[i]) * t) for i in range(3))


class Skin:
    """A frame whose bands are left L, top T, right R and bottom B pixels
    thick; edge pieces are tw, bw (along x) and lh, rh (along y) long."""

    def __init__(self, name, caption, L, T, R, B, tw, bw, lh, rh, band, start=None,
                 special=None):
        self.name, self.caption = name, caption
        self.L, self.T, self.R, self.B = L, T, R, B
        self.tw, self.bw, self.lh, self.rh = tw, bw, lh, rh
        self.band = band  # band(side, depth 0..1 from the outside, along, length) -> rgb
        self.start = start or (L, T)
        self.special = special  # (width, height, draw(x, y) -> rgb or None)

    def layout(self):
        sw = max(self.L + self.tw + self.R, self.L + self.bw + self.R)
        sh = max(self.T + self.lh + self.B, self.T + self.rh + self.B)
        special_rect = None
        if self.special:
            w, h, _ = self.special
            # Below the left and bottom pieces' columns, clear of every piece.
            special_rect = (self.L, max(self.T + self.lh, self.T + self.rh), w, h)
            sw = max(sw, self.L + w + self.R)
            sh = max(sh, special_rect[1] + h + self.B)
        return sw, sh, special_rect

    def corner(self, side_x, side_y, lx, ly, w, h):
        """A corner: the band whose outside is nearer (mitred)."""
        dx = (lx if side_x == "left" else w - 1 - lx) / max(1, w - 1)
        dy = (ly if side_y == "top" else h - 1 - ly) / max(1, h - 1)
        if dx <= dy:
            return self.band(side_x, dx, ly, h)
        return self.band(side_y, dy, lx, w)

    def draw(self):
        sw, sh, special_rect = self.layout()
        px = [[(128, 128, 128)] * sw for _ in range(sh)]
        L, T, R, B = self.L, self.T, self.R, self.B

        def fill(x0, y0, w, h, f):
            for y in range(h):
                for x in range(w):
                    px[y0 + y][x0 + x] = f(x, y)

        fill(0, 0, L, T, lambda x, y: self.corner("left", "top", x, y, L, T))
        fill(L, 0, self.tw, T, lambda x, y: self.band("top", y / max(1, T - 1), x, self.tw))
        fill(sw - R, 0, R, T, lambda x, y: self.corner("right", "top", x, y, R, T))
        fill(0, T, L, self.lh, lambda x, y: self.band("left", x / max(1, L - 1), y, self.lh))
        fill(0, sh - B, L, B, lambda x, y: self.corner("left", "bottom", x, y, L, B))
        fill(L, sh - B, self.bw, B,
             lambda x, y: self.band("bottom", (B - 1 - y) / max(1, B - 1), x, self.bw))
        fill(sw - R, T, R, self.rh,
             lambda x, y: self.band("right", (R - 1 - x) / max(1, R - 1), y, self.rh))
        fill(sw - R, sh - B, R, B, lambda x, y: self.corner("right", "bottom", x, y, R, B))
        if special_rect:
            _, _, draw = self.special
            fill(special_rect[0], special_rect[1], special_rect[2], special_rect[3], draw)
        return sw, sh, px, special_rect

    def ini(self, special_rect):
        L, T, R, B = self.L, self.T, self.R, self.B
        sx, sy = self.start
        lines = ["[GENERAL]", "CAPTION=" + self.caption,
                 "TYPE=" + ("attach_on_top" if special_rect else "NORMAL"), "", "[SKIN]",
                 "START_X=%d" % sx, "START_Y=%d" % sy,
                 "MARGIN_X=%d" % (L + R), "MARGIN_Y=%d" % (T + B),
                 "TOP_LEFT_CX=%d" % L, "TOP_LEFT_CY=%d" % T,
                 "TOP_CX=%d" % self.tw, "TOP_CY=%d" % T,
                 "TOP_RIGHT_CX=%d" % R, "TOP_RIGHT_CY=%d" % T,
                 "LEFT_CX=%d" % L, "LEFT_CY=%d" % self.lh,
                 "BOTTOM_LEFT_CX=%d" % L, "BOTTOM_LEFT_CY=%d" % B,
                 "BOTTOM_CX=%d" % self.bw, "BOTTOM_CY=%d" % B,
                 "RIGHT_CX=%d" % R, "RIGHT_CY=%d" % self.rh,
                 "BOTTOM_RIGHT_CX=%d" % R, "BOTTOM_RIGHT_CY=%d" % B]
        if special_rect:
            lines += ["", "[SPECIAL]", "SPECIAL_X=%d" % special_rect[0], "SPECIAL_Y=%d" % special_rect[1],
                      "SPECIAL_CX=%d" % special_rect[2], "SPECIAL_CY=%d" % special_rect[3]]
        return "\r\n".join(lines) + "\r\n"


def bevel(base, light_sides=("top", "left")):
    """A raised moulding: light on the lit sides, dark on the others, with a
    rounded profile across the band."""
    def band(side, depth, along, length):
        lit = side in light_sides
        profile = math.sin(math.pi * min(1.0, depth * 1.15))
        if depth > 0.87:  # the inner lip
            return shade(base, 0.55 if lit else 0.8)
        factor = 0.75 + 0.45 * profile if lit else 0.55 + 0.35 * profile
        return shade(base, factor)
    return band


def silver():
    base = (196, 200, 210)
    band = bevel(base)

    def brushed(side, depth, along, length):
        c = band(side, depth, along, length)
        streak = 0.04 * math.sin(2 * math.pi * along * 3 / length)
        return shade(c, 1.0 + streak)
    return Skin("silver", "은빛 테두리", 18, 18, 18, 18, 24, 24, 24, 24, brushed)


def wood():
    light, dark = (176, 120, 70), (112, 66, 34)

    def band(side, depth, along, length):
        grain = 0.5 + 0.5 * math.sin(2 * math.pi * (along * 2 / length) + depth * 9.0
                                     + 1.7 * math.sin(2 * math.pi * along / length))
        c = mix(dark, light, grain)
        if depth < 0.12 or depth > 0.9:
            c = shade(c, 0.7)
        elif side in ("bottom", "right"):
            c = shade(c, 0.85)
        return c
    return Skin("wood", "원목 액자", 30, 30, 30, 30, 40, 40, 40, 40, band)


def polaroid():
    paper = (246, 244, 236)

    def band(side, depth, along, length):
        if depth < 0.04:
            return (214, 212, 204)  # the card's edge
        speck = 6 * math.sin(along * 12.9898 + depth * 78.233)
        c = tuple(clamp(v + speck * 0.3) for v in paper)
        if depth > 0.96:
            return shade(c, 0.86)  # shadow round the print
        if side == "bottom" and 0.35 < depth < 0.38:
            return (222, 220, 212)  # a faint line to write on
        return c
    # Thin top, wide bottom strip; the picture sits near the top.
    return Skin("polaroid", "폴라로이드 사진", 22, 22, 22, 96, 32, 36, 32, 32, band,
                start=(22, 22))


def film():
    black = (24, 24, 28)

    def band(side, depth, along, length):
        if side in ("left", "right"):
            pos = along % length
            hole = 0.3 < depth < 0.7 and length * 0.25 <= pos < length * 0.75
            if hole:
                return (236, 232, 214)
            return black
        if depth > 0.8:
            return (40, 40, 46)
        return black
    return Skin("film", "필름 스트립", 34, 16, 34, 16, 20, 20, 28, 28, band)


def ribbon():
    gold = (212, 172, 72)
    band = bevel(gold)
    red, deep = (200, 30, 48), (128, 12, 28)
    w, h = 150, 64

    def bow(x, y):
        cx, cy = w / 2.0, 22.0
        # The knot, two loops and two tails.
        if abs(x - cx) < 9 and abs(y - cy) < 10:
            return deep
        dx, dy = abs(x - cx), y - cy
        loop = ((dx - 34) / 30.0) ** 2 + (dy / 18.0) ** 2
        if loop < 1.0:
            return mix(red, deep, loop)
        tail = y > cy and abs(dx - (y - cy) * 0.8 - 6) < 7 and y < h - 2
        if tail:
            return red
        return band("top", min(1.0, y / 17.0), x, w) if y < 18 else gold
    return Skin("ribbon", "리본 장식", 18, 18, 18, 18, 24, 24, 24, 24, band,
                special=(w, h, bow))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "skin"
    os.makedirs(out, exist_ok=True)
    for make in (silver, wood, polaroid, film, ribbon):
        skin = make()
        sw, sh, px, special_rect = skin.draw()
        write_bmp(os.path.join(out, skin.name + ".bmp"), sw, sh, px)
        with open(os.path.join(out, skin.name + ".ini"), "w", encoding="utf-8", newline="") as f:
            f.write(skin.ini(special_rect))


if __name__ == "__main__":
    main()
