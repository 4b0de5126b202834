#!/usr/bin/env python3
"""Checks the pictures of segment_run.cmake: the table's grey head rest is
gone after the removal, and nothing shows right of the kept outline."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from png_diff import pixels  # noqa: E402


def count(image, box, test):
    _, _, bpp, rows = image
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if test(rows[y][x * bpp:x * bpp + 3]))


def grey(p):
    r, g, b = p[0], p[1], p[2]
    return r > 100 and abs(r - g) < 12 and abs(g - b) < 12


def surface(p):
    return p[0] > 90  # skin-coloured or lit: red is high; background and box lines are not


folder = sys.argv[1]
before = pixels(os.path.join(folder, 'posterior.png'))
after = pixels(os.path.join(folder, 'table-removed-plain.png'))
kept = pixels(os.path.join(folder, 'left-kept.png'))
rest = (510, 135, 670, 330)
g0, g1 = count(before, rest, grey), count(after, rest, grey)
right = count(kept, (440, 135, 760, 560), surface)
left = count(kept, (160, 150, 400, 550), surface)
print(f'head rest grey pixels {g0} -> {g1}; kept outline: left {left}, right {right}')
ok = g0 > 2000 and g1 < g0 // 10 and left > 20000 and right == 0
sys.exit(0 if ok else 1)
