#!/usr/bin/python3
"""The host's reading tools as a user drives them, checked against the DICOM
geometry and pixels computed here, independently of the host:

- a left press on the chest CT's 3D surface pages a 2D cell to the image that
  holds the point, with the cursor drawn within one pixel of it;
- axial, coronal and sagittal reformats of the chest CT and the two head
  phantom series give the values of the acquired slices (trilinear), and
  their edge letters name the patient directions the pictures run along;
- region statistics equal a plain computation over the same pixels, and
  come back with a saved layout;
- a distance measured across the built phantom's head equals its size.

usage: reading_run.py QUARVIA PLUGIN_DIR PHANTOM_TOOL CORPUS WORKDIR PNG_DIFF_DIR
"""
import math
import os
import re
import shutil
import subprocess
import sys

import numpy as np
import pydicom

QUARVIA, PLUGINS, PHANTOM, CORPUS, WORK, PNG_DIR = sys.argv[1:7]
sys.path.insert(0, PNG_DIR)
import png_diff  # noqa: E402

failures = []


def check(ok, text):
    print(('ok: ' if ok else 'FAILED: ') + text)
    if not ok:
        failures.append(text)


def run_host(name, lines, grid='1x1', size='800x700'):
    script = os.path.join(WORK, name + '.script')
    with open(script, 'w') as f:
        f.write('\n'.join(lines) + '\n')
    result = subprocess.run([QUARVIA, '--offscreen', '--no-docks', '--grid', grid, '--window-size', size,
                             '--plugins', PLUGINS, '--profile', os.path.join(WORK, name + '.ini'),
                             '--script', script], capture_output=True, text=True, timeout=300)
    if result.returncode != 0:
        raise SystemExit(f'host script {name} failed ({result.returncode}): {result.stderr[-2000:]}')
    return result.stdout.splitlines()


class Series:
    """A folder's slices in order along the normal, in real units."""

    def __init__(self, folder):
        files = [pydicom.dcmread(os.path.join(folder, n)) for n in sorted(os.listdir(folder)) if n.endswith('.dcm')]
        row = np.array([float(v) for v in files[0].ImageOrientationPatient[:3]])
        col = np.array([float(v) for v in files[0].ImageOrientationPatient[3:]])
        self.normal = np.cross(row, col)
        files.sort(key=lambda d: float(np.dot([float(v) for v in d.ImagePositionPatient], self.normal)))
        self.files, self.row, self.col = files, row, col
        self.dy, self.dx = (float(v) for v in files[0].PixelSpacing)  # rows, columns
        self.ipp = np.array([[float(v) for v in d.ImagePositionPatient] for d in files])
        self.values = np.stack([d.pixel_array.astype(np.float64) * float(getattr(d, 'RescaleSlope', 1)) +
                                float(getattr(d, 'RescaleIntercept', 0)) for d in files])
        step = (self.ipp[-1] - self.ipp[0]) / (len(files) - 1)
        self.to_index = np.linalg.inv(np.column_stack([row * self.dx, col * self.dy, step]))

    def trilinear(self, p):
        x, y, z = self.to_index @ (np.asarray(p) - self.ipp[0])
        n = self.values.shape
        if not (-0.5 <= x <= n[2] - 0.5 and -0.5 <= y <= n[1] - 0.5 and -0.5 <= z <= n[0] - 0.5):
            return None
        x, y, z = min(max(x, 0), n[2] - 1), min(max(y, 0), n[1] - 1), min(max(z, 0), n[0] - 1)
        x0, y0, z0 = min(int(x), n[2] - 1), min(int(y), n[1] - 1), min(int(z), n[0] - 1)
        x1, y1, z1 = min(x0 + 1, n[2] - 1), min(y0 + 1, n[1] - 1), min(z0 + 1, n[0] - 1)
        fx, fy, fz = x - x0, y - y0, z - z0
        v = self.values
        c00 = v[z0, y0, x0] * (1 - fx) + v[z0, y0, x1] * fx
        c10 = v[z0, y1, x0] * (1 - fx) + v[z0, y1, x1] * fx
        c01 = v[z1, y0, x0] * (1 - fx) + v[z1, y0, x1] * fx
        c11 = v[z1, y1, x0] * (1 - fx) + v[z1, y1, x1] * fx
        return (c00 * (1 - fy) + c10 * fy) * (1 - fz) + (c01 * (1 - fy) + c11 * fy) * fz

    def pixel_of(self, k, p):
        d = np.asarray(p) - self.ipp[k]
        return float(np.dot(d, self.row) / self.dx), float(np.dot(d, self.col) / self.dy)


