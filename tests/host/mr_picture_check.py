#!/usr/bin/python3
"""Checks a 3D window's screenshot of a head MR: the surface must show the
head, not the whole box of the volume. The box is found by its wireframe
(the window's green edges); inside it, a box drawn whole lights every pixel,
a head leaves the air around it dark.

usage: mr_picture_check.py SHOT.png MAX_LIT_FRACTION
Exits 0 when the lit share of the box lies between 0.3 and MAX_LIT_FRACTION."""
import sys

sys.path.insert(0, __import__('os').path.dirname(__file__))
import png_diff  # noqa: E402


def main():
    width, height, bpp, rows = png_diff.pixels(sys.argv[1])
    most = float(sys.argv[2])
    xs, ys = [], []
    for y in range(height):
        row = rows[y]
        for x in range(width):
            r, g, b = row[x * bpp], row[x * bpp + 1], row[x * bpp + 2]
            if r < 20 and g > 70 and abs(g - 2 * b) < 20:
                xs.append(x)
                ys.append(y)
    if len(xs) < 100:
        print('no wireframe box in the picture')
        return 1
    xs.sort()
    ys.sort()
    # The edges' own extent; a few stray green pixels elsewhere do not count.
    x0, x1 = xs[len(xs) // 50], xs[-1 - len(xs) // 50]
    y0, y1 = ys[len(ys) // 50], ys[-1 - len(ys) // 50]
    lit = total = 0
    for y in range(y0 + 3, y1 - 2):
        row = rows[y]
        for x in range(x0 + 3, x1 - 2):
            total += 1
            lit += sum(row[x * bpp:x * bpp + 3]) >= 30
    share = lit / max(total, 1)
    print(f'box {x0}..{x1} x {y0}..{y1}: {share:.3f} of it lit')
    return 0 if 0.3 <= share <= most else 1


if __name__ == '__main__':
    sys.exit(main())
