#!/usr/bin/env python3
"""Draws the tool's icons: a camera riding on a slider rail.

The picture is described once in unit coordinates and rendered with
supersampling at every size, so small sizes stay crisp without hand-drawn
copies. Writes vantoro.ico (16..256 px, the class and About icon) and
vantoro_small.ico (16, 20, 24, 32 px, title bar and task bar). Standard
library only: the small sizes are 32-bit DIB entries, 256 px is PNG.
"""
import os
import struct
import sys
import zlib

SUPER = 4  # samples per pixel along each axis

# (shape, parameters, RGBA); drawn in order, later shapes on top.
RAIL = (62, 72, 84, 255)
RAIL_LIGHT = (150, 162, 176, 255)
FOOT = (36, 40, 46, 255)
CARRIAGE = (222, 120, 30, 255)
CARRIAGE_DARK = (170, 84, 14, 255)
BODY = (28, 30, 34, 255)
BODY_LIGHT = (78, 82, 90, 255)
LENS = (12, 12, 14, 255)
GLASS = (70, 130, 200, 255)
GLINT = (220, 236, 255, 255)

SHAPES = [
    ("rect", (0.03, 0.66, 0.97, 0.80, 0.03), RAIL),        # the rail
    ("rect", (0.05, 0.67, 0.95, 0.70, 0.01), RAIL_LIGHT),  # its highlight
    ("rect", (0.00, 0.60, 0.10, 0.90, 0.02), FOOT),        # left end block
    ("rect", (0.90, 0.60, 1.00, 0.90, 0.02), FOOT),        # right end block
    ("rect", (0.30, 0.56, 0.70, 0.74, 0.03), CARRIAGE),    # carriage
    ("rect", (0.30, 0.69, 0.70, 0.74, 0.01), CARRIAGE_DARK),
    ("rect", (0.44, 0.50, 0.56, 0.57, 0.00), BODY),        # camera mount
    ("rect", (0.36, 0.14, 0.50, 0.24, 0.02), BODY),        # viewfinder hump
    ("rect", (0.16, 0.20, 0.84, 0.52, 0.06), BODY),        # camera body
    ("rect", (0.19, 0.23, 0.81, 0.27, 0.02), BODY_LIGHT),  # top edge light
    ("circle", (0.55, 0.36, 0.145), BODY_LIGHT),           # lens barrel
    ("circle", (0.55, 0.36, 0.115), LENS),
    ("circle", (0.55, 0.36, 0.075), GLASS),
    ("circle", (0.525, 0.335, 0.025), GLINT),
    ("rect", (0.21, 0.27, 0.29, 0.31, 0.01), CARRIAGE),    # shutter button
]


def inside(shape, params, x, y):
    if shape == "circle":
        cx, cy, r = params
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    x0, y0, x1, y1, r = params
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    # Rounded corners: outside the corner circle means outside the shape.
    nx = min(max(x, x0 + r), x1 - r)
    ny = min(max(y, y0 + r), y1 - r)
    return (x - nx) ** 2 + (y - ny) ** 2 <= r * r


def render(size):
    """Rows of RGBA tuples, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied colour and coverage
            for sy in range(SUPER):
                for sx in range(SUPER):
                    x = (px + (sx + 0.5) / SUPER) / size
                    y = (py + (sy + 0.5) / SUPER) / size
                    colour = None
                    for shape, params, rgba in SHAPES:
                        if inside(shape, params, x, y):
                            colour = rgba
                    if colour:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = SUPER * SUPER
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                            round(acc[2] / acc[3]), round(255 * acc[3] / n)))
        rows.append(row)
    return rows


def dib_entry(size, rows):
    """BITMAPINFOHEADER, bottom-up BGRA pixels and an all-clear AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)
    return header + pixels + mask


def png_entry(size, rows):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write_ico(path, sizes):
    images = []
    for size in sizes:
        rows = render(size)
        images.append((size, png_entry(size, rows) if size >= 256 else dib_entry(size, rows)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size  # 0 stands for 256 in the directory
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(path, "wb") as f:
        f.write(out)


def main():
    here = os.path.dirname(os.path.abspath(sys.argv[0]))
    write_ico(os.path.join(here, "vantoro.ico"), [16, 24, 32, 48, 64, 256])
    write_ico(os.path.join(here, "vantoro_small.ico"), [16, 20, 24, 32])


if __name__ == "__main__":
    main()