READOUT = re.compile(r'readout \d+: .* \| exact (\S+) at (\S+) (\S+) (\S+)$')


def readouts(lines, keep_none=False):
    # (value, patient point) of each readout line; (None, None) off the picture when kept.
    out = []
    for line in lines:
        if not line.startswith('readout '):
            continue
        m = READOUT.match(line)
        if m:
            out.append((float(m.group(1)), np.array([float(m.group(i)) for i in (2, 3, 4)])))
        elif keep_none:
            out.append((None, None))
    return out


def letters_of(d):
    parts = sorted(((abs(d[i]), 'LPS'[i] if d[i] > 0 else 'RAI'[i]) for i in range(3) if abs(d[i]) >= 0.3),
                   reverse=True)
    return ''.join(c for _, c in parts)


def cursor_on_chest(chest):
    lines = run_host('cursor', [
        f'open {CORPUS}/ct-chest-5mm', 'series 0 0', 'cell 1', r'menu &Postprocessing\Vexel 3D\&Create',
        'browser-drag 0 1', 'wait-idle 30000', 'mouse 1 press 270 250 left', 'cursor', 'cursor-in 0',
        f'screenshot-cell 0 {WORK}/cursor.png', 'mouse 1 release 270 250 left', 'cursor', 'cursor-in 0'],
        grid='2x1', size='1200x700')
    cursor = [l for l in lines if l.startswith('cursor ')]
    shown = [l for l in lines if l.startswith('cursor-in 0:')]
    check(len(cursor) == 2 and cursor[0] != 'cursor hidden', f'the press on the 3D surface places the cursor: {cursor}')
    check(len(cursor) == 2 and cursor[1] == 'cursor hidden', 'the release hides it')
    check(len(shown) == 2 and shown[1].endswith('none'), 'the 2D cell draws no cursor after the release')
    if failures:
        return
    p = np.array([float(v) for v in cursor[0].split()[1:4]])
    m = re.search(r'image (\d+)/(\d+) sop (\S+) pixel (\S+) (\S+) screen (\S+) (\S+)', shown[0])
    check(m is not None, f'the 2D cell draws the cursor: {shown[0]}')
    if not m:
        return
    distances = [abs(np.dot(p - chest.ipp[k], chest.normal)) for k in range(len(chest.files))]
    k = int(np.argmin(distances))
    check(m.group(3) == chest.files[k].SOPInstanceUID,
          f'the cell pages to the image holding the point (slice {k + 1}, {distances[k]:.2f} mm off; '
          f'host shows image {m.group(1)})')
    c, r = chest.pixel_of(k, p)
    off = math.hypot(float(m.group(4)) - c, float(m.group(5)) - r)
    check(off <= 1.0, f'the cursor is drawn at pixel ({m.group(4)}, {m.group(5)}); the point is at ({c:.2f}, {r:.2f})')
    # The mark on screen: magenta arms around an open centre.
    width, height, bpp, rows = png_diff.pixels(f'{WORK}/cursor.png')
    x, y = float(m.group(6)), float(m.group(7))

    def magenta(px, py):
        if not (0 <= px < width and 0 <= py < height):
            return False
        r_, g_, b_ = rows[py][px * bpp:px * bpp + 3]
        return r_ > 180 and g_ < 130 and b_ > 140
    # The cell's frame puts the panel a few pixels in.
    arms = [any(magenta(int(x) + dx + ox, int(y) + oy) for ox in range(0, 6) for oy in range(0, 6))
            for dx in (-10, 10)]
    check(all(arms), f'the screenshot shows the cursor mark at ({x:.0f}, {y:.0f})')


