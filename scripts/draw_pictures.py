#!/usr/bin/env python3
"""Draws the dialog program's pictures: the icon (resource 128) and the product picture
(resource 137), a serial adapter with a radio link. Standard library only; writes PNG files.

usage: scripts/draw_pictures.py [OUTPUT_FOLDER]   (default: gui/resources)
"""
import math
import os
import struct
import sys
import zlib

SUPERSAMPLE = 4


class Canvas:
    """An RGBA picture drawn with supersampled shapes and reduced to its size at the end."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.w, self.h = width * SUPERSAMPLE, height * SUPERSAMPLE
        self.px = [[(0, 0, 0, 0)] * self.w for _ in range(self.h)]

    def _blend(self, x, y, color):
        r, g, b, a = color
        if a >= 255:
            self.px[y][x] = (r, g, b, 255)
            return
        dr, dg, db, da = self.px[y][x]
        fa = a / 255.0
        out_a = fa + da / 255.0 * (1 - fa)
        if out_a <= 0:
            return
        mix = lambda s, d: int((s * fa + d * (da / 255.0) * (1 - fa)) / out_a)
        self.px[y][x] = (mix(r, dr), mix(g, dg), mix(b, db), int(out_a * 255))

    def fill(self, inside, color, box=None):
        """Fills every supersample whose centre satisfies inside(x, y) (picture units)."""
        x0, y0, x1, y1 = box if box else (0, 0, self.width, self.height)
        s = SUPERSAMPLE
        for sy in range(max(0, int(y0 * s)), min(self.h, int(math.ceil(y1 * s)))):
            y = (sy + 0.5) / s
            row = self.px[sy]
            for sx in range(max(0, int(x0 * s)), min(self.w, int(math.ceil(x1 * s)))):
                if inside((sx + 0.5) / s, y):
                    self._blend(sx, sy, color)

    def rounded_rect(self, x, y, w, h, radius, color):
        def inside(px, py):
            cx = min(max(px, x + radius), x + w - radius)
            cy = min(max(py, y + radius), y + h - radius)
            return (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2 and x <= px <= x + w and y <= py <= y + h
        self.fill(inside, color, (x, y, x + w, y + h))

    def circle(self, cx, cy, radius, color):
        self.fill(lambda px, py: (px - cx) ** 2 + (py - cy) ** 2 <= radius ** 2, color,
                  (cx - radius, cy - radius, cx + radius, cy + radius))

    def line(self, x0, y0, x1, y1, width, color):
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy or 1e-9

        def inside(px, py):
            t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length2))
            qx, qy = x0 + t * dx, y0 + t * dy
            return (px - qx) ** 2 + (py - qy) ** 2 <= (width / 2) ** 2
        pad = width
        self.fill(inside, color, (min(x0, x1) - pad, min(y0, y1) - pad, max(x0, x1) + pad, max(y0, y1) + pad))

    def arc(self, cx, cy, radius, width, start_deg, end_deg, color):
        def inside(px, py):
            d = math.hypot(px - cx, py - cy)
            if abs(d - radius) > width / 2:
                return False
            angle = math.degrees(math.atan2(cy - py, px - cx))
            return start_deg <= angle <= end_deg
        r = radius + width
        self.fill(inside, color, (cx - r, cy - r, cx + r, cy + r))

    def trapezoid(self, x, y, top_w, bottom_w, h, color):
        """A connector shell: top edge top_w wide, bottom edge bottom_w wide, centred on x."""
        def inside(px, py):
            if not y <= py <= y + h:
                return False
            half = (top_w + (bottom_w - top_w) * (py - y) / h) / 2
            return abs(px - x) <= half
        self.fill(inside, color, (x - max(top_w, bottom_w) / 2, y, x + max(top_w, bottom_w) / 2, y + h))

    def png(self):
        s = SUPERSAMPLE
        raw = bytearray()
        for y in range(self.height):
            raw.append(0)
            for x in range(self.width):
                acc = [0, 0, 0, 0]
                for sy in range(y * s, y * s + s):
                    for sx in range(x * s, x * s + s):
                        r, g, b, a = self.px[sy][sx]
                        acc[0] += r * a
                        acc[1] += g * a
                        acc[2] += b * a
                        acc[3] += a
                n = s * s
                alpha = acc[3] / n
                if acc[3]:
                    raw += bytes((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], int(alpha + 0.5)))
                else:
                    raw += bytes((0, 0, 0, 0))

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 6, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


BODY = (38, 84, 140, 255)
BODY_EDGE = (22, 52, 92, 255)
METAL = (176, 184, 194, 255)
METAL_DARK = (110, 118, 128, 255)
PIN = (60, 60, 66, 255)
WAVE = (240, 150, 30, 255)
LED = (90, 220, 90, 255)
WHITE = (250, 250, 250, 255)


def adapter(c, x, y, w, h, facing_right=True):
    """A serial adapter of body w x h at (x, y): a 9-pin plug on one end, an antenna on top."""
    plug_w = h * 0.45
    plug_x = x - plug_w if facing_right else x + w
    c.rounded_rect(plug_x, y + h * 0.12, plug_w + h * 0.1, h * 0.76, h * 0.08, METAL_DARK)
    c.rounded_rect(plug_x + h * 0.05, y + h * 0.18, plug_w, h * 0.64, h * 0.06, METAL)
    pin_x = plug_x + plug_w * 0.5
    for i in range(5):
        c.circle(pin_x - h * 0.07, y + h * (0.27 + i * 0.115), h * 0.035, PIN)
    for i in range(4):
        c.circle(pin_x + h * 0.07, y + h * (0.33 + i * 0.115), h * 0.035, PIN)
    c.rounded_rect(x, y, w, h, h * 0.18, BODY_EDGE)
    c.rounded_rect(x + h * 0.06, y + h * 0.06, w - h * 0.12, h * 0.88, h * 0.14, BODY)
    c.rounded_rect(x + w * 0.18, y + h * 0.3, w * 0.5, h * 0.12, h * 0.05, (90, 140, 200, 255))
    c.rounded_rect(x + w * 0.18, y + h * 0.55, w * 0.36, h * 0.12, h * 0.05, (90, 140, 200, 255))
    c.circle(x + w * 0.82 if facing_right else x + w * 0.18, y + h * 0.5, h * 0.09, LED)
    ant_x = x + w * 0.8 if facing_right else x + w * 0.2
    c.line(ant_x, y + h * 0.05, ant_x, y - h * 0.55, h * 0.1, BODY_EDGE)
    c.circle(ant_x, y - h * 0.55, h * 0.08, BODY_EDGE)
    return ant_x, y - h * 0.55


def waves(c, cx, cy, size, toward_right=True):
    for i, r in enumerate((0.35, 0.6, 0.85)):
        if toward_right:
            c.arc(cx, cy, size * r, size * 0.1, -45, 45, WAVE)
        else:
            c.arc(cx, cy, size * r, size * 0.1, 135, 180, WAVE)
            c.arc(cx, cy, size * r, size * 0.1, -180, -135, WAVE)


def draw_icon(size):
    c = Canvas(size, size)
    s = size / 32.0
    c.rounded_rect(1 * s, 1 * s, 30 * s, 30 * s, 6 * s, (232, 240, 250, 255))
    ax, ay = adapter(c, 9 * s, 17 * s, 15 * s, 9 * s)
    waves(c, ax + 1 * s, ay, 9 * s)
    return c


def draw_product(width, height):
    c = Canvas(width, height)
    h = height * 0.42
    y = height * 0.45
    left_ant = adapter(c, width * 0.08, y, width * 0.2, h)
    right_ant = adapter(c, width * 0.72, y, width * 0.2, h, facing_right=False)
    waves(c, left_ant[0] + h * 0.15, left_ant[1], h * 1.2)
    waves(c, right_ant[0] - h * 0.15, right_ant[1], h * 1.2, toward_right=False)
    # the radio link between the two adapters: a dashed line
    x0, x1 = left_ant[0] + h * 1.3, right_ant[0] - h * 1.3
    dash = h * 0.35
    x = x0
    while x < x1:
        c.line(x, left_ant[1], min(x + dash, x1), left_ant[1], h * 0.12, WAVE)
        x += dash * 1.8
    return c


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "gui", "resources")
    os.makedirs(out, exist_ok=True)
    pictures = {
        "icon128.png": draw_icon(64),
        "product137.png": draw_product(444, 72),
    }
    for name, canvas in pictures.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(canvas.png())
        print(os.path.join(out, name))


if __name__ == "__main__":
    main()
