#!/usr/bin/env python3
"""Builds a demo EAW game folder with a SkySwap library in it, for trying SkySwap out.

  make_demo.py OUTPUT_DIR           make (or remake) the demo in OUTPUT_DIR
  make_demo.py --check OUTPUT_DIR   verify that OUTPUT_DIR holds an intact, untouched demo
  make_demo.py --self-test          make a demo in a temporary folder and test the generator

The demo:
  OUTPUT_DIR/eaw.ini                  the file SkySwap looks for in the game folder
  OUTPUT_DIR/*.ter                    the ten sky files of an "original game" sky
  OUTPUT_DIR/SkySwap/                 the library folder: start SkySwap here
  OUTPUT_DIR/SkySwap/nosky.jpg        the placeholder picture (a copy of pkg/nosky.jpg)
  OUTPUT_DIR/SkySwap/ZT0 .. ZT22      23 sky sets: ten .ter files, ZTn.bmp and ZTn.txt each
  OUTPUT_DIR/SkySwap/ZTDef            the personal default, holding the ten files of set 0
  OUTPUT_DIR/Stormy Evening.zip       a downloaded sky to drop on the window: a folder with the
                                      ten .ter files, a preview.png and a readme.txt

Every .ter file names its set and file in its first line, so testers can tell at a glance
which set is installed, and then holds all 256 byte values, so that a copy which changes line
ends or stops at a ^Z shows up. Re-running over an existing demo makes it fresh again; a folder that
is not empty and was not made by this script is never touched. The ZIP is the same bytes at
every run (fixed dates and attributes).
"""

import argparse
import hashlib
import io
import math
import os
import random
import shutil
import stat
import struct
import sys
import tempfile
import zipfile

sys.dont_write_bytecode = True  # no __pycache__ left in tools/
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_pictures import REPO_ROOT, Canvas, mix, png_bytes  # noqa: E402

LIBRARY = "SkySwap"
MARKER = "skyswap-demo.txt"
MARKER_TEXT = "Made by SkySwap's tools/make_demo.py; running it again replaces this folder.\r\n"
SKY_FILES = [
    "bnhorizn.ter", "bnskyblu.ter", "bncloud0.ter", "bncloud1.ter", "bncloud2.ter",
    "bncltra0.ter", "bncltra1.ter", "bncltra2.ter", "cloud1.ter", "cloud2.ter",
]  # fmt: skip
EAW_INI = (
    "[EAW]\r\n"
    "; European Air War settings (SkySwap demo game folder)\r\n"
    "ScreenWidth=800\r\n"
    "ScreenHeight=600\r\n"
    "Detail=High\r\n"
    "Clouds=On\r\n"
    "Sound=On\r\n"
    "Pilot=Demo Pilot\r\n"
)

# The download beside the demo: its name, the folder it wraps, its picture and its credits.
DOWNLOAD = "Stormy Evening"
DOWNLOAD_ZIP = DOWNLOAD + ".zip"
DOWNLOAD_PREVIEW = (620, 400)  # the thumbnail's proportions: nothing cut off
DOWNLOAD_README = (
    "Stormy Evening - a sky for EAW\r\n"
    "Dark towering cloud at dusk. Made for the SkySwap demo.\r\n"
)
ZIP_DATE = (2026, 1, 1, 12, 0, 0)

# (description file text, scene, thumbnail size). The descriptions are what a library author
# would write; set 3's is quoted because it holds a comma, set 5's holds an ampersand.
SETS = [
    ('Clear summer sky over the Channel', "channel", (200, 129)),
    ('Fair-weather cumulus at noon', "cumulus", (133, 85)),
    ('Evening glow over the Kentish coast', "sunset", (320, 200)),
    ('"Overcast, light rain"', "rain", (640, 480)),
    ('Starlight and a quarter moon', "night", (97, 61)),
    ('Dawn & haze', "dawn", (1024, 768)),
    ('Towering cumulus before a storm', "storm", (200, 129)),
    ('Winter grey over the Ruhr', "overcast", (256, 160)),
    ('Blood-red sunset with scattered cloud', "red_sunset", (160, 100)),
    ('Moonlit night with broken cloud', "moonlit", (400, 258)),
    ('High cirrus in a deep blue sky', "cirrus", (200, 129)),
    ('Morning mist over the fields', "mist", (133, 85)),
    ('Golden hour above the Rhine', "golden", (320, 240)),
    ('Thick undercast at 8000 feet', "undercast", (97, 61)),
    ('Clear night full of stars', "stars", (200, 129)),
    ('Stormy purple dusk', "purple_dusk", (300, 194)),
    ('Pale autumn afternoon', "autumn", (640, 400)),
    ('Summer haze over Normandy', "haze", (150, 97)),
    ('Crimson dawn with light cloud', "crimson_dawn", (200, 129)),
    ('Leaden sky with snow on the way', "snow", (176, 113)),
    ('Bright spring afternoon', "spring", (512, 330)),
    ('Twilight over the North Sea', "twilight", (200, 129)),
    ('Pastel evening', "pastel", (120, 77)),
]  # fmt: skip


