#!/usr/bin/env python3
"""Draws Kamelo's program icon: a photo card with a two-humped dune under a
sun. Writes resources/appicon/kamelo.svg and kamelo-N.png for every size the
desktop's hicolor theme asks for. The PNG files are rasterised here from the
same shapes as the SVG, so the two never drift apart; run the script again
after changing the shapes or colours below."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "resources", "appicon")
SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
CANVAS = 256.0

OUTLINE = (52, 56, 70)
CARD = (250, 249, 244)
SKY_TOP = (72, 152, 222)
SKY_BOTTOM = (196, 230, 250)
SUN = (255, 206, 64)
DUNE_BACK = (214, 140, 60)
DUNE_FRONT = (236, 184, 102)

CARD_BOX = (16, 32, 240, 224, 28)  # x0, y0, x1, y1, corner radius
STROKE = 10
PHOTO_BOX = (40, 56, 216, 200, 8)
SUN_CIRCLE = (170, 96, 22)


def back_dune(x):
    """Top edge of the far dune: two humps."""
    return (184 - 58 * math.exp(-((x - 98) / 30.0) ** 2)
            - 44 * math.exp(-((x - 156) / 26.0) ** 2))


def front_dune(x):
    return 188 - 10 * math.cos((x - 40) / 176.0 * math.pi * 1.5)


def in_round_rect(x, y, box):
    x0, y0, x1, y1, r = box
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inset(box, d):
    x0, y0, x1, y1, r = box
    return (x0 + d, y0 + d, x1 - d, y1 - d, max(0, r - d))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def colour_at(x, y):
    """Colour of the icon at canvas point (x, y), or None outside it."""
    if not in_round_rect(x, y, CARD_BOX):
        return None
    if not in_round_rect(x, y, inset(CARD_BOX, STROKE)):
        return OUTLINE
    if not in_round_rect(x, y, PHOTO_BOX):
        return CARD
    if y >= front_dune(x):
        return DUNE_FRONT
    if y >= back_dune(x):
        return DUNE_BACK
    sx, sy, sr = SUN_CIRCLE
    if (x - sx) ** 2 + (y - sy) ** 2 <= sr * sr:
        return SUN
    t = (y - PHOTO_BOX[1]) / (PHOTO_BOX[3] - PHOTO_BOX[1])
    return mix(SKY_TOP, SKY_BOTTOM, t)


def render(size):
    grid = 8 if size <= 32 else 4
    scale = CANVAS / size
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            r = g = b = 0.0
            covered = 0
            for sy in range(grid):
                for sx in range(grid):
                    c = colour_at((px + (sx + 0.5) / grid) * scale,
                                  (py + (sy + 0.5) / grid) * scale)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        covered += 1
            if covered:
                row.extend((round(r / covered), round(g / covered), round(b / covered),
                            round(255 * covered / (grid * grid))))
            else:
                row.extend((0, 0, 0, 0))
        rows.append(bytes(row))
    return rows


def write_png(path, size, rows):
    raw = b"".join(b"\x00" + row for row in rows)

    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def hex_colour(c):
    return "#%02x%02x%02x" % tuple(int(v) for v in c)


def rect(box, fill, extra=""):
    x0, y0, x1, y1, r = box
    return ('<rect x="%g" y="%g" width="%g" height="%g" rx="%g" fill="%s"%s/>'
            % (x0, y0, x1 - x0, y1 - y0, r, fill, extra))


def dune_path(edge):
    x0, _, x1, y1, _ = PHOTO_BOX
    points = ["M%g,%g" % (x0, y1)]
    x = x0
    while x <= x1:
        points.append("L%g,%.1f" % (x, edge(x)))
        x += 4
    points.append("L%g,%g Z" % (x1, y1))
    return " ".join(points)


def write_svg(path):
    sx, sy, sr = SUN_CIRCLE
    x0, y0, x1, y1, _ = PHOTO_BOX
    parts = [
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">',
        '<defs>',
        '<linearGradient id="sky" x1="0" y1="%g" x2="0" y2="%g" gradientUnits="userSpaceOnUse">'
        % (y0, y1),
        '<stop offset="0" stop-color="%s"/><stop offset="1" stop-color="%s"/>'
        % (hex_colour(SKY_TOP), hex_colour(SKY_BOTTOM)),
        '</linearGradient>',
        '<clipPath id="photo">%s</clipPath>' % rect(PHOTO_BOX, "#000"),
        '</defs>',
        rect(CARD_BOX, hex_colour(OUTLINE)),
        rect(inset(CARD_BOX, STROKE), hex_colour(CARD)),
        '<g clip-path="url(#photo)">',
        rect(PHOTO_BOX, "url(#sky)"),
        '<circle cx="%g" cy="%g" r="%g" fill="%s"/>' % (sx, sy, sr, hex_colour(SUN)),
        '<path d="%s" fill="%s"/>' % (dune_path(back_dune), hex_colour(DUNE_BACK)),
        '<path d="%s" fill="%s"/>' % (dune_path(front_dune), hex_colour(DUNE_FRONT)),
        '</g>',
        '</svg>',
    ]
    with open(path, "w") as f:
        f.write("\n".join(parts) + "\n")


def main():
    os.makedirs(OUT, exist_ok=True)
    write_svg(os.path.join(OUT, "kamelo.svg"))
    for size in SIZES:
        write_png(os.path.join(OUT, "kamelo-%d.png" % size), size, render(size))


if __name__ == "__main__":
    main()
