#!/usr/bin/python3
"""The host against a real PACS (Orthanc on loopback), as a user drives it:

- query, then retrieve the chest CT by DIMSE through a slow link, with a 3D
  window opened once the first quarter has arrived: screenshots at about a
  quarter, a half and all show the volume filling in;
- the same series again by DICOMweb;
- a capture made in the 3D window is sent to the PACS as it is made and found
  by a fresh query;
- a dead server, wrong credentials, a refused association and a server that
  stalls mid-retrieval each put a message in the window, and the host stays
  usable.

usage: pacs_run.py QUARVIA PLUGIN_DIR PHANTOM_TOOL CORPUS WORKDIR
Exit 77 (skipped) when Orthanc cannot start.
"""
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
QUARVIA, PLUGINS, PHANTOM, CORPUS, WORK = sys.argv[1:6]
sys.path.insert(0, os.path.join(HERE, '..', 'host'))
import png_diff  # noqa: E402

failures = []
children = []


def check(ok, text):
    print(('ok: ' if ok else 'FAILED: ') + text, flush=True)
    if not ok:
        failures.append(text)


def run_host(name, lines, profile, size='1200x600', grid='2x1'):
    script = os.path.join(WORK, name + '.script')
    with open(script, 'w') as f:
        f.write('\n'.join(lines) + '\n')
    result = subprocess.run([QUARVIA, '--offscreen', '--grid', grid, '--window-size', size, '--plugins', PLUGINS,
                             '--profile', profile, '--output', os.path.join(WORK, 'captures'), '--script', script],
                            capture_output=True, text=True, timeout=600)
    if result.returncode != 0:
        raise SystemExit(f'host script {name} failed ({result.returncode}): {result.stderr[-3000:]}')
    return result.stdout.splitlines()