def first_field(text):
    """The first field of a description file, read the way SkySwap reads it (for --check)."""
    text = text.lstrip(" ")
    if text.startswith('"'):
        end = text.find('"', 1)
        return text[1:] if end < 0 else text[1:end]
    line = text.split("\n", 1)[0].rstrip("\r")
    return line.split(",", 1)[0]


def sky_file_bytes(origin, name):
    """Distinct, recognisable contents for one sky file."""
    header = ("%s %s\n" % (origin, name)).encode("ascii")
    seed = hashlib.sha256(header).digest()
    shift = seed[0]
    return header + bytes((i + shift) % 256 for i in range(256)) + seed


# ---- Sky pictures ---------------------------------------------------------------------------


class Sky:
    """Draws one sky scene; coordinates are in units of the picture (0..1), so one scene looks
    the same at every size."""

    def __init__(self, width, height, seed):
        self.canvas = Canvas(width, height)
        self.w, self.h = width, height
        self.rng = random.Random(seed)

    def gradient(self, stops, top=0.0, bottom=1.0):
        self.canvas.vertical_gradient(stops, int(top * self.h), int(round(bottom * self.h)))

    def glow(self, x, y, radius, colour, opacity):
        r = radius * self.w
        self.canvas.soft_ellipse(x * self.w, y * self.h, r, r, colour, opacity, 0.95)

    def disc(self, x, y, radius, colour, opacity=1.0):
        r = radius * self.w
        self.canvas.ellipse(x * self.w, y * self.h, r, r, colour, opacity)

    def cloud(self, x, y, size, lit, shade, opacity=1.0, puffs=7, flat=0.45):
        """A cumulus: a heap of puffs on a flat base, its underside in shade and its tops lit.

        All shaded puffs go down before any lit one, so the heap reads as one cloud rather than
        a row of separate balls.
        """
        rng, w, h = self.rng, self.w, self.h
        base_y = y * h
        heap = []
        for i in range(puffs):
            t = (i + 0.5) / puffs
            px = (x + (t - 0.5) * size * 1.5 + rng.uniform(-0.04, 0.04) * size) * w
            # Puffs are tallest in the middle of the heap; a few ride on top of the others.
            r = size * w * (0.2 + 0.3 * math.sin(math.pi * t)) * rng.uniform(0.8, 1.15)
            py = base_y - r * rng.uniform(0.3, 0.7)
            heap.append((px, py, r))
            if 0.25 < t < 0.75 and rng.random() < 0.7:
                heap.append((px + rng.uniform(-0.3, 0.3) * r, py - r * 0.8, r * 0.7))
        for px, py, r in heap:
            self.canvas.soft_ellipse(px, py + r * 0.15, r, r * 0.9, shade, opacity, 0.25)
        # The flat underside, in the deepest shade.
        self.canvas.soft_ellipse(x * w, base_y, size * w * 0.85, size * w * flat * 0.3, shade,
                                 opacity, 0.5)
        for px, py, r in heap:
            self.canvas.soft_ellipse(px + r * 0.1, py - r * 0.12, r * 0.8, r * 0.7, lit,
                                     opacity * 0.95, 0.45)

    def layer(self, y, thickness, colour, opacity, count=6):
        """A stratus layer: wide, flat, overlapping soft ellipses across the picture."""
        rng, w, h = self.rng, self.w, self.h
        for _ in range(count):
            cx = rng.uniform(-0.1, 1.1) * w
            rx = rng.uniform(0.3, 0.6) * w
            ry = thickness * h * rng.uniform(0.6, 1.2)
            cy = (y + rng.uniform(-0.5, 0.5) * thickness) * h
            self.canvas.soft_ellipse(cx, cy, rx, ry, colour, opacity, 0.7)

    def streaks(self, count, colour, opacity, top, bottom):
        """Cirrus: long thin wisps, slanting gently."""
        rng, w, h = self.rng, self.w, self.h
        for _ in range(count):
            x0, y0 = rng.uniform(-0.1, 0.9), rng.uniform(top, bottom)
            length, slope = rng.uniform(0.2, 0.5), rng.uniform(-0.15, 0.05)
            steps = max(4, int(length * w / 6))
            for k in range(steps):
                t = k / steps
                fade = math.sin(math.pi * t)
                self.canvas.soft_ellipse((x0 + t * length) * w, (y0 + t * length * slope) * h,
                                         max(2.0, 0.06 * w), max(1.5, 0.014 * h), colour,
                                         opacity * fade * 0.5, 0.8)

    def stars(self, density, top=0.0, bottom=1.0):
        rng = self.rng
        for _ in range(int(self.w * self.h * (bottom - top) * density)):
            x = rng.randrange(self.w)
            y = int(rng.uniform(top, bottom) * self.h)
            brightness = rng.uniform(0.3, 1.0) ** 2
            colour = mix((255, 255, 255), (200, 215, 255), rng.random())
            self.canvas.pixel(x, y, colour, brightness)
            if brightness > 0.8 and self.w >= 300:
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    self.canvas.pixel(x + dx, y + dy, colour, brightness * 0.4)

    def moon(self, x, y, radius, phase_offset, sky_colour):
        self.glow(x, y, radius * 4, (180, 190, 220), 0.25)
        self.disc(x, y, radius, (240, 238, 220))
        if phase_offset:
            self.disc(x + phase_offset * radius, y - 0.2 * phase_offset * radius * self.w / self.h,
                      radius * 0.92, sky_colour)

    def sea(self, top, deep, near, glint=None, glint_x=0.5):
        self.gradient([(0.0, deep), (1.0, near)], top, 1.0)
        rng, w, h = self.rng, self.w, self.h
        rows = int((1.0 - top) * h)
        for _ in range(max(3, rows // 2)):
            y = top + rng.random() * (1.0 - top)
            x = rng.random()
            length = rng.uniform(0.02, 0.12) * (0.3 + (y - top) / (1.0 - top))
            self.canvas.span(int(y * h), (x - length) * w, (x + length) * w, near, 0.35)
        if glint:
            for _ in range(max(4, rows)):
                y = top + rng.random() ** 1.5 * (1.0 - top)
                spread = 0.02 + 0.2 * (y - top) / (1.0 - top)
                x = glint_x + rng.gauss(0, spread)
                length = rng.uniform(0.005, 0.04)
                self.canvas.span(int(y * h), (x - length) * w, (x + length) * w, glint, 0.6)

    def land(self, top, colour, hills=5, far=None):
        """Rolling country along the horizon: a far ridge, then nearer hills."""
        rng, w, h = self.rng, self.w, self.h
        if far:
            for _ in range(hills):
                cx, rx = rng.uniform(0, 1) * w, rng.uniform(0.2, 0.45) * w
                self.canvas.ellipse(cx, (top + 0.02) * h, rx, rng.uniform(0.03, 0.07) * h, far)
        for _ in range(hills):
            cx, rx = rng.uniform(0, 1) * w, rng.uniform(0.15, 0.4) * w
            self.canvas.ellipse(cx, (top + 0.06) * h, rx, rng.uniform(0.03, 0.08) * h, colour)
        self.canvas.rect(0, (top + 0.06) * h, w, h, colour)

    def mist(self, top, colour, opacity):
        """Mist thickening towards the bottom of the picture."""
        first = int(top * self.h)
        for y in range(first, self.h):
            self.canvas.span(y, 0, self.w, colour, opacity * (y - first + 1) / (self.h - first))

    def rain(self, colour, opacity, density):
        rng = self.rng
        length = max(3, self.h // 25)
        for _ in range(int(self.w * self.h * density)):
            x, y = rng.uniform(0, self.w), rng.uniform(0, self.h)
            for k in range(length):
                self.canvas.pixel(int(x - k * 0.3), int(y + k), colour, opacity * (1 - k / length))

    def snowflakes(self, density):
        rng = self.rng
        size = max(1.0, self.w / 250)
        for _ in range(int(self.w * self.h * density)):
            x, y = rng.uniform(0, self.w), rng.uniform(0, self.h)
            self.canvas.ellipse(x, y, size, size, (245, 245, 250), rng.uniform(0.5, 0.9))

    def label(self, text):
        """The set's name, small in the bottom-right corner, so testers can tell sets apart."""
        scale = max(1, int(round(self.h / 64)))  # about 9 pixels high when shown in a slot
        width = Canvas.text_width(text, scale)
        x, y = self.w - width - 2 * scale, self.h - 9 * scale
        self.canvas.rect(x - scale, y - scale, x + width + scale, y + 8 * scale, (0, 0, 0), 0.45)
        self.canvas.text(x, y, text, scale, (255, 255, 255), 0.9)


def draw_scene(kind, sky):
    s = sky
    day_blue = [(0.0, (38, 92, 178)), (0.7, (110, 170, 228)), (1.0, (176, 210, 238))]
    if kind == "channel":
        s.gradient(day_blue, 0, 0.72)
        s.glow(0.8, 0.15, 0.25, (255, 255, 240), 0.35)
        s.disc(0.8, 0.15, 0.04, (255, 255, 236))
        for x, y, size in ((0.25, 0.42, 0.16), (0.6, 0.52, 0.1), (0.9, 0.6, 0.07)):
            s.cloud(x, y, size, (255, 255, 255), (190, 200, 215))
        s.sea(0.72, (40, 80, 120), (70, 120, 150), (230, 240, 250), 0.8)
    elif kind == "cumulus":
        s.gradient([(0.0, (30, 100, 200)), (1.0, (150, 200, 240))])
        for x, y, size in ((0.2, 0.35, 0.14), (0.55, 0.62, 0.2), (0.88, 0.3, 0.11),
                           (0.35, 0.88, 0.12)):
            s.cloud(x, y, size, (255, 255, 255), (175, 185, 205))
    elif kind == "sunset":
        s.gradient([(0.0, (40, 50, 110)), (0.45, (200, 90, 80)), (0.8, (250, 170, 70))], 0, 0.8)
        s.glow(0.62, 0.78, 0.35, (255, 200, 90), 0.6)
        s.disc(0.62, 0.78, 0.06, (255, 235, 150))
        s.layer(0.35, 0.03, (120, 60, 90), 0.7, 5)
        s.layer(0.55, 0.02, (250, 140, 90), 0.6, 4)
        s.sea(0.8, (60, 40, 70), (110, 60, 70), (255, 200, 120), 0.62)
    elif kind == "rain":
        s.gradient([(0.0, (80, 86, 96)), (1.0, (140, 146, 152))])
        s.layer(0.15, 0.12, (100, 104, 112), 0.8, 8)
        s.layer(0.45, 0.1, (125, 130, 138), 0.7, 8)
        s.land(0.82, (60, 72, 60), 5, (90, 100, 96))
        s.rain((200, 205, 215), 0.5, 0.004)
    elif kind in ("night", "stars"):
        s.gradient([(0.0, (4, 6, 20)), (0.8, (14, 24, 56)), (1.0, (30, 40, 80))])
        s.stars(0.004 if kind == "night" else 0.008, 0, 0.85)
        if kind == "night":
            s.moon(0.72, 0.28, 0.06, 0.9, (8, 12, 30))
        else:
            s.glow(0.3, 0.5, 0.5, (60, 50, 110), 0.3)
        s.land(0.86, (6, 8, 14), 5)
    elif kind == "dawn":
        s.gradient([(0.0, (70, 90, 150)), (0.5, (210, 170, 170)), (0.8, (255, 210, 160))])
        s.glow(0.3, 0.74, 0.4, (255, 230, 180), 0.6)
        s.disc(0.3, 0.74, 0.035, (255, 245, 215))
        s.layer(0.6, 0.04, (240, 200, 190), 0.5, 6)
        s.land(0.8, (70, 70, 90), 6, (120, 110, 130))
        s.mist(0.6, (240, 220, 210), 0.45)
    elif kind == "storm":
        s.gradient([(0.0, (50, 60, 80)), (1.0, (140, 150, 160))])
        s.cloud(0.5, 0.75, 0.3, (230, 230, 235), (90, 95, 110), puffs=9, flat=0.6)
        s.cloud(0.45, 0.45, 0.18, (240, 240, 245), (110, 115, 130), puffs=6)
        s.cloud(0.9, 0.8, 0.12, (200, 205, 215), (80, 85, 100))
        s.land(0.9, (40, 50, 40), 4)
    elif kind == "overcast":
        s.gradient([(0.0, (112, 116, 122)), (1.0, (170, 172, 176))])
        s.layer(0.2, 0.15, (95, 98, 105), 0.6, 8)
        s.layer(0.5, 0.12, (150, 152, 158), 0.5, 8)
        s.land(0.83, (70, 70, 72), 6, (110, 110, 114))
        s.mist(0.75, (180, 180, 185), 0.3)
    elif kind == "red_sunset":
        s.gradient([(0.0, (60, 20, 40)), (0.5, (180, 30, 30)), (0.85, (255, 120, 40))], 0, 0.85)
        s.glow(0.5, 0.85, 0.3, (255, 180, 60), 0.7)
        s.disc(0.5, 0.85, 0.07, (255, 220, 120))
        for x, y, size in ((0.2, 0.3, 0.12), (0.7, 0.45, 0.1), (0.45, 0.15, 0.08)):
            s.cloud(x, y, size, (255, 140, 80), (90, 20, 40), 0.9)
        s.land(0.85, (30, 8, 12), 5)
    elif kind == "moonlit":
        s.gradient([(0.0, (10, 14, 34)), (1.0, (40, 54, 90))])
        s.stars(0.002, 0, 0.6)
        s.moon(0.3, 0.25, 0.05, 0, (20, 26, 50))
        for x, y, size in ((0.6, 0.4, 0.14), (0.2, 0.65, 0.12), (0.85, 0.7, 0.1)):
            s.cloud(x, y, size, (150, 160, 190), (40, 46, 70), 0.9)
        s.sea(0.85, (10, 14, 30), (30, 40, 70), (200, 210, 230), 0.3)
    elif kind == "cirrus":
        s.gradient([(0.0, (10, 50, 150)), (1.0, (90, 150, 230))])
        s.streaks(12, (255, 255, 255), 0.8, 0.1, 0.8)
    elif kind == "mist":
        s.gradient([(0.0, (150, 180, 210)), (1.0, (225, 230, 230))], 0, 0.75)
        s.glow(0.7, 0.3, 0.25, (255, 250, 230), 0.5)
        s.land(0.7, (80, 110, 70), 6, (130, 150, 120))
        s.mist(0.55, (240, 242, 240), 0.7)
    elif kind == "golden":
        s.gradient([(0.0, (90, 120, 180)), (0.6, (240, 190, 110)), (1.0, (255, 220, 150))], 0,
                   0.8)
        s.glow(0.75, 0.7, 0.3, (255, 210, 120), 0.6)
        s.disc(0.75, 0.7, 0.045, (255, 240, 190))
        for x, y, size in ((0.3, 0.35, 0.14), (0.55, 0.22, 0.08)):
            s.cloud(x, y, size, (255, 225, 170), (170, 120, 110))
        s.sea(0.8, (80, 70, 70), (150, 110, 80), (255, 220, 150), 0.75)
    elif kind == "undercast":
        s.gradient([(0.0, (20, 70, 170)), (1.0, (120, 180, 240))], 0, 0.6)
        s.canvas.rect(0, 0.55 * s.h, s.w, s.h, (235, 238, 242))
        for i in range(14):
            s.cloud(s.rng.uniform(0, 1), 0.62 + 0.04 * (i % 3), 0.1, (255, 255, 255),
                    (200, 206, 218), puffs=4)
        s.layer(0.85, 0.1, (215, 220, 230), 0.6, 6)
    elif kind == "purple_dusk":
        s.gradient([(0.0, (30, 16, 50)), (0.6, (110, 50, 110)), (1.0, (220, 110, 110))], 0, 0.85)
        s.cloud(0.3, 0.5, 0.2, (200, 120, 160), (60, 30, 70), 0.95, puffs=8)
        s.cloud(0.8, 0.35, 0.14, (180, 110, 150), (50, 25, 60), 0.95)
        s.land(0.85, (26, 14, 30), 5)
    elif kind == "autumn":
        s.gradient([(0.0, (120, 150, 190)), (1.0, (220, 225, 220))], 0, 0.8)
        s.layer(0.3, 0.05, (240, 240, 240), 0.5, 6)
        s.cloud(0.65, 0.55, 0.14, (250, 248, 240), (180, 180, 180))
        s.land(0.78, (150, 100, 50), 6, (170, 140, 90))
    elif kind == "haze":
        s.gradient([(0.0, (110, 160, 215)), (1.0, (235, 225, 205))], 0, 0.82)
        s.glow(0.5, 0.2, 0.4, (255, 250, 230), 0.5)
        s.land(0.8, (110, 130, 90), 6, (170, 175, 150))
        s.mist(0.6, (240, 230, 210), 0.5)
    elif kind == "crimson_dawn":
        s.gradient([(0.0, (40, 40, 90)), (0.55, (190, 60, 90)), (0.8, (255, 150, 110))], 0, 0.8)
        s.glow(0.2, 0.8, 0.3, (255, 170, 120), 0.6)
        s.streaks(6, (255, 160, 160), 0.7, 0.2, 0.5)
        s.sea(0.8, (50, 30, 60), (120, 60, 80), (255, 170, 130), 0.2)
    elif kind == "snow":
        s.gradient([(0.0, (90, 94, 104)), (1.0, (175, 178, 186))])
        s.layer(0.25, 0.15, (110, 114, 124), 0.7, 8)
        s.land(0.82, (225, 228, 235), 6, (190, 195, 205))
        s.snowflakes(0.003)
    elif kind == "spring":
        s.gradient([(0.0, (50, 120, 220)), (1.0, (170, 215, 250))], 0, 0.85)
        s.glow(0.15, 0.15, 0.2, (255, 255, 235), 0.5)
        for x, y, size in ((0.35, 0.4, 0.12), (0.7, 0.55, 0.16), (0.95, 0.3, 0.07)):
            s.cloud(x, y, size, (255, 255, 255), (195, 205, 220))
        s.land(0.85, (80, 150, 60), 6, (120, 170, 100))
    elif kind == "twilight":
        s.gradient([(0.0, (12, 20, 60)), (0.7, (60, 70, 130)), (1.0, (200, 130, 110))], 0, 0.82)
        s.stars(0.002, 0, 0.4)
        s.layer(0.6, 0.025, (40, 40, 80), 0.8, 5)
        s.sea(0.82, (10, 16, 40), (40, 50, 90), (220, 150, 120), 0.6)
    elif kind == "pastel":
        s.gradient([(0.0, (150, 160, 220)), (0.5, (230, 180, 210)), (1.0, (255, 215, 180))])
        for x, y, size in ((0.3, 0.5, 0.15), (0.75, 0.35, 0.12)):
            s.cloud(x, y, size, (255, 235, 240), (200, 170, 200))
    else:
        raise ValueError("unknown scene " + kind)


def thumbnail_bmp(index):
    _, kind, (width, height) = SETS[index]
    sky = Sky(width, height, seed=1000 + index)
    draw_scene(kind, sky)
    sky.label("ZT%d" % index)
    return sky.canvas.bmp_bytes()


def download_preview_png():
    width, height = DOWNLOAD_PREVIEW
    sky = Sky(width, height, seed=2000)
    draw_scene("storm", sky)  # no label: a downloaded picture has none
    rgba = []
    for row in sky.canvas.rgb_rows():
        pixels = bytearray(width * 4)
        pixels[0::4], pixels[1::4], pixels[2::4] = row[0::3], row[1::3], row[2::3]
        pixels[3::4] = b"\xff" * width
        rgba.append(bytes(pixels))
    return png_bytes(width, height, rgba)


def download_entries():
    """(name in the ZIP, bytes) of the downloaded sky, in the archive's order."""
    entries = [(name, sky_file_bytes("downloaded sky " + DOWNLOAD, name)) for name in SKY_FILES]
    entries.append(("preview.png", download_preview_png()))
    entries.append(("readme.txt", DOWNLOAD_README.encode("ascii")))
    return [("%s/%s" % (DOWNLOAD, name), data) for name, data in entries]


def download_zip_bytes():
    """The ZIP as a mod site serves one: the sky wrapped in a folder of its name. The same bytes
    at every run: fixed dates, attributes and maker system."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in download_entries():
            entry = zipfile.ZipInfo(name, date_time=ZIP_DATE)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 0
            entry.external_attr = 0x20  # the archive attribute, as Windows sets it
            archive.writestr(entry, data, compresslevel=9)
    return buffer.getvalue()


# ---- The demo folder ------------------------------------------------------------------------


def _make_writable(path):
    # chmod follows links, and the target of a link may lie outside the demo.
    if not os.path.islink(path):
        os.chmod(path, stat.S_IWRITE | stat.S_IREAD | stat.S_IEXEC)


def _remove_tree(path):
    """Removes a folder, also when a tester left read-only files or folders in it."""

    def make_writable_and_retry(function, failed_path, _):
        _make_writable(os.path.dirname(failed_path))
        _make_writable(failed_path)
        function(failed_path)

    shutil.rmtree(path, onerror=make_writable_and_retry)


def _is_our_demo(output, entries):
    if MARKER not in entries:
        return False
    with open(os.path.join(output, MARKER), "rb") as f:
        return f.read().startswith(b"Made by SkySwap's tools/make_demo.py")


def prepare_output(output):
    """Empties a demo folder made earlier; refuses anything else that is not empty."""
    if os.path.islink(output):
        sys.exit("make_demo.py: %s is a symbolic link; give the real folder" % output)
    if os.path.exists(output):
        if not os.path.isdir(output):
            sys.exit("make_demo.py: %s exists and is not a folder" % output)
        entries = os.listdir(output)
        if entries and not _is_our_demo(output, entries):
            sys.exit(
                "make_demo.py: %s is not empty and was not made by make_demo.py (no %s of its "
                "own in it); refusing to replace it" % (output, MARKER)
            )
        for entry in entries:
            path = os.path.join(output, entry)
            if os.path.isdir(path) and not os.path.islink(path):
                _remove_tree(path)
                continue
            try:
                os.remove(path)
            except PermissionError:  # a read-only file, on Windows
                _make_writable(path)
                os.remove(path)
    os.makedirs(output, exist_ok=True)


def write_file(path, data):
    with open(path, "wb") as f:
        f.write(data)


def make_demo(output):
    prepare_output(output)
    write_file(os.path.join(output, MARKER), MARKER_TEXT.encode("ascii"))
    write_file(os.path.join(output, "eaw.ini"), EAW_INI.encode("ascii"))
    for name in SKY_FILES:
        write_file(os.path.join(output, name), sky_file_bytes("original EAW sky", name))

    library = os.path.join(output, LIBRARY)
    os.makedirs(library)
    shutil.copyfile(os.path.join(REPO_ROOT, "pkg", "nosky.jpg"), os.path.join(library, "nosky.jpg"))
    for index, (description, _, _) in enumerate(SETS):
        folder = os.path.join(library, "ZT%d" % index)
        os.makedirs(folder)
        for name in SKY_FILES:
            write_file(os.path.join(folder, name), sky_file_bytes("demo sky ZT%d" % index, name))
        write_file(os.path.join(folder, "ZT%d.bmp" % index), thumbnail_bmp(index))
        write_file(os.path.join(folder, "ZT%d.txt" % index), (description + "\r\n").encode("ascii"))
    default = os.path.join(library, "ZTDef")
    os.makedirs(default)
    for name in SKY_FILES:
        write_file(os.path.join(default, name), sky_file_bytes("demo sky ZT0", name))
    write_file(os.path.join(output, DOWNLOAD_ZIP), download_zip_bytes())


# ---- Checking a demo ------------------------------------------------------------------------


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def check_bmp(data, expected_size):
    """Problems with a thumbnail: it must be a plain 24-bit BMP of the size the set asks for."""
    if len(data) < 54 or data[:2] != b"BM":
        return "not a BMP file"
    file_size, offset = struct.unpack_from("<I4xI", data, 2)
    header_size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if file_size != len(data):
        return "file size field %d, actual %d bytes" % (file_size, len(data))
    if (header_size, planes, bits, compression) != (40, 1, 24, 0):
        return "not an uncompressed 24-bit BMP"
    if (width, height) != expected_size:
        return "%d x %d, expected %d x %d" % ((width, height) + expected_size)
    if offset + ((width * 3 + 3) & ~3) * height != len(data):
        return "pixel data does not match the size"
    return None


def check_demo(output):
    """Returns a list of problems; empty when OUTPUT holds an intact demo."""
    problems = []

    def expect(condition, message):
        if not condition:
            problems.append(message)

    def expect_sky_files(folder, origin):
        for name in SKY_FILES:
            path = os.path.join(folder, name)
            expect(os.path.isfile(path) and read_file(path) == sky_file_bytes(origin, name),
                   "%s: missing or not the %s file" % (path, origin))

    expect(os.path.isfile(os.path.join(output, MARKER)), "no %s marker" % MARKER)
    expect(os.path.isfile(os.path.join(output, "eaw.ini")), "no eaw.ini in the game folder")
    expect_sky_files(output, "original EAW sky")
    library = os.path.join(output, LIBRARY)
    nosky = os.path.join(library, "nosky.jpg")
    expect(os.path.isfile(nosky) and read_file(nosky)[:3] == b"\xff\xd8\xff",
           "nosky.jpg missing or not a JPEG")
    # SkySwap counts every sub-folder but ZTDef as a set, so nothing else may be there.
    folders = sorted(e for e in os.listdir(library) if os.path.isdir(os.path.join(library, e)))
    expected = sorted(["ZT%d" % i for i in range(len(SETS))] + ["ZTDef"])
    expect(folders == expected, "library folders %s, expected %s" % (folders, expected))
    names = set()
    for index, (description, _, size) in enumerate(SETS):
        folder = os.path.join(library, "ZT%d" % index)
        if not os.path.isdir(folder):
            continue
        expect_sky_files(folder, "demo sky ZT%d" % index)
        bmp = os.path.join(folder, "ZT%d.bmp" % index)
        problem = check_bmp(read_file(bmp), size) if os.path.isfile(bmp) else "missing"
        expect(problem is None, "%s: %s" % (bmp, problem))
        txt = os.path.join(folder, "ZT%d.txt" % index)
        if os.path.isfile(txt):
            field = first_field(read_file(txt).decode("ascii"))
            expect(field and field not in names, "%s: empty or repeated description" % txt)
            names.add(field)
        else:
            problems.append("%s: missing" % txt)
    expect(first_field(SETS[3][0]) == "Overcast, light rain", "set 3's description lost its comma")
    expect("&" in first_field(SETS[5][0]), "set 5's description has no '&'")
    expect_sky_files(os.path.join(library, "ZTDef"), "demo sky ZT0")
    download = os.path.join(output, DOWNLOAD_ZIP)
    try:
        with zipfile.ZipFile(download) as archive:
            expect(archive.testzip() is None, "%s: a damaged entry" % download)
            held = [(info.filename, archive.read(info)) for info in archive.infolist()]
        expect(held == download_entries(), "%s: not the downloaded sky's files" % download)
    except (OSError, zipfile.BadZipFile) as error:
        problems.append("%s: %s" % (download, error))
    return problems


def self_test():
    """Makes a demo twice over (the second run must give a fresh copy), checks it, and checks
    that a foreign folder is refused untouched."""
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        demo = os.path.join(scratch, "EAW")
        make_demo(demo)
        failures += check_demo(demo)
        # A tester's leftovers: an installed set, a read-only file, an extra folder.
        os.remove(os.path.join(demo, "cloud2.ter"))
        extra = os.path.join(demo, LIBRARY, "ZT99")
        os.makedirs(extra)
        locked = os.path.join(demo, LIBRARY, "ZT4", "bnhorizn.ter")
        os.chmod(locked, stat.S_IREAD)
        failures += ["leftovers not noticed"] if not check_demo(demo) else []
        first_zip = read_file(os.path.join(demo, DOWNLOAD_ZIP))
        make_demo(demo)
        failures += ["after remaking: " + p for p in check_demo(demo)]
        if read_file(os.path.join(demo, DOWNLOAD_ZIP)) != first_zip:
            failures.append("the ZIP came out different the second time")
        preview = dict(download_entries())[DOWNLOAD + "/preview.png"]
        if preview[:8] != b"\x89PNG\r\n\x1a\n":
            failures.append("the download's preview is not a PNG")

        foreign = os.path.join(scratch, "foreign")
        os.makedirs(foreign)
        write_file(os.path.join(foreign, "precious.txt"), b"keep me")
        try:
            make_demo(foreign)
            failures.append("a foreign folder was not refused")
        except SystemExit:
            pass
        if read_file(os.path.join(foreign, "precious.txt")) != b"keep me":
            failures.append("a foreign folder was changed")
    descriptions = {
        '"Overcast, light rain"\r\n': "Overcast, light rain",
        "  Two phrases, split\r\nmore": "Two phrases",
        "Dawn & haze\r\n": "Dawn & haze",
        "": "",
    }
    for text, field in descriptions.items():
        if first_field(text) != field:
            failures.append("first field of %r: %r" % (text, first_field(text)))
    return failures


def main():
    parser = argparse.ArgumentParser(description="Builds a demo EAW folder with a SkySwap library.")
    parser.add_argument("output", nargs="?", help="the demo game folder to make")
    parser.add_argument("--check", action="store_true", help="only verify an existing demo")
    parser.add_argument("--self-test", action="store_true", help="test this generator")
    args = parser.parse_args()

    if args.self_test:
        failures = self_test()
        for failure in failures:
            print("FAIL: " + failure)
        print("make_demo.py self-test: %s" % ("FAILED" if failures else "passed"))
        return 1 if failures else 0
    if not args.output:
        parser.error("give the demo game folder, e.g. build/demo/EAW")
    output = os.path.abspath(args.output)
    if args.check:
        problems = check_demo(output)
        for problem in problems:
            print("PROBLEM: " + problem)
        print("%s: %s" % (output, "not an intact demo" if problems else "intact demo"))
        return 1 if problems else 0
    make_demo(output)
    print("Demo game folder: %s" % output)
    print("Start SkySwap in its library folder: %s" % os.path.join(output, LIBRARY))
    return 0


if __name__ == "__main__":
    sys.exit(main())
