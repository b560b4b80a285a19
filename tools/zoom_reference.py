#!/usr/bin/env python3
"""Reference views for long chains of zooms, box zooms and moves, from
Python's decimal module.

Writes tests/data/document/zoom_chain.txt: comment lines (#), then per chain
one line "args ..." with the spxpar view arguments and three lines
"V0 RE IM", "V1 RE IM", "V2 RE IM" with the displayed top-left, top-right
and bottom-right corners the chain must end on, to 120 significant digits.

The view arithmetic written out plainly (an unrotated, unstretched view of
W x H pixels; rows counted from the top, PixelToPoint rows from the bottom):
- zoom at (col, row) by f: f < 1 zooms about (W // 2, H // 2); the point
  under the pixel P = V0 + (V1 - V0) col / W + (V2 - V1) row / H; with
  g = 0.5 / f the new corners are P -+ (V1 - V0) g -+ (V2 - V1) g.
- box (x1, y1, x2, y2) in: x1 < x2 and ya > yb the box's top and bottom rows
  counted from the bottom; the new corners are the points of the pixels
  (x1, ya), (x2, ya), (x2, yb).
- box out: the old view becomes that box of the new one: x1 columns to its
  left, W - x2 to its right, H - 1 - ya above and yb + 1 below, the box
  x2 - x1 columns and ya - yb rows large.
- move by (dx, dy): every corner moves by -(V1 - V0) dx / W - (V2 - V1) dy / H.
Values that the program works out in doubles (the factor, the box
fractions) enter with 15 significant digits, as the program's conversion
("%.14E") gives them. Everything else is computed to 1000 digits.

Usage: zoom_reference.py [OUTPUT]
"""
import os
import random
import sys
from decimal import Decimal, getcontext

getcontext().prec = 1000
W, H = 640, 480


def d15(x):
    return Decimal('%.14E' % x)


def corners(v):
    tlr, tli, brr, bri = v
    return [(tlr, tli), (brr, tli), (brr, bri)]


def store(c):
    return (c[0][0], c[0][1], c[2][0], c[2][1])


def pixel_to_point(v, px, py):
    c = corners(v)
    ax, ay = c[1][0] - c[0][0], c[1][1] - c[0][1]
    dx, dy = c[2][0] - c[1][0], c[2][1] - c[1][1]
    down = d15((H - 1) - py)
    across = d15(px)
    return (c[0][0] + ax / W * across + dx / H * down, c[0][1] + ay / W * across + dy / H * down)


def zoom(v, col, row, f):
    if f < 1:
        col, row = W // 2, H // 2
    c = corners(v)
    ax, ay = c[1][0] - c[0][0], c[1][1] - c[0][1]
    dx, dy = c[2][0] - c[1][0], c[2][1] - c[1][1]
    px = c[0][0] + ax * col / W + dx * row / H
    py = c[0][1] + ay * col / W + dy * row / H
    g = Decimal('0.5') / d15(f)
    hx, hy, vx, vy = ax * g, ay * g, dx * g, dy * g
    return store([(px - hx - vx, py - hy - vy), (px - vx + hx, py - vy + hy), (px + hx + vx, py + hy + vy)])


def box(v, b, zoom_in):
    x1, x2 = min(b[0], b[2]), max(b[0], b[2])
    ya, yb = (H - 1) - min(b[1], b[3]), (H - 1) - max(b[1], b[3])
    if zoom_in:
        return store([pixel_to_point(v, x1, ya), pixel_to_point(v, x2, ya), pixel_to_point(v, x2, yb)])
    c = corners(v)
    ax, ay = c[1][0] - c[0][0], c[1][1] - c[0][1]
    dx, dy = c[2][0] - c[1][0], c[2][1] - c[1][1]
    bw, bh = float(x2 - x1), float(ya - yb)
    left, right = d15(x1 / bw), d15((W - x2) / bw)
    above, below = d15((H - 1 - ya) / bh), d15((yb + 1) / bh)
    return store([(c[0][0] - ax * left - dx * above, c[0][1] - ay * left - dy * above),
                  (c[1][0] - dx * above + ax * right, c[1][1] - dy * above + ay * right),
                  (c[2][0] + ax * right + dx * below, c[2][1] + ay * right + dy * below)])


def move(v, mx, my):
    c = corners(v)
    ax, ay = c[1][0] - c[0][0], c[1][1] - c[0][1]
    dx, dy = c[2][0] - c[1][0], c[2][1] - c[1][1]
    sx = -(ax / W) * mx - (dx / H) * my
    sy = -(ay / W) * mx - (dy / H) * my
    return store([(p[0] + sx, p[1] + sy) for p in c])


def chain(rng, length):
    v = (Decimal('-2.5'), Decimal('1.5'), Decimal('1.5'), Decimal('-1.5'))
    args = ['--size', '%dx%d' % (W, H), '--corners', '-2.5,1.5,1.5,-1.5']
    for _ in range(length):
        kind = rng.choice(['zoom', 'click', 'box', 'box-out', 'move'])
        if kind in ('zoom', 'click'):
            col, row = rng.randrange(W + 1), rng.randrange(H + 1)
            f = rng.choice([3.0, 1.2, 7.5, 10.0, 0.8333333333333334, 0.5, 1.0])
            v = zoom(v, col, row, f)
            args += ['--' + kind, '%d,%d,%r' % (col, row, f)]
        elif kind in ('box', 'box-out'):
            x1, x2 = sorted(rng.sample(range(W + 1), 2))
            y1, y2 = sorted(rng.sample(range(H + 1), 2))
            if rng.random() < 0.5:
                x1, x2 = x2, x1
            v = box(v, (x1, y1, x2, y2), kind == 'box')
            args += ['--' + kind, '%d,%d,%d,%d' % (x1, y1, x2, y2)]
        else:
            mx, my = rng.randrange(-W + 11, W - 10), rng.randrange(-H + 11, H - 10)
            v = move(v, mx, my)
            args += ['--move', '%d,%d' % (mx, my)]
    return args, corners(v)


def text(x):
    return '{:.120E}'.format(x)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'tests', 'data', 'document',
                                                             'zoom_chain.txt')
    rng = random.Random(14)
    lines = ['# Written by tools/zoom_reference.py: spxpar view arguments and the',
             '# displayed corners the chain ends on.']
    for length in (12, 30):
        args, c = chain(rng, length)
        lines.append('args ' + ' '.join(args))
        for i, (re, im) in enumerate(c):
            lines.append('V%d %s %s' % (i, text(re), text(im)))
    with open(out, 'w', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')


if __name__ == '__main__':
    main()
