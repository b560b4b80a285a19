#!/usr/bin/env python3
"""Draws the window toolkit's pictures (the logo, the help link, the two
blend-preview images and the window icons) and writes them as BMP and ICO
files into ui/resources/. The pictures are simple geometric drawings made
here; run again after changing a drawing and commit the files."""
import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ui", "resources")


def bmp_bytes(width, height, pixel):
    """24-bit bottom-up BMP; pixel(x, y) gives (r, g, b) with y = 0 at the top."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (stride - width * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header, data


def write_bmp(name, width, height, pixel):
    header, data = bmp_bytes(width, height, pixel)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + len(header) + len(data), 0, 0, 14 + len(header))
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(file_header + header + data)


def write_ico(name, sizes, pixel):
    images = []
    for size in sizes:
        stride = size * 4
        rows = b"".join(
            bytes(b for x in range(size) for b in (lambda c: (c[2], c[1], c[0], 255))(pixel(x, y, size)))
            for y in range(size - 1, -1, -1))
        mask_stride = ((size + 31) // 32) * 4
        mask = b"\0" * (mask_stride * size)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(rows) + len(mask), 0, 0, 0, 0)
        images.append((size, header + rows + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, blob in images:
        out += blob
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out)


def spiral(x, y, cx, cy, turns):
    """Brightness of an Archimedean spiral band at (x, y)."""
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    a = math.atan2(dy, dx)
    phase = (r / turns - a / (2 * math.pi)) % 1.0
    return 1.0 - abs(phase - 0.5) * 2


def logo(x, y):
    # A blue spiral on the left, a band of stripes to the right.
    if x < 48:
        v = spiral(x, y, 24, 24, 6.0)
        return (int(30 + 40 * v), int(60 + 90 * v), int(140 + 115 * v))
    stripe = (x // 6 + y // 12) % 2
    return (240, 244, 250) if stripe else (210, 222, 240)


def link(x, y):
    # A rounded button face with an arrow.
    border = x in (0, 84) or y in (0, 25)
    if border:
        return (90, 90, 90)
    arrow = 30 <= x <= 55 and abs(y - 13) <= (55 - x) // 2 and x >= 40 or (30 <= x < 40 and 10 <= y <= 16)
    return (20, 90, 180) if arrow else (230, 236, 245)


def blend_a(x, y):
    return (int(255 * x / 99), int(255 * y / 49), 128)


def blend_b(x, y):
    # Black background with a white ring: black pixels keep the first image.
    r = math.hypot(x - 50, y - 25)
    return (255, 255, 255) if 12 <= r <= 20 else (0, 0, 0)


def icon(colour):
    def pixel(x, y, size):
        v = spiral(x, y, size / 2, size / 2, size / 6.0)
        return tuple(int(c * (0.35 + 0.65 * v)) for c in colour)
    return pixel


def main():
    os.makedirs(OUT, exist_ok=True)
    write_bmp("logo.bmp", 154, 48, logo)
    write_bmp("helplink.bmp", 85, 26, link)
    write_bmp("blend_a.bmp", 100, 50, blend_a)
    write_bmp("blend_b.bmp", 100, 50, blend_b)
    write_ico("main.ico", (16, 32), icon((60, 120, 255)))
    write_ico("child.ico", (16, 32), icon((255, 160, 40)))
    write_ico("tool.ico", (16, 32), icon((80, 200, 120)))


if __name__ == "__main__":
    main()
