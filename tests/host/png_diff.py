#!/usr/bin/env python3
"""Compares the pixels of two 8-bit PNG files (standard library only).
Prints the number of differing pixels and their bounding box; exit 1 when
more than MAX_FRACTION (third argument, default 0) of the pixels differ or
the sizes do not match."""
import struct
import sys
import zlib


def pixels(path):
    data = open(path, 'rb').read()
    pos, idat = 8, b''
    while pos < len(data):
        length = struct.unpack('>I', data[pos:pos + 4])[0]
        kind, chunk = data[pos + 4:pos + 8], data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b'IHDR':
            width, height, depth, colour = struct.unpack('>IIBB', chunk[:10])
        elif kind == b'IDAT':
            idat += chunk
    if depth != 8:
        raise SystemExit(f'{path}: bit depth {depth} not handled')
    bpp = {0: 1, 2: 3, 4: 2, 6: 4}[colour]
    raw, stride = zlib.decompress(idat), width * bpp
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if f == 1: line[i] = (line[i] + a) & 255
            elif f == 2: line[i] = (line[i] + b) & 255
            elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, bpp, rows


def main():
    w1, h1, b1, r1 = pixels(sys.argv[1])
    w2, h2, b2, r2 = pixels(sys.argv[2])
    if (w1, h1, b1) != (w2, h2, b2):
        print(f'sizes differ: {w1}x{h1}x{b1} and {w2}x{h2}x{b2}')
        return 1
    diff = [(x, y) for y in range(h1) for x in range(w1) if r1[y][x * b1:(x + 1) * b1] != r2[y][x * b1:(x + 1) * b1]]
    allowed = float(sys.argv[3]) if len(sys.argv) > 3 else 0.0
    if diff:
        xs, ys = [p[0] for p in diff], [p[1] for p in diff]
        print(f'{len(diff)} of {w1 * h1} pixels differ within x {min(xs)}..{max(xs)}, y {min(ys)}..{max(ys)}')
    return 1 if len(diff) > allowed * w1 * h1 else 0


if __name__ == '__main__':
    sys.exit(main())
