#!/usr/bin/env python3
"""Draws SkySwap's own pictures.

Writes, relative to the repository root:
  res/skyswap.ico  window and program icon (32 x 32 in 16 colours, plus 16, 48, 64, 128 and 256
                   pixels, for every display scaling)
  res/back.ico     left arrow, 16, 32, 64 and 128 pixels in 16 colours, transparent background
  res/next.ico     right arrow, the same
  res/random.jpg   200 x 129, a red question mark on black
  pkg/nosky.jpg    200 x 129, the placeholder for empty thumbnail slots

Standard library only: BMP, ICO and PNG bytes are written here; JPEG goes through ImageMagick's
`convert`. The outputs are kept in the repository, so building SkySwap never needs this script.

make_demo.py imports the BMP writer, the planar canvas and the bitmap font from here.

Usage: make_pictures.py [--out ROOT] [--preview DIR] [--check]
  --preview DIR  also writes enlarged PNG copies of every image into DIR, for looking at them
  --check        writes nothing; fails unless the icons in res/ are what this script draws and
                 both JPEGs are 200 x 129 (catches a change here that was never run)
"""

import argparse
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# The standard 16-colour VGA palette in Windows order; 4-bit icons index into it.
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]  # fmt: skip
BLACK, GREY, SILVER, YELLOW, BLUE, CYAN, WHITE = 0, 8, 7, 11, 12, 14, 15
TRANSPARENT = -1


def clamp(value, low=0.0, high=1.0):
    return low if value < low else high if value > high else value


def mix(a, b, t):
    """Colour a blended towards b by t (0..1)."""
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


# ---- File formats ---------------------------------------------------------------------------


def png_bytes(width, height, rgba_rows):
    """A PNG (8-bit RGBA) from rows of width * 4 bytes, top row first."""

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(row) for row in rgba_rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", header)
        + chunk(b"IDAT", zlib.compress(raw, 9))
        + chunk(b"IEND", b"")
    )


def bmp24_bytes(width, height, bgr_rows):
    """A Windows BMP (24-bit, bottom-up) from rows of width * 3 BGR bytes, top row first."""
    stride = (width * 3 + 3) & ~3
    padding = b"\x00" * (stride - width * 3)
    pixels = b"".join(bytes(row) + padding for row in reversed(bgr_rows))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return file_header + info + pixels