def reformats_agree(name):
    folder = f'{CORPUS}/{name}'
    series = Series(folder)
    grid = [(x, y) for x in range(60, 760, 58) for y in range(60, 660, 50)]
    lines = [f'open {folder}', 'series 0 0']
    for plane in ('axial', 'coronal', 'sagittal'):
        lines += [f'plane 0 {plane}', 'panel-texts 0'] + [f'readout 0 {x} {y}' for x, y in grid]
        lines += ['readout 0 380 350', 'readout 0 420 350', 'readout 0 400 330', 'readout 0 400 370']
    out = run_host('reformat-' + name, lines)
    edges = [l for l in out if l.startswith('texts edges:')]
    check(len(edges) == 3, f'{name}: three planes shown')
    # Readouts split by plane: the host prints them in order.
    blocks = []
    text_index = [n for n, l in enumerate(out) if l.startswith('texts edges:')] + [len(out)]
    for b in range(3):
        blocks.append(readouts(out[text_index[b]:text_index[b + 1]], keep_none=True))
    for plane, edge, block in zip(('axial', 'coronal', 'sagittal'), edges, blocks):
        compared, worst = 0, 0.0
        for value, p in block[:-4]:
            ref = series.trilinear(p) if value is not None else None
            if ref is None:
                continue
            compared += 1
            worst = max(worst, abs(value - ref) - 1e-4 * abs(ref))
        check(compared >= 40 and worst <= 0.06,
              f'{name} {plane}: {compared} readouts equal the slices trilinearly (worst {worst:.3f})')
        e = dict(zip(edge.split()[2::2], edge.split()[3::2]))
        if len(block) >= 4 and all(p is not None for _, p in block[-4:]):
            across = block[-3][1] - block[-4][1]
            down = block[-1][1] - block[-2][1]
            check(letters_of(across)[:1] == e.get('right', '?')[:1] and letters_of(down)[:1] == e.get('bottom', '?')[:1],
                  f'{name} {plane}: right is {e.get("right")} (the picture runs {letters_of(across)}), '
                  f'bottom is {e.get("bottom")} (runs {letters_of(down)})')


def region_statistics(chest):
    draw = ['tool ellipse', 'mouse 0 press 300 300 left', 'mouse 0 move 340 330 left', 'mouse 0 move 380 350 left',
            'mouse 0 release 380 350 left', 'tool freehand', 'mouse 0 press 420 420 left']
    for x, y in [(470, 410), (500, 450), (480, 500), (430, 490), (440, 460)]:
        draw.append(f'mouse 0 move {x} {y} left')
    draw += ['mouse 0 release 440 460 left', 'tool distance', 'mouse 0 press 200 200 left',
             'mouse 0 move 500 260 left', 'mouse 0 release 500 260 left']
    first = run_host('regions', [f'open {CORPUS}/ct-chest-5mm', 'series 0 0'] + draw +
                     ['measurements', f'save-layout {WORK}/regions.layout'])
    again = run_host('regions-again', [f'open {CORPUS}/ct-chest-5mm', f'load-layout {WORK}/regions.layout',
                                       'measurements'])
    measured = [l for l in first if l.startswith('measurement ')]
    check(len(measured) == 3, f'three measurements listed: {measured}')
    check(measured == [l for l in again if l.startswith('measurement ')], 'they come back with the layout')
    for line in measured:
        f = line.split()
        kind, fields = f[2], dict(zip(f[3::2], f[4::2]))
        points = [np.array([float(v) for v in p.split(',')]) for p in fields['points'].split(';')]
        k = int(np.argmin([abs(np.dot(points[0] - chest.ipp[k], chest.normal)) for k in range(len(chest.files))]))
        pix = [chest.pixel_of(k, p) for p in points]
        if kind == 'distance':
            mm = float(np.linalg.norm(points[1] - points[0]))
            check(abs(float(fields['value']) - mm) < 1e-3, f'distance {fields["value"]} mm is {mm:.4f} mm')
            continue
        rr, cc = np.mgrid[0:chest.values.shape[1], 0:chest.values.shape[2]]
        if kind == 'ellipse':
            (c0, r0), (c1, r1) = pix
            cx, cy, rx, ry = (c0 + c1) / 2, (r0 + r1) / 2, abs(c1 - c0) / 2, abs(r1 - r0) / 2
            inside = ((cc - cx) / rx) ** 2 + ((rr - cy) / ry) ** 2 <= 1
        else:
            inside = np.zeros(cc.shape, bool)
            for (xa, ya), (xb, yb) in zip(pix, pix[1:] + pix[:1]):
                crosses = ((ya > rr) != (yb > rr)) & (cc < (xb - xa) * (rr - ya) / ((yb - ya) or 1e-300) + xa)
                inside ^= crosses
        v = chest.values[k][inside]
        got = {n: float(fields[n]) for n in ('mean', 'sd', 'min', 'max')}
        check(abs(int(fields['pixels']) - v.size) <= 2 and abs(got['mean'] - v.mean()) < 0.5 + 0.005 * abs(v.mean()) and
              abs(got['sd'] - v.std()) < 0.5 + 0.005 * v.std() and got['min'] >= v.min() - 1e-6 and
              got['max'] <= v.max() + 1e-6,
              f'{kind}: {fields["pixels"]} pixels mean {got["mean"]:.2f} sd {got["sd"]:.2f} min {got["min"]:.0f} '
              f'max {got["max"]:.0f}; plainly {v.size} pixels mean {v.mean():.2f} sd {v.std():.2f} '
              f'min {v.min():.0f} max {v.max():.0f}')


