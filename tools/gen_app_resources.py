#!/usr/bin/env python3
"""Draws the pictures of Spiralix.exe's resource script (app/resources/):
the interface bitmaps, the check marks of the context menu, the icons of
the tree views, the program's own cursor and the two splash pictures. Each
is a small geometric drawing made here; run again after changing a drawing
and commit the files."""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_ui_resources as ui  # noqa: E402  (BMP and ICO writers)

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app", "resources")

# Interface bitmaps loaded by PApplication::LoadBitmaps (28082 and 28083 are
# the toolkit's own, in ui/resources).
INTERFACE_BITMAPS = ([28006, 28007] + list(range(28018, 28022)) + list(range(28025, 28046))
                     + list(range(28065, 28076)) + [28080, 28081, 28084])
CHECK_MARKS = list(range(28047, 28063))
TREE_ICONS = list(range(28206, 28237))


def hue(index, count):
    """An RGB colour spread evenly around the colour wheel."""
    a = 2 * math.pi * index / count
    return tuple(int(128 + 100 * math.cos(a + k * 2 * math.pi / 3)) for k in range(3))


def interface_bitmap(rid, index):
    # A framed square with a diagonal band in a colour of its own, so that
    # every bitmap is told apart at a glance.
    colour = hue(index, len(INTERFACE_BITMAPS))

    def pixel(x, y):
        if x in (0, 15) or y in (0, 15):
            return (64, 64, 64)
        if abs(x - y) <= 2 or abs(x + y - 15) <= 1 and rid % 2:
            return colour
        return (236, 233, 216)
    return pixel


def check_mark(rid):
    # Even ids are the checked state (a tick), odd ids the plain state (an
    # empty box): the context menu pairs them.
    checked = rid % 2 == 0

    def pixel(x, y):
        if x in (0, 12) or y in (0, 12):
            return (0, 0, 0)
        if checked and (y == x + 3 and 2 <= x <= 5 or y == 13 - x and 5 <= x <= 10 or
                        y == x + 2 and 2 <= x <= 5 or y == 12 - x and 5 <= x <= 10):
            return (0, 0, 0)
        return (255, 255, 255)
    return pixel


def tree_icon(index):
    colour = hue(index, len(TREE_ICONS))

    def pixel(x, y, size):
        cx = cy = (size - 1) / 2
        r = math.hypot(x - cx, y - cy)
        if r > size / 2 - 0.5:
            return (255, 255, 255)
        v = ui.spiral(x, y, cx, cy, 2.0 + index % 4)
        return tuple(int(c * (0.5 + 0.5 * v)) for c in colour)
    return pixel


def splash(width, height, levels):
    # A spiral of blue bands; the palette version keeps to a few levels so
    # that it shows the same on a 256-colour display.
    def pixel(x, y):
        v = ui.spiral(x, y, width * 0.3, height * 0.45, 9.0)
        if levels:
            v = round(v * levels) / levels
        return (int(20 + 60 * v), int(40 + 110 * v), int(90 + 165 * v))
    return pixel


def write_cursor(name):
    # 32 x 32 monochrome cursor: a cross with a small spiral, hot spot in the
    # middle (16, 16).
    size = 32
    xor_rows, and_rows = [], []
    for y in range(size - 1, -1, -1):
        xor_bits, and_bits = 0, 0
        for x in range(size):
            on = (x == 16 and abs(y - 16) <= 10) or (y == 16 and abs(x - 16) <= 10)
            on = on or (4 <= math.hypot(x - 16, y - 16) <= 5 and (x + y) % 3 == 0)
            # Drawn pixels are opaque black (AND 0, XOR 0); the rest is
            # transparent (AND 1).
            if not on:
                and_bits |= 1 << (31 - x)
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    colours = struct.pack("<II", 0x000000, 0xFFFFFF)
    blob = header + colours + b"".join(xor_rows) + b"".join(and_rows)
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", size, size, 2, 0, 16, 16, len(blob), 22)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(out + blob)


def main():
    os.makedirs(OUT, exist_ok=True)
    ui.OUT = OUT
    for index, rid in enumerate(INTERFACE_BITMAPS):
        ui.write_bmp("ui%d.bmp" % rid, 16, 16, interface_bitmap(rid, index))
    for rid in CHECK_MARKS:
        ui.write_bmp("check%d.bmp" % rid, 13, 13, check_mark(rid))
    for index, rid in enumerate(TREE_ICONS):
        ui.write_ico("tree%d.ico" % rid, [16], tree_icon(index))
    ui.write_bmp("splash24.bmp", 328, 248, splash(328, 248, 0))
    ui.write_bmp("splash8.bmp", 328, 248, splash(328, 248, 6))
    write_cursor("spiral.cur")
    # The resource lines of the pictures, included by Spiralix.rc.
    with open(os.path.join(OUT, "pictures.rc"), "w", newline="\r\n") as f:
        f.write("// Written by tools/gen_app_resources.py: the pictures of Spiralix.exe.\n")
        for rid in INTERFACE_BITMAPS:
            f.write('%d BITMAP "ui%d.bmp"\n' % (rid, rid))
        for rid in CHECK_MARKS:
            f.write('%d BITMAP "check%d.bmp"\n' % (rid, rid))
        for rid in TREE_ICONS:
            f.write('%d ICON "tree%d.ico"\n' % (rid, rid))
        f.write('SPLASH24 BITMAP "splash24.bmp"\nSPLASH8 BITMAP "splash8.bmp"\n')
        f.write('125 CURSOR "spiral.cur"\n')


if __name__ == "__main__":
    main()