def and_mask_rows(width, opaque_rows):
    """The 1-bit AND mask of an icon image, bottom-up, rows padded to 32 bits; 1 = transparent."""
    stride = ((width + 31) // 32) * 4
    rows = []
    for opaque in reversed(opaque_rows):
        row = bytearray(stride)
        for x, is_opaque in enumerate(opaque):
            if not is_opaque:
                row[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    return b"".join(rows)


def ico_image_4bpp(indices):
    """A 16-colour icon image (DIB with palette, XOR and AND bitmaps) from palette indices.

    TRANSPARENT marks background pixels: they are black in the XOR bitmap and set in the mask,
    which is what makes them show the window behind.
    """
    height, width = len(indices), len(indices[0])
    stride = ((width * 4 + 31) // 32) * 4
    xor = []
    for row in reversed(indices):
        packed = bytearray(stride)
        for x, index in enumerate(row):
            index = 0 if index == TRANSPARENT else index
            packed[x // 2] |= index << 4 if x % 2 == 0 else index
        xor.append(bytes(packed))
    xor_bytes = b"".join(xor)
    mask = and_mask_rows(width, [[i != TRANSPARENT for i in row] for row in indices])
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA_PALETTE)
    info = struct.pack(
        "<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0, len(xor_bytes) + len(mask), 0, 0, 16, 0
    )
    return info + palette + xor_bytes + mask


def ico_image_32bpp(rgba):
    """A 32-bit icon image (BGRA DIB plus AND mask) from rows of (r, g, b, a) tuples."""
    height, width = len(rgba), len(rgba[0])
    xor = b"".join(
        bytes(v for r, g, b, a in row for v in (b, g, r, a)) for row in reversed(rgba)
    )
    mask = and_mask_rows(width, [[a > 0 for _, _, _, a in row] for row in rgba])
    info = struct.pack(
        "<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0
    )
    return info + xor + mask


def ico_image_png(rgba):
    height, width = len(rgba), len(rgba[0])
    return png_bytes(width, height, [bytes(v for px in row for v in px) for row in rgba])


def ico_file(images):
    """An .ico file from (width, height, colour_count, bit_count, image_bytes) entries."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries, blobs = [], []
    for width, height, colour_count, bit_count, data in images:
        entries.append(
            struct.pack(
                "<BBBBHHII",
                width % 256,
                height % 256,
                colour_count,
                0,
                1,
                bit_count,
                len(data),
                offset,
            )
        )
        blobs.append(data)
        offset += len(data)
    return directory + b"".join(entries) + b"".join(blobs)


# ---- Planar canvas: fast spans for the JPEG pictures and the demo thumbnails ---------------


class Canvas:
    """An RGB picture held as three planes of bytes.

    Everything is drawn as horizontal spans of one colour at one opacity; blending a span is a
    bytes.translate() per plane, so even 1024 x 768 pictures are drawn in a fraction of a second
    without per-pixel Python loops.
    """

    _tables = {}

    def __init__(self, width, height, colour=(0, 0, 0)):
        self.width, self.height = width, height
        self.planes = [bytearray([int(c)]) * (width * height) for c in colour]

    @classmethod
    def _table(cls, value, alpha):
        key = (value, alpha)
        table = cls._tables.get(key)
        if table is None:
            a = alpha / 255.0
            table = bytes(int(old * (1.0 - a) + value * a + 0.5) for old in range(256))
            cls._tables[key] = table
        return table

    def span(self, y, x0, x1, colour, opacity=1.0):
        """Blends colour over pixels x0 <= x < x1 of row y; fractional ends are anti-aliased."""
        if y < 0 or y >= self.height or opacity <= 0.0:
            return
        x0, x1 = max(0.0, x0), min(float(self.width), x1)
        if x1 <= x0:
            return
        left, right = int(math.ceil(x0)), int(math.floor(x1))
        if right < left:  # the span lies within one pixel
            self.pixel(int(x0), y, colour, opacity * (x1 - x0))
            return
        if left > x0:
            self.pixel(left - 1, y, colour, opacity * (left - x0))
        if x1 > right:
            self.pixel(right, y, colour, opacity * (x1 - right))
        if right > left:
            alpha = int(round(clamp(opacity) * 255))
            if alpha == 0:
                return
            start, end = y * self.width + left, y * self.width + right
            for plane, value in zip(self.planes, colour):
                value = int(round(clamp(value, 0, 255)))
                if alpha == 255:
                    plane[start:end] = bytes([value]) * (end - start)
                else:
                    plane[start:end] = plane[start:end].translate(self._table(value, alpha))

    def pixel(self, x, y, colour, opacity=1.0):
        if 0 <= x < self.width and 0 <= y < self.height and opacity > 0.0:
            a = clamp(opacity)
            i = y * self.width + x
            for plane, value in zip(self.planes, colour):
                plane[i] = int(plane[i] * (1.0 - a) + clamp(value, 0, 255) * a + 0.5)

    def vertical_gradient(self, stops, top=0, bottom=None):
        """Fills rows top..bottom with colours between (position 0..1, colour) stops."""
        bottom = self.height if bottom is None else bottom
        for y in range(max(0, top), min(self.height, bottom)):
            t = (y - top + 0.5) / max(1, bottom - top)
            for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
                if t <= t1 or (t1, c1) == stops[-1]:
                    colour = mix(c0, c1, clamp((t - t0) / max(1e-9, t1 - t0)))
                    break
            self.span(y, 0, self.width, colour)

    def ellipse(self, cx, cy, rx, ry, colour, opacity=1.0):
        """A filled ellipse with anti-aliased left and right ends of every row."""
        if rx <= 0 or ry <= 0:
            return
        for y in range(int(cy - ry), int(math.ceil(cy + ry)) + 1):
            # The row's coverage is measured at its centre; thin top and bottom rows are faded.
            dy = (y + 0.5 - cy) / ry
            if abs(dy) >= 1.0:
                edge = 1.0 - (abs(dy) - 1.0) * ry
                if edge <= 0.0:
                    continue
                self.span(y, cx - 0.5, cx + 0.5, colour, opacity * edge * 0.5)
                continue
            half = rx * math.sqrt(1.0 - dy * dy)
            self.span(y, cx - half, cx + half, colour, opacity)

    def soft_ellipse(self, cx, cy, rx, ry, colour, opacity=1.0, softness=0.35, layers=None):
        """An ellipse whose rim fades out linearly over the given share of its radius (glows,
        haze, cloud puffs), drawn as nested ellipses whose opacities add up to that ramp."""
        if layers is None:
            layers = int(clamp(max(rx, ry) * softness / 1.5, 2, 40))
        opacity = clamp(opacity)
        remaining = 1.0  # share of the background still showing through
        for k in range(1, layers + 1):
            target = 1.0 - opacity * k / layers
            self.ellipse(cx, cy, rx * (1.0 - softness * (k - 1) / layers),
                         ry * (1.0 - softness * (k - 1) / layers), colour, 1.0 - target / remaining)
            remaining = target

    def rect(self, x0, y0, x1, y1, colour, opacity=1.0):
        for y in range(max(0, int(y0)), min(self.height, int(math.ceil(y1)))):
            self.span(y, x0, x1, colour, opacity)

    def text(self, x, y, text, scale, colour, opacity=1.0, spacing=1):
        """Bitmap-font text with its top-left corner at (x, y); each font pixel is scale x scale."""
        for ch in text:
            glyph = FONT_5X7.get(ch.upper(), FONT_5X7[" "])
            for row, bits in enumerate(glyph):
                for col in range(5):
                    if bits & (0x10 >> col):
                        self.rect(
                            x + col * scale,
                            y + row * scale,
                            x + (col + 1) * scale,
                            y + (row + 1) * scale,
                            colour,
                            opacity,
                        )
            x += (5 + spacing) * scale

    @staticmethod
    def text_width(text, scale, spacing=1):
        return (len(text) * (5 + spacing) - spacing) * scale

    def rgb_rows(self):
        rows = []
        r, g, b = self.planes
        for y in range(self.height):
            s, e = y * self.width, (y + 1) * self.width
            row = bytearray(self.width * 3)
            row[0::3], row[1::3], row[2::3] = r[s:e], g[s:e], b[s:e]
            rows.append(bytes(row))
        return rows

    def bgr_rows(self):
        rows = []
        r, g, b = self.planes
        for y in range(self.height):
            s, e = y * self.width, (y + 1) * self.width
            row = bytearray(self.width * 3)
            row[0::3], row[1::3], row[2::3] = b[s:e], g[s:e], r[s:e]
            rows.append(bytes(row))
        return rows

    def bmp_bytes(self):
        return bmp24_bytes(self.width, self.height, self.bgr_rows())

    def ppm_bytes(self):
        header = b"P6\n%d %d\n255\n" % (self.width, self.height)
        return header + b"".join(self.rgb_rows())


# A 5 x 7 bitmap font; each row is five bits, the leftmost pixel in bit 4.
FONT_5X7 = {
    " ": (0, 0, 0, 0, 0, 0, 0),
    "0": (14, 17, 19, 21, 25, 17, 14),
    "1": (4, 12, 4, 4, 4, 4, 14),
    "2": (14, 17, 1, 2, 4, 8, 31),
    "3": (31, 2, 4, 2, 1, 17, 14),
    "4": (2, 6, 10, 18, 31, 2, 2),
    "5": (31, 16, 30, 1, 1, 17, 14),
    "6": (6, 8, 16, 30, 17, 17, 14),
    "7": (31, 1, 2, 4, 8, 8, 8),
    "8": (14, 17, 17, 14, 17, 17, 14),
    "9": (14, 17, 17, 15, 1, 2, 12),
    "K": (17, 18, 20, 24, 20, 18, 17),
    "N": (17, 17, 25, 21, 19, 17, 17),
    "O": (14, 17, 17, 17, 17, 17, 14),
    "S": (15, 16, 16, 14, 1, 1, 30),
    "T": (31, 4, 4, 4, 4, 4, 4),
    "Y": (17, 17, 10, 4, 4, 4, 4),
    "Z": (31, 1, 2, 4, 8, 16, 31),
}


# ---- The window icon ------------------------------------------------------------------------

# The scene in units of the icon's side (0..1, y down). Cloud puffs go from back to front; the
# flat underside is drawn last, in front of them.
SUN = (0.70, 0.30, 0.21)
CLOUD_PUFFS = [
    (0.47, 0.44, 0.19),
    (0.68, 0.53, 0.14),
    (0.28, 0.56, 0.14),
    (0.82, 0.64, 0.09),
    (0.15, 0.66, 0.09),
]
CLOUD_BASE = (0.10, 0.60, 0.90, 0.75)  # left, top, right, bottom of the flat underside
SHADOW = (0.20, 0.81, 0.84, 0.88)


def _circle_distance(x, y, circle):
    cx, cy, r = circle
    return math.hypot(x - cx, y - cy) - r


def _box_distance(x, y, box, radius):
    """Signed distance to a box with rounded corners (negative inside)."""
    left, top, right, bottom = box
    hx, hy = (right - left) / 2 - radius, (bottom - top) / 2 - radius
    dx = abs(x - (left + right) / 2) - hx
    dy = abs(y - (top + bottom) / 2) - hy
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    return outside + min(max(dx, dy), 0.0) - radius


def cloud_parts(lit_share):
    """(signed distance, shade) functions of the cloud's parts, back to front.

    The shade (0 lit .. 1 in shade) makes each puff a ball lit from the sun's side, so the puffs
    stand apart from each other even in 16 colours.
    """
    parts = []
    for cx, cy, r in CLOUD_PUFFS:

        def distance(x, y, c=(cx, cy, r)):
            return _circle_distance(x, y, c)

        def shade(x, y, cx=cx, cy=cy, r=r):
            lit = math.hypot(x - (cx + 0.22 * r), y - (cy - 0.28 * r)) - lit_share * r
            return clamp(lit / (0.18 * r) + 0.5)

        parts.append((distance, shade))
    base_radius = (CLOUD_BASE[3] - CLOUD_BASE[1]) / 2

    def base_distance(x, y):
        return _box_distance(x, y, CLOUD_BASE, base_radius)

    def base_shade(x, y):
        return clamp((y - (CLOUD_BASE[3] - 0.06)) / 0.03 + 0.5)

    parts.append((base_distance, base_shade))
    return parts


CLOUD = cloud_parts(0.86)
# At 32 pixels a thin shaded rim would break up into stray pixels: the 16-colour image gets
# broader shades.
CLOUD_16_COLOURS = cloud_parts(0.72)


def sun_distance(x, y):
    return _circle_distance(x, y, SUN)


def shadow_distance(x, y):
    return _box_distance(x, y, SHADOW, 0.035)


def sky_icon_4bpp(size):
    """The 16-colour image: each pixel takes the colour of what lies under its centre."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = (px + 0.5) / size, (py + 0.5) / size
            cloud = [shade(x, y) for distance, shade in CLOUD_16_COLOURS if distance(x, y) < 0]
            if cloud:
                row.append(SILVER if cloud[-1] > 0.5 else WHITE)
            elif shadow_distance(x, y) < 0:
                row.append(GREY)
            elif sun_distance(x, y) < 0:
                row.append(YELLOW)
            else:
                row.append(BLUE if (px + py) % 2 == 0 else CYAN)
        rows.append(row)
    return rows


def sky_icon_rgba(size, checker_cell):
    """The true-colour image, anti-aliased; the sky keeps its checker, cells checker_cell wide."""
    blue, cyan = (30, 96, 228), (58, 170, 242)
    sun_core, sun_rim = (255, 246, 120), (255, 200, 16)
    white, silver = (255, 255, 255), (196, 204, 216)
    shadow = (120, 128, 140)
    px_size = 1.0 / size

    def cover(distance):
        return clamp(0.5 - distance / px_size)

    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            x, y = (px + 0.5) / size, (py + 0.5) / size
            even = (px // checker_cell + py // checker_cell) % 2 == 0
            colour = blue if even else cyan
            sun_d = sun_distance(x, y)
            sun_colour = mix(sun_core, sun_rim, clamp((sun_d + SUN[2]) / SUN[2]) ** 2)
            colour = mix(colour, sun_colour, cover(sun_d))
            colour = mix(colour, shadow, cover(shadow_distance(x, y)))
            for distance, shade in CLOUD:
                coverage = cover(distance(x, y))
                if coverage > 0:
                    colour = mix(colour, mix(white, silver, shade(x, y)), coverage)
            row.append(tuple(int(round(c)) for c in colour) + (255,))
        rows.append(row)
    return rows


def make_sky_icon():
    images = [
        (32, 32, 16, 4, ico_image_4bpp(sky_icon_4bpp(32))),
        (16, 16, 0, 32, ico_image_32bpp(sky_icon_rgba(16, 1))),
        (48, 48, 0, 32, ico_image_32bpp(sky_icon_rgba(48, 1))),
        (64, 64, 0, 32, ico_image_32bpp(sky_icon_rgba(64, 2))),
        (128, 128, 0, 32, ico_image_32bpp(sky_icon_rgba(128, 2))),
        (256, 256, 0, 32, ico_image_png(sky_icon_rgba(256, 2))),
    ]
    return ico_file(images)


# ---- The arrows -----------------------------------------------------------------------------

# A right-pointing arrow in units of the icon's side: a shaft and a wide head. The 16-pixel
# image gets a thicker shaft, or its black core would be a hairline.
ARROW_RIGHT = {
    32: [(0.06, 0.34), (0.50, 0.34), (0.50, 0.09), (0.96, 0.50), (0.50, 0.91), (0.50, 0.66),
         (0.06, 0.66)],
    16: [(0.03, 0.31), (0.50, 0.31), (0.50, 0.03), (0.97, 0.50), (0.50, 0.97), (0.50, 0.69),
         (0.03, 0.69)],
}  # fmt: skip


def _inside(polygon, x, y):
    inside = False
    for (x0, y0), (x1, y1) in zip(polygon, polygon[1:] + polygon[:1]):
        if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
            inside = not inside
    return inside


def arrow_indices(size, pointing_left):
    """The arrow in 16 colours: a black body inside a bevel, silver where the light from above
    falls on the edge, grey where it does not; the bevel is two pixels deep at 32 pixels, and as
    deep in proportion at the larger sizes."""
    polygon = ARROW_RIGHT[min(size, 32)]
    if pointing_left:
        polygon = [(1.0 - x, y) for x, y in polygon]
    inside = [
        [_inside(polygon, (px + 0.5) / size, (py + 0.5) / size) for px in range(size)]
        for py in range(size)
    ]
    rows = [[BLACK if cell else TRANSPARENT for cell in row] for row in inside]
    neighbours = [(dx, dy) for dy in (-1, 0, 1) for dx in (-1, 0, 1) if (dx, dy) != (0, 0)]
    for _ in range(max(1, size // 16)):
        core = [row[:] for row in inside]
        for py in range(size):
            for px in range(size):
                if not inside[py][px]:
                    continue
                facing_x = facing_y = 0
                for dx, dy in neighbours:
                    x, y = px + dx, py + dy
                    if not (0 <= x < size and 0 <= y < size and inside[y][x]):
                        facing_x, facing_y = facing_x + dx, facing_y + dy
                if (facing_x, facing_y) == (0, 0) and all(
                    0 <= px + dx < size and 0 <= py + dy < size and inside[py + dy][px + dx]
                    for dx, dy in neighbours
                ):
                    continue
                rows[py][px] = SILVER if -2 * facing_y - facing_x > 0 else GREY
                core[py][px] = False
        inside = core
    return rows


def make_arrow(pointing_left):
    images = [
        (size, size, 16, 4, ico_image_4bpp(arrow_indices(size, pointing_left)))
        for size in (32, 16, 64, 128)
    ]
    return ico_file(images)


# ---- The JPEG pictures ----------------------------------------------------------------------


def question_mark_distance(x, y, cx, cy, radius):
    """Distance from (x, y) to the centre line of a question mark's hook and stem."""
    # The hook: an arc round (cx, cy) from the upper left, over the top, down to the lower right.
    angle = math.degrees(math.atan2(cy - y, x - cx))
    start, end = 165.0, -50.0
    if end <= angle <= start:
        arc = abs(math.hypot(x - cx, y - cy) - radius)
    else:
        arc = float("inf")
    for a in (start, end):
        ex = cx + radius * math.cos(math.radians(a))
        ey = cy - radius * math.sin(math.radians(a))
        arc = min(arc, math.hypot(x - ex, y - ey))
    # Then a slant into the middle and a short upright stem.
    hook_end = (
        cx + radius * math.cos(math.radians(end)),
        cy - radius * math.sin(math.radians(end)),
    )
    bend = (cx, cy + radius * 1.05)
    stem_end = (cx, cy + radius * 1.45)
    d = arc
    for (x0, y0), (x1, y1) in ((hook_end, bend), (bend, stem_end)):
        ex, ey = x1 - x0, y1 - y0
        t = clamp(((x - x0) * ex + (y - y0) * ey) / (ex * ex + ey * ey))
        d = min(d, math.hypot(x - (x0 + t * ex), y - (y0 + t * ey)))
    return d


def draw_random_picture():
    width, height = 200, 129
    canvas = Canvas(width, height, (0, 0, 0))
    cx, cy, radius, stroke = 100.0, 45.0, 22.0, 13.0
    dot = (cx, cy + radius * 2.35, 8.0)
    top, bottom = cy - radius - stroke / 2, dot[1] + dot[2]
    for py in range(int(top) - 2, int(bottom) + 3):
        shade = clamp((py - top) / (bottom - top))
        red = mix((255, 60, 48), (200, 0, 0), shade)
        for px in range(int(cx - radius - stroke), int(cx + radius + stroke) + 1):
            x, y = px + 0.5, py + 0.5
            d = question_mark_distance(x, y, cx, cy, radius) - stroke / 2
            d = min(d, math.hypot(x - dot[0], y - dot[1]) - dot[2])
            coverage = clamp(0.5 - d)
            if coverage > 0:
                canvas.pixel(px, py, red, coverage)
    return canvas


def draw_no_sky_picture():
    width, height = 200, 129
    canvas = Canvas(width, height)
    canvas.vertical_gradient([(0.0, (58, 68, 86)), (1.0, (30, 36, 48))])
    canvas.soft_ellipse(100, 64, 110, 62, (74, 86, 108), 0.5, softness=0.6)
    # A thin inset frame, as on an empty slide.
    frame = (92, 104, 124)
    canvas.rect(6, 6, width - 6, 7, frame)
    canvas.rect(6, height - 7, width - 6, height - 6, frame)
    canvas.rect(6, 6, 7, height - 6, frame)
    canvas.rect(width - 7, 6, width - 6, height - 6, frame)
    label, scale = "NO SKY", 4
    x = (width - Canvas.text_width(label, scale)) / 2
    y = (height - 7 * scale) / 2
    canvas.text(x + 2, y + 2, label, scale, (16, 20, 28), 0.8)
    canvas.text(x, y, label, scale, (196, 208, 226))
    return canvas


def find_convert():
    convert = shutil.which("convert")
    if convert is None:
        sys.exit(
            "make_pictures.py: ImageMagick's 'convert' is needed to write JPEG files "
            "(Debian: apt-get install imagemagick)"
        )
    return convert


def write_jpeg(canvas, path):
    convert = find_convert()
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "picture.ppm")
        with open(source, "wb") as f:
            f.write(canvas.ppm_bytes())
        # No metadata, so that remaking an unchanged picture gives the same bytes.
        subprocess.run([convert, source, "-strip", "-quality", "92", path], check=True)


# ---- Previews -------------------------------------------------------------------------------


def write_preview(path, rows_rgba, scale):
    """An enlarged PNG of an image, transparent parts shown on a light checker."""
    out = []
    for row in rows_rgba:
        line = bytearray()
        for x, (r, g, b, a) in enumerate(row):
            line += bytes((r, g, b, a)) * scale
        for _ in range(scale):
            out.append(bytes(line))
    with open(path, "wb") as f:
        f.write(png_bytes(len(rows_rgba[0]) * scale, len(rows_rgba) * scale, out))


def indices_to_rgba(indices):
    return [
        [(0, 0, 0, 0) if i == TRANSPARENT else VGA_PALETTE[i] + (255,) for i in row]
        for row in indices
    ]


def jpeg_size(data):
    """(width, height) from a JPEG's frame header, or None."""
    i = 2
    while data[:2] == b"\xff\xd8" and i + 9 <= len(data) and data[i] == 0xFF:
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2 : i + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            height, width = struct.unpack(">HH", data[i + 5 : i + 9])
            return width, height
        i += 2 + length
    return None


def check(root):
    problems = []
    expected = {
        "res/skyswap.ico": make_sky_icon(),
        "res/back.ico": make_arrow(pointing_left=True),
        "res/next.ico": make_arrow(pointing_left=False),
    }
    for name, data in expected.items():
        path = os.path.join(root, name)
        if not os.path.isfile(path) or open(path, "rb").read() != data:
            problems.append("%s is not what make_pictures.py draws: run it again" % name)
    for name in ("res/random.jpg", "pkg/nosky.jpg"):
        path = os.path.join(root, name)
        size = jpeg_size(open(path, "rb").read()) if os.path.isfile(path) else None
        if size != (200, 129):
            problems.append("%s: expected a 200 x 129 JPEG, found %s" % (name, size))
    return problems


def main():
    parser = argparse.ArgumentParser(description="Draws SkySwap's icons and pictures.")
    parser.add_argument("--out", default=REPO_ROOT, help="root to write res/ and pkg/ into")
    parser.add_argument("--preview", help="also write enlarged PNG previews into this folder")
    parser.add_argument("--check", action="store_true", help="verify the pictures, write nothing")
    args = parser.parse_args()

    if args.check:
        problems = check(args.out)
        for problem in problems:
            print("PROBLEM: " + problem)
        print("make_pictures.py --check: %s" % ("FAILED" if problems else "pictures up to date"))
        return 1 if problems else 0

    find_convert()  # before anything is written, so a failed run leaves no half-set
    res_dir, pkg_dir = os.path.join(args.out, "res"), os.path.join(args.out, "pkg")
    os.makedirs(res_dir, exist_ok=True)
    os.makedirs(pkg_dir, exist_ok=True)

    with open(os.path.join(res_dir, "skyswap.ico"), "wb") as f:
        f.write(make_sky_icon())
    with open(os.path.join(res_dir, "back.ico"), "wb") as f:
        f.write(make_arrow(pointing_left=True))
    with open(os.path.join(res_dir, "next.ico"), "wb") as f:
        f.write(make_arrow(pointing_left=False))
    write_jpeg(draw_random_picture(), os.path.join(res_dir, "random.jpg"))
    write_jpeg(draw_no_sky_picture(), os.path.join(pkg_dir, "nosky.jpg"))

    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        write_preview(
            os.path.join(args.preview, "icon32.png"), indices_to_rgba(sky_icon_4bpp(32)), 12
        )
        write_preview(os.path.join(args.preview, "icon16.png"), sky_icon_rgba(16, 1), 16)
        write_preview(os.path.join(args.preview, "icon48.png"), sky_icon_rgba(48, 1), 8)
        write_preview(os.path.join(args.preview, "icon256.png"), sky_icon_rgba(256, 2), 2)
        write_preview(os.path.join(args.preview, "icon64.png"), sky_icon_rgba(64, 2), 6)
        write_preview(os.path.join(args.preview, "icon128.png"), sky_icon_rgba(128, 2), 3)
        for name, left in (("back", True), ("next", False)):
            for size in (16, 32, 64, 128):
                write_preview(
                    os.path.join(args.preview, "%s%d.png" % (name, size)),
                    indices_to_rgba(arrow_indices(size, left)),
                    384 // size,
                )
    print("make_pictures.py: wrote res/skyswap.ico, res/back.ico, res/next.ico, res/random.jpg, "
          "pkg/nosky.jpg under " + args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