def proxy(listen, target, rate, stall=None):
    args = ['/usr/bin/python3', os.path.join(HERE, 'slow_proxy.py'), str(listen), str(target), str(rate)]
    if stall is not None:
        args += ['--stall-after', str(stall)]
    p = subprocess.Popen(args, stdout=subprocess.PIPE, text=True)
    children.append(p)
    p.stdout.readline()  # "ready"
    return listen


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def lit_pixels(png, x0, x1):
    """Pixels of the 3D cell's picture that are not the dark background."""
    width, height, bpp, rows = png_diff.pixels(png)
    count = 0
    for y in range(60, height - 60):
        row = rows[y]
        for x in range(max(0, x0), min(width, x1)):
            r, g, b = row[x * bpp:x * bpp + 3]
            count += 1 if r + g + b > 120 else 0
    return count


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    series = f'{CORPUS}/ct-chest-5mm'
    if not os.path.isdir(series):
        series = f'{WORK}/phantom'
        subprocess.run([PHANTOM, '--out', series, '--size', '256x256x64'], check=True, capture_output=True)
    start = subprocess.run(['/usr/bin/python3', os.path.join(HERE, 'orthanc_server.py'), 'start', f'{WORK}/orthanc', series],
                           capture_output=True, text=True)
    if start.returncode != 0:
        print(start.stdout + start.stderr)
        return 77
    m = re.search(r'http (\d+) dimse (\d+)', start.stdout)
    http, dimse = int(m.group(1)), int(m.group(2))
    images = int(re.search(r'files (\d+)', start.stdout).group(1))
    with open(f'{WORK}/credentials', 'w') as f:
        f.write('reader:secret-pw\n')
    with open(f'{WORK}/wrong-credentials', 'w') as f:
        f.write('reader:not-the-password\n')
    size = sum(os.path.getsize(os.path.join(series, n)) for n in os.listdir(series))
    rate = size / 12  # the whole series in about twelve seconds
    slow_web, slow_dimse = proxy(free_port(), http, rate), proxy(free_port(), dimse, rate)
    stall_web = proxy(free_port(), http, 0, stall=size // 3)
    cred, wrong = f'{WORK}/credentials', f'{WORK}/wrong-credentials'
    servers = [
        f'name=TEST|web=http://127.0.0.1:{http}/dicom-web|ae=TESTPACS|host=127.0.0.1|port={dimse}|credentials={cred}',
        f'name=SLOW|web=http://127.0.0.1:{slow_web}/dicom-web|ae=TESTPACS|host=127.0.0.1|port={slow_dimse}|credentials={cred}',
        f'name=STALL|web=http://127.0.0.1:{stall_web}/dicom-web|credentials={cred}',
        f'name=DEAD|web=http://127.0.0.1:1/dicom-web|ae=TESTPACS|host=127.0.0.1|port=1',
        f'name=WRONGPW|web=http://127.0.0.1:{http}/dicom-web|credentials={wrong}',
        f'name=WRONGAE|ae=NOTTHEPACS|host=127.0.0.1|port={dimse}',
    ]
    profile = f'{WORK}/profile.ini'
    with open(profile, 'w') as f:
        f.write('[Quarvia%20%5B0%5D%20PACS]\n')
        for i, s in enumerate(servers):
            f.write(f'Server{i + 1}={s}\n')
        f.write('SendCapturesTo=TEST\n')

    quarter, half = images // 4, images // 2
    out = run_host('dimse', [
        'pacs-query SLOW dimse modality=CT', 'pacs-retrieve SLOW dimse 0 modality=CT', f'pacs-wait arrived {quarter} 60000',
        'series 0 0', 'cell 1', r'menu &Postprocessing\Vexel 3D\&Create', 'browser-drag 0 1', 'wait-idle 5000',
        f'screenshot {WORK}/quarter.png', 'pacs-status', f'pacs-wait arrived {half} 60000', 'wait 1500',
        f'screenshot {WORK}/half.png', 'pacs-wait done 120000', 'wait-idle 10000', f'screenshot {WORK}/all.png',
        'pacs-status', 'command 1 32807', 'mouse 1 double 300 250 left', 'wait-idle 5000', 'wait 3000',
        'pacs-query TEST dimse', 'messages'], profile)
    statuses = [l for l in out if l.startswith('pacs-retrieval 0:')]
    check(len(statuses) == 2 and re.search(r': (\d+)/%d running' % images, statuses[0]) is not None and
          int(re.search(r': (\d+)/', statuses[0]).group(1)) < images,
          f'the 3D window opened while the retrieval ran: {statuses[:1]}')
    check(len(statuses) == 2 and f'{images}/{images} ended ok' in statuses[1], f'all {images} images arrived by DIMSE: {statuses[1:]}')
    lit = [lit_pixels(f'{WORK}/{n}.png', 600, 1160) for n in ('quarter', 'half', 'all')]
    check(0 < lit[0] < lit[1] < lit[2] or (0 < lit[0] < lit[2] and lit[1] <= lit[2]),
          f'the 3D picture fills in as images arrive (lit pixels {lit[0]}, {lit[1]}, {lit[2]})')
    study = [l for l in out if l.startswith('pacs-study 0:')]
    series_found = [l for l in out if l.startswith('pacs-series 0.')]
    check(len(series_found) >= 2, f'the capture sent to the PACS is found by a fresh query: {series_found}')
    check(any(l.startswith('message: Sent ') for l in out), 'the window says the capture was sent')

    out = run_host('web', ['pacs-query SLOW web modality=CT', 'pacs-retrieve SLOW web 0 modality=CT', 'pacs-wait done 120000',
                           'pacs-status', 'series 0 0', 'panel 0'], profile)
    check(any(f'{images}/{images} ended ok' in l for l in out), f'all {images} images arrived by DICOMweb: '
                                                              f'{[l for l in out if l.startswith("pacs-")]}')

    begun = time.time()
    out = run_host('faults', [
        'pacs-query DEAD dimse', 'pacs-query DEAD web', 'pacs-query WRONGPW web', 'pacs-query WRONGAE dimse',
        'pacs-query STALL web modality=CT', 'pacs-retrieve STALL web 0 modality=CT', 'pacs-wait done 120000', 'pacs-status',
        'series 0 0', 'panel 0', 'messages'], profile)
    messages = [l for l in out if l.startswith('message: ')]
    for words, what in (('cannot be reached', 'a dead server'), ('did not accept the user name', 'wrong credentials'),
                        ('refused the request', 'a refused association'), ('stopped sending', 'a stalled retrieval')):
        check(any(words in l for l in messages), f'{what} is told in the window ("{words}")')
    check(any(l.startswith('panel 0: image') for l in out), 'after them the host still shows what arrived')
    print(f'faults took {time.time() - begun:.1f} s')
    return 1 if failures else 0


if __name__ == '__main__':
    try:
        code = main()
    finally:
        for c in children:
            c.kill()
        subprocess.run(['/usr/bin/python3', os.path.join(HERE, 'orthanc_server.py'), 'stop', f'{WORK}/orthanc'])
    sys.exit(code)
