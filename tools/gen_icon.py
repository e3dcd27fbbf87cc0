#!/usr/bin/env python3
"""Draws the utility's icon, a clock face, and writes app/tollvane.ico.

Ten images, in this order: a 256x256 PNG (RGBA), then 64, 48, 32 and 16 pixels at 8 bits per
pixel; a second 256x256 PNG, then 64, 48, 32 and 16 pixels at 32 bits per pixel.

Usage: tools/gen_icon.py [output path]
"""
import math
import os
import struct
import sys
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAMPLES = 4  # supersampling per axis, for smooth edges

RIM = (40, 62, 96)
FACE = (250, 248, 240)
TICK = (40, 62, 96)
HAND = (30, 30, 36)
SECOND = (200, 40, 40)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def shade(x, y):
    """Colour and coverage of one point of the unit square, centred at (0.5, 0.5)."""
    cx, cy = x - 0.5, y - 0.5
    r = math.hypot(cx, cy)
    if r > 0.48:
        return None
    if r > 0.42:
        return RIM
    angle = math.atan2(cx, -cy)
    for hour in range(12):
        a = hour * math.pi / 6
        length = 0.08 if hour % 3 == 0 else 0.05
        width = 0.025 if hour % 3 == 0 else 0.014
        ax, ay = math.sin(a) * 0.38, -math.cos(a) * 0.38
        bx, by = math.sin(a) * (0.38 - length), -math.cos(a) * (0.38 - length)
        if segment_distance(cx, cy, ax, ay, bx, by) < width:
            return TICK
    # Hands at ten past ten.
    hands = [(-2 * math.pi / 6 + math.pi / 36, 0.22, 0.035, HAND),
             (2 * math.pi / 12 * 1, 0.32, 0.025, HAND),
             (math.pi * 1.15, 0.34, 0.010, SECOND)]
    for a, length, width, colour in reversed(hands):
        if segment_distance(cx, cy, 0, 0, math.sin(a) * length, -math.cos(a) * length) < width:
            return colour
    if r < 0.035:
        return HAND
    del angle
    return FACE


def render(size):
    """RGBA rows, top to bottom."""
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0, 0, 0]
            covered = 0
            for sj in range(SAMPLES):
                for si in range(SAMPLES):
                    c = shade((i + (si + 0.5) / SAMPLES) / size, (j + (sj + 0.5) / SAMPLES) / size)
                    if c is not None:
                        covered += 1
                        for k in range(3):
                            acc[k] += c[k]
            if covered:
                row.append(tuple(acc[k] // covered for k in range(3)) +
                           (255 * covered // (SAMPLES * SAMPLES),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def palette():
    """A 6x6x6 colour cube and 40 greys."""
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(round(i * 255 / 39),) * 3 for i in range(40)]
    return colours


def nearest(colours, c):
    return min(range(len(colours)),
               key=lambda k: sum((colours[k][i] - c[i]) ** 2 for i in range(3)))


def and_mask(rows):
    size = len(rows)
    stride = ((size + 31) // 32) * 4
    out = b""
    for row in reversed(rows):
        bits = bytearray(stride)
        for i, px in enumerate(row):
            if px[3] < 128:
                bits[i // 8] |= 0x80 >> (i % 8)
        out += bytes(bits)
    return out


def dib(rows, bits):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, 0, 0, 0,
                         256 if bits == 8 else 0, 0)
    if bits == 32:
        pixels = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
        return header + pixels + and_mask(rows)
    colours = palette()
    table = b"".join(bytes((c[2], c[1], c[0], 0)) for c in colours)
    cache = {}
    stride = (size + 3) // 4 * 4
    pixels = b""
    for row in reversed(rows):
        line = bytearray(stride)
        for i, p in enumerate(row):
            # Transparent pixels are masked; others are blended onto white first.
            a = p[3] / 255
            c = tuple(round(p[k] * a + 255 * (1 - a)) for k in range(3)) if p[3] >= 128 else (0, 0, 0)
            if c not in cache:
                cache[c] = nearest(colours, c)
            line[i] = cache[c]
        pixels += bytes(line)
    return header + table + pixels + and_mask(rows)


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "app", "tollvane.ico")
    renders = {s: render(s) for s in (256, 64, 48, 32, 16)}
    images = [(256, 32, png(renders[256]))]
    images += [(s, 8, dib(renders[s], 8)) for s in (64, 48, 32, 16)]
    images += [(256, 32, png(renders[256]))]
    images += [(s, 32, dib(renders[s], 32)) for s in (64, 48, 32, 16)]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b""
    for size, bits, blob in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(blob),
                                 offset + len(data))
        data += blob
    with open(path, "wb") as f:
        f.write(directory + data)


if __name__ == "__main__":
    main()
