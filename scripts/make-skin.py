#!/usr/bin/env python3
"""Draws the bundled thumbnail-cell pieces (designs P00-P04) and the list
background tiles (275-279) as PNG files in resources/skin/.

The pictures are generated, not drawn by hand, so that they can be changed
by editing the colours below and running this script again."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "resources", "skin")
BUTTON_FACE = (212, 208, 200)

# outer line, highlight, inner fill, tile accent
DESIGNS = [
    ((118, 120, 130), (246, 246, 250), (214, 216, 222), (206, 208, 216)),  # silver
    ((38, 78, 140), (178, 206, 244), (214, 228, 246), (202, 218, 240)),  # sky
    ((98, 60, 30), (214, 170, 120), (236, 220, 196), (226, 206, 178)),  # wood
    ((36, 108, 78), (176, 228, 204), (220, 242, 232), (206, 234, 220)),  # mint
    ((16, 16, 20), (104, 104, 116), (54, 54, 62), (62, 62, 72)),  # charcoal
]


def png(path, width, height, pixel):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixel(x, y))
    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


def band(design, depth):
    """Colour at a depth (pixels) inside the 7-pixel frame band."""
    outer, light, fill, _ = design
    if depth < 0:
        return BUTTON_FACE
    if depth < 1:
        return mix(BUTTON_FACE, outer, depth + 0.5)
    if depth < 2:
        return light
    return mix(light, fill, (depth - 1) / 5.0)


def pieces(index, design):
    def corner(cx, cy):
        return lambda x, y: band(design, 6 - math.hypot(x - cx, y - cy))
    shapes = {
        "LEFTTOP": corner(6, 6),
        "RIGHTTOP": corner(0, 6),
        "LEFTBOTTOM": corner(6, 0),
        "RIGHTBOTTOM": corner(0, 0),
        "LEFT": lambda x, y: band(design, x),
        "RIGHT": lambda x, y: band(design, 6 - x),
        "TOP": lambda x, y: band(design, y),
        "BOTTOM": lambda x, y: band(design, 6 - y),
    }
    for name, shape in shapes.items():
        png(os.path.join(OUT, "P0%d_%s.png" % (index, name)), 7, 7, shape)
    fill, accent = design[2], design[3]
    png(os.path.join(OUT, "P0%d_TILE.png" % index), 4, 4,
        lambda x, y: accent if (x + y) % 4 == 0 else fill)


def backgrounds():
    def waves(x, y):
        t = 0.5 + 0.5 * math.sin(2 * math.pi * (x / 127.0 + y / 61.0 * 2))
        return mix((250, 246, 236), (238, 230, 212), t)
    def diamonds(x, y):
        d = (abs(x - 55) + abs(y - 55)) % 55
        return mix((244, 244, 246), (226, 228, 234), 1 - d / 55.0)
    def dots(x, y):
        r = math.hypot((x % 47) - 23, (y % 47) - 23)
        return mix((216, 230, 246), (240, 246, 252), min(1.0, r / 10.0))
    def checks(x, y):
        return (236, 236, 236) if ((x // 12) + (y // 12)) % 2 else (248, 248, 248)
    def paper(x, y):
        n = ((x * 73856093) ^ (y * 19349663)) & 0xFF
        return mix((246, 242, 232), (232, 226, 212), n / 255.0 * 0.6)
    for number, (w, h, f) in {275: (127, 61, waves), 276: (111, 111, diamonds),
                              277: (94, 94, dots), 278: (24, 24, checks),
                              279: (84, 92, paper)}.items():
        png(os.path.join(OUT, "bg%d.png" % number), w, h, f)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    for i, d in enumerate(DESIGNS):
        pieces(i, d)
    backgrounds()