def phantom_width():
    folder = f'{WORK}/phantom'
    shutil.rmtree(folder, ignore_errors=True)
    subprocess.run([PHANTOM, '--out', folder, '--size', '256x256x100', '--spacing', '0.9', '--step', '1.0'], check=True)
    series = Series(folder)
    # The cranium is an ellipsoid around (0, -4, 4) with radii 72, 90, 70 mm;
    # at y = -40 nothing else reaches the skin, so the head is this wide there.
    built = 2 * 72 * math.sqrt(1 - ((-40 + 4) / 90) ** 2)
    target = int(np.argmin(np.abs(series.ipp[:, 2] - 4)))
    start = run_host('phantom-start', [f'open {folder}', 'series 0 0', 'panel 0'])
    shown = int(re.search(r'image (\d+)/', [l for l in start if l.startswith('panel 0')][0]).group(1)) - 1
    page = ['key 0 Down' if target > shown else 'key 0 Up'] * abs(target - shown)
    sweep = [f'readout 0 400 {y}' for y in range(100, 600, 20)] + [f'readout 0 {x} 350' for x in range(100, 700, 20)]
    found = readouts(run_host('phantom-map', [f'open {folder}', 'series 0 0'] + page + sweep))
    ys = [(y, p[1]) for y, (v, p) in zip(range(100, 600, 20), found[:25])]
    xs = [(x, p[0]) for x, (v, p) in zip(range(100, 700, 20), found[25:])]
    ay = np.polyfit([p for _, p in ys], [s for s, _ in ys], 1)  # patient y -> screen y
    ax = np.polyfit([p for _, p in xs], [s for s, _ in xs], 1)  # patient x -> screen x
    row = int(round(np.polyval(ay, -40.0)))
    profile = readouts(run_host('phantom-row', [f'open {folder}', 'series 0 0'] + page +
                                [f'readout 0 {x} {row}' for x in range(40, 760)]))
    xs_mm = np.array([p[0] for _, p in profile])
    vals = np.array([v for v, _ in profile])
    above = np.nonzero(vals > -475)[0]
    edges = []
    for i, j in ((above[0] - 1, above[0]), (above[-1], above[-1] + 1)):
        t = (-475 - vals[i]) / (vals[j] - vals[i])
        edges.append(xs_mm[i] + t * (xs_mm[j] - xs_mm[i]))
    screen = [int(round(np.polyval(ax, e))) for e in edges]
    out = run_host('phantom-measure', [f'open {folder}', 'series 0 0'] + page + [
        'tool distance', f'mouse 0 press {screen[0]} {row} left', f'mouse 0 move {screen[1]} {row} left',
        f'mouse 0 release {screen[1]} {row} left', 'measurements'])
    measured = [l for l in out if l.startswith('measurement ')]
    value = float(measured[0].split()[4]) if measured else float('nan')
    check(abs(value - built) <= series.dx, f'the head measures {value:.2f} mm across, built {built:.2f} mm '
                                           f'(a voxel is {series.dx} mm)')


def main():
    os.makedirs(WORK, exist_ok=True)
    phantom_width()
    if not os.path.isdir(f'{CORPUS}/ct-chest-5mm'):
        print('corpus absent: the corpus checks skipped')
    else:
        chest = Series(f'{CORPUS}/ct-chest-5mm')
        cursor_on_chest(chest)
        region_statistics(chest)
        for name in ('ct-chest-5mm', 'ct-phantom-head-1mm', 'ct-phantom-head-tilt'):
            reformats_agree(name)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
