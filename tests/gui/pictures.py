#!/usr/bin/env python3
# Picture checks of the GUI tests on binary PPM captures of a fractal
# window. zoom and shift print the share (0..1) of the compared pixels that
# agree:
#   zoom BEFORE AFTER CX CY   AFTER is BEFORE magnified 2x about (CX, CY),
#                             which became the centre: pixel (x, y) of AFTER
#                             against pixel (CX + (x - W/2) / 2,
#                             CY + (y - H/2) / 2) of BEFORE. Only the inside
#                             of the set (black) is compared: the colouring
#                             of the outside follows the new view, the set
#                             does not (a view 4 pixels off scores 0.93, a
#                             zoom about the centre 0.55)
#   shift BEFORE AFTER DX DY  AFTER is BEFORE moved DX right and DY down:
#                             exact equality where both show the picture.
#                             The outside's colouring also follows the view
#                             a little, so the share is below 1 (0.86 here,
#                             0.76 a pixel off); exit code 3 when a shift up
#                             to 2 pixels away matches better
# Exit code 0 otherwise; the smoke test sets the share it needs.
#   facts CAPTURE R G B [REFERENCE TOLERANCE]
#                             prints "corner R G B drawn D colours N" and,
#                             with a reference, " alike A": the top left
#                             pixel, the share of pixels that are not the
#                             background colour R G B (each channel within
#                             55 of it), the number of distinct colours, and
#                             the share of pixels within TOLERANCE per
#                             channel of REFERENCE (24-bit bottom-up BGR rows
#                             of the same size, as spxcalc --dump-bgr writes)
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    parts = data.split(maxsplit=4)
    assert parts[0] == b"P6", path
    width, height = int(parts[1]), int(parts[2])
    pixels = parts[4][: width * height * 3]
    return width, height, lambda x, y: pixels[(y * width + x) * 3 : (y * width + x) * 3 + 3]


def inside(pixel):
    return pixel == b"\0\0\0"


def zoom(before, after, cx, cy):
    w, h, old = read_ppm(before)
    _, _, new = read_ppm(after)
    alike = total = 0
    for y in range(h):
        for x in range(w):
            sx, sy = cx + (x - w // 2) // 2, cy + (y - h // 2) // 2
            if 0 <= sx < w and 0 <= sy < h:
                total += 1
                alike += inside(new(x, y)) == inside(old(sx, sy))
    return alike / max(total, 1)


def shift(before, after, dx, dy):
    w, h, old = read_ppm(before)
    _, _, new = read_ppm(after)
    alike = total = 0
    for y in range(max(0, dy), min(h, h + dy)):
        for x in range(max(0, dx), min(w, w + dx)):
            total += 1
            alike += new(x, y) == old(x - dx, y - dy)
    return alike / max(total, 1)


def facts(capture, background, reference=None, tolerance=0):
    w, h, pixel = read_ppm(capture)
    px = [tuple(pixel(x, y)) for y in range(h) for x in range(w)]
    drawn = sum(1 for p in px if any(abs(c - b) > 55 for c, b in zip(p, background))) / len(px)
    line = "corner %d %d %d drawn %.3f colours %d" % (px[0] + (drawn, len(set(px))))
    if reference:
        bgr = open(reference, "rb").read()
        alike = 0
        for y in range(h):
            for x in range(w):
                at = ((h - 1 - y) * w + x) * 3
                b, g, r = bgr[at : at + 3]
                p = px[y * w + x]
                alike += abs(p[0] - r) <= tolerance and abs(p[1] - g) <= tolerance and abs(p[2] - b) <= tolerance
        line += " alike %.3f" % (alike / (w * h))
    return line


if __name__ == "__main__":
    if sys.argv[1] == "facts":
        args = sys.argv[2:]
        background = tuple(int(c) for c in args[1:4])
        if len(args) > 4:
            print(facts(args[0], background, args[4], int(args[5])))
        else:
            print(facts(args[0], background))
        sys.exit(0)
    check, a, b, u, v = sys.argv[1:6]
    u, v = int(u), int(v)
    share = {"zoom": zoom, "shift": shift}[check](a, b, u, v)
    print("%.4f" % share)
    if check == "shift":
        for du in range(-2, 3):
            for dv in range(-2, 3):
                if (du or dv) and shift(a, b, u + du, v + dv) > share:
                    sys.exit(3)
