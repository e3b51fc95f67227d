#!/usr/bin/env python3
"""Draws the bundled thumbnail-cell pieces (designs P00-P04) and the list
background tiles (275-279) as PNG files in resources/skin/, and the tool bar
icons used when the desktop's icon theme has none in resources/icons/.

The pictures are generated, not drawn by hand, so that they can be changed
by editing the colours below and running this script again."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "resources", "skin")
ICONS = os.path.join(os.path.dirname(__file__), "..", "resources", "icons")
BUTTON_FACE = (212, 208, 200)

# outer line, highlight, inner fill, tile accent
DESIGNS = [
    ((118, 120, 130), (246, 246, 250), (214, 216, 222), (206, 208, 216)),  # silver
    ((38, 78, 140), (178, 206, 244), (214, 228, 246), (202, 218, 240)),  # sky
    ((98, 60, 30), (214, 170, 120), (236, 220, 196), (226, 206, 178)),  # wood
    ((36, 108, 78), (176, 228, 204), (220, 242, 232), (206, 234, 220)),  # mint
    ((16, 16, 20), (104, 104, 116), (54, 54, 62), (62, 62, 72)),  # charcoal
]


def png(path, width, height, pixel, alpha=False):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            raw.extend(pixel(x, y))
    def chunk(tag, data):
        c = struct.pack(">I", len(data)) + tag + data
        return c + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n"
    colour_type = 6 if alpha else 2
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
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


# Tool bar icons: 24 x 24, shapes in a 24-unit square, later shapes on top,
# edges smoothed by 4 x 4 samples per pixel.
ICON_SIZE = 24
INK = (52, 56, 66)
BLUE = (58, 118, 196)
PALE = (206, 226, 248)
PAPER = (252, 252, 250)


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, w, skip=None):
    """A ring; skip=(a, b) leaves out the angles from a to b (degrees, screen
    coordinates: 0 is right, 90 is down)."""
    def inside(x, y):
        if abs(math.hypot(x - cx, y - cy) - r) > w / 2:
            return False
        if skip:
            a = math.degrees(math.atan2(y - cy, x - cx))
            if skip[0] <= a <= skip[1]:
                return False
        return True
    return inside


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def segment(x0, y0, x1, y1, w):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        return math.hypot(x - x0 - t * dx, y - y0 - t * dy) <= w / 2
    return inside


def polygon(points):
    def inside(x, y):
        n, hit = len(points), False
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    return inside


def framed(x0, y0, x1, y1, fill, line=INK, w=1.5):
    return [(box(x0, y0, x1, y1), line), (box(x0 + w, y0 + w, x1 - w, y1 - w), fill)]


def draw_icon(name, layers):
    samples = 4
    def pixel(px, py):
        r = g = b = a = 0
        for sy in range(samples):
            for sx in range(samples):
                x = px + (sx + 0.5) / samples
                y = py + (sy + 0.5) / samples
                for inside, colour in reversed(layers):
                    if inside(x, y):
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
                        break
        if a == 0:
            return (0, 0, 0, 0)
        return (r // a, g // a, b // a, 255 * a // (samples * samples))
    png(os.path.join(ICONS, name + ".png"), ICON_SIZE, ICON_SIZE, pixel, alpha=True)


def toolbar_icons():
    icons = {
        # 크게보기: a magnifier with a plus
        "zoom-in": [(circle(10, 10, 7.2), INK), (circle(10, 10, 5.4), PALE),
                    (segment(15, 15, 21, 21, 3.6), INK),
                    (segment(6.8, 10, 13.2, 10, 1.8), INK), (segment(10, 6.8, 10, 13.2, 1.8), INK)],
        # 인쇄: a printer with a sheet going in and one coming out
        "document-print": framed(6, 2, 18, 10, PAPER) + framed(2, 8, 22, 18, (150, 156, 168)) +
                          [(circle(18.5, 11.5, 1.2), (80, 200, 90))] + framed(6, 14, 18, 22, PAPER) +
                          [(segment(8.5, 17.5, 15.5, 17.5, 1), (150, 156, 168))],
        # 카메라정보: a camera
        "camera-photo": [(box(8, 4, 15, 8), INK)] + framed(2, 7, 22, 20, (96, 102, 116)) +
                        [(circle(12, 13.5, 5), INK), (circle(12, 13.5, 3.8), PALE),
                         (circle(12, 13.5, 2.2), BLUE), (box(17.5, 9, 20, 10.5), (250, 220, 90))],
        # 회전: a clockwise arrow
        "object-rotate-right": [(ring(12, 13, 7, 2.8, skip=(-90, -30)), BLUE),
                                (polygon([(11, 1.5), (11, 10.5), (17.5, 6)]), BLUE)],
        # 크기 변경: a picture with a two-headed diagonal arrow
        "zoom-fit-best": framed(2, 2, 22, 22, PAPER, w=1.6) +
                         [(segment(8, 16, 16, 8, 2), BLUE),
                          (polygon([(5, 19), (5, 12.5), (11.5, 19)]), BLUE),
                          (polygon([(19, 5), (12.5, 5), (19, 11.5)]), BLUE)],
        # 바탕화면: a framed landscape
        "preferences-desktop-wallpaper": framed(1, 3, 23, 21, (170, 212, 246)) +
                                         [(circle(17, 8.5, 2.2), (250, 210, 70)),
                                          (polygon([(2.5, 19.5), (9, 9.5), (15, 19.5)]), (70, 150, 80)),
                                          (polygon([(10, 19.5), (15.5, 12.5), (21.5, 19.5)]), (46, 116, 62))],
        # 목록보기: back to the browser
        "go-previous": [(polygon([(2, 12), (11, 3), (11, 8), (22, 8), (22, 16), (11, 16), (11, 21)]), INK),
                        (polygon([(4.3, 12), (9.6, 6.6), (9.6, 9.4), (20.6, 9.4), (20.6, 14.6),
                                  (9.6, 14.6), (9.6, 17.4)]), BLUE)],
        # 전체 화면: four corners
        "view-fullscreen": [(segment(3, 3, 9, 3, 2.4), INK), (segment(3, 3, 3, 9, 2.4), INK),
                            (segment(21, 3, 15, 3, 2.4), INK), (segment(21, 3, 21, 9, 2.4), INK),
                            (segment(3, 21, 9, 21, 2.4), INK), (segment(3, 21, 3, 15, 2.4), INK),
                            (segment(21, 21, 15, 21, 2.4), INK), (segment(21, 21, 21, 15, 2.4), INK)] +
                           framed(7, 7, 17, 17, PALE, line=BLUE),
        # 편집 모드: a pencil
        "document-edit": [(segment(7, 17, 17.5, 6.5, 6), INK), (segment(7, 17, 17.5, 6.5, 4), (246, 196, 64)),
                          (segment(17.5, 6.5, 20, 4, 6), INK), (segment(17.5, 6.5, 20, 4, 4), (236, 130, 140)),
                          (polygon([(2, 22), (3.6, 15.2), (8.8, 20.4)]), (236, 214, 170)),
                          (polygon([(2, 22), (2.7, 19), (5, 21.3)]), INK)],
    }
    for name, layers in icons.items():
        draw_icon(name, layers)


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    os.makedirs(ICONS, exist_ok=True)
    for i, d in enumerate(DESIGNS):
        pieces(i, d)
    backgrounds()
    toolbar_icons()
