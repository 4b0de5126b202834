#!/usr/bin/python3
"""Retrieval from a local PACS (Orthanc on loopback): the host's retrieval by
DIMSE and by DICOMweb (each image into the study database, as the user gets
it) against DCMTK's getscu and curl fetching the same series from the same
server in the same run; and the time from the first arriving image to the
first 3D picture of the series.

usage: retrieve_bench.py BUILD_DIR [--large]   (--large adds a 512 x 512 x 1000 synthetic series)
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

BUILD = sys.argv[1]
LARGE = '--large' in sys.argv
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ORTHANC = os.path.join(ROOT, 'tests', 'pacs', 'orthanc_server.py')
CORPUS = os.path.join(ROOT, '..', 'shared', 'corpus', 'ct-chest-5mm')


def host(work, lines, profile):
    script = os.path.join(work, 'bench.script')
    with open(script, 'w') as f:
        f.write('\n'.join(lines) + '\n')
    out = subprocess.run([f'{BUILD}/host/quarvia', '--offscreen', '--grid', '2x1', '--window-size', '1200x600',
                          '--plugins', f'{BUILD}/plugins', '--profile', profile, '--script', script],
                         capture_output=True, text=True, timeout=1800)
    return out.stdout


def rate(name, images, size, seconds):
    print(f'  {name:<28} {seconds * 1000:9.0f} ms  {images / seconds:8.1f} images/s  {size / seconds / 1e6:8.1f} MB/s')


def bench(label, folder, work):
    files = [os.path.join(folder, n) for n in os.listdir(folder) if n.endswith('.dcm')]
    size = sum(os.path.getsize(f) for f in files)
    start = subprocess.run(['/usr/bin/python3', ORTHANC, 'start', f'{work}/orthanc', folder], capture_output=True, text=True)
    if start.returncode != 0:
        print(f'{label}: the local PACS did not start ({start.stdout.strip()}): skipped')
        return
    m = re.search(r'http (\d+) dimse (\d+)', start.stdout)
    http, dimse = m.group(1), m.group(2)
    try:
        with open(f'{work}/cred', 'w') as f:
            f.write('reader:secret-pw\n')
        profile = f'{work}/profile.ini'
        with open(profile, 'w') as f:
            f.write('[Quarvia%20%5B0%5D%20PACS]\n')
            f.write(f'Server1=name=LOCAL|web=http://127.0.0.1:{http}/dicom-web|ae=TESTPACS|host=127.0.0.1|port={dimse}'
                    f'|credentials={work}/cred\n')
        print(f'{label}: {len(files)} images, {size / 1e6:.1f} MB, one thread each side (2 cores)')
        def ours(protocol):
            out = host(work, [f'pacs-query LOCAL {protocol}', f'pacs-retrieve LOCAL {protocol} 0 modality=CT',
                              'pacs-wait done 1800000', 'pacs-status'], profile)
            s = re.search(r'pacs-retrieval 0: (\d+)/\d+ ended ok \(first image (\d+) ms, all (\d+) ms, (\d+) bytes\)', out)
            return (int(s.group(1)), int(s.group(4)), int(s.group(3)) / 1000) if s else None

        study = subprocess.run(['findscu', '-S', '-aec', 'TESTPACS', '-aet', 'BENCH', '127.0.0.1', dimse, '-k',
                                'QueryRetrieveLevel=STUDY', '-k', 'StudyInstanceUID'], capture_output=True, text=True)
        uid = re.search(r'\(0020,000d\) UI \[([^\]]+)\]', study.stderr + study.stdout).group(1).strip('\0 ')

        def getscu():
            out_dir = f'{work}/getscu'
            shutil.rmtree(out_dir, ignore_errors=True)
            os.makedirs(out_dir)
            begun = time.time()
            subprocess.run(['getscu', '-S', '-aec', 'TESTPACS', '-aet', 'BENCH', '127.0.0.1', dimse, '-k',
                            'QueryRetrieveLevel=STUDY', '-k', f'StudyInstanceUID={uid}', '-od', out_dir], capture_output=True)
            return len(os.listdir(out_dir)), size, time.time() - begun

        def curl():
            begun = time.time()
            subprocess.run(['curl', '-s', '-u', 'reader:secret-pw', '-o', f'{work}/curl.out', '-H',
                            'Accept: multipart/related; type="application/dicom"; transfer-syntax=*',
                            f'http://127.0.0.1:{http}/dicom-web/studies/{uid}'], check=True)
            return len(files), os.path.getsize(f'{work}/curl.out'), time.time() - begun

        # Each twice, the cheaper kept: the server's caches are warm alike for all.
        for name, run in (('ours, DIMSE (into the database)', lambda: ours('dimse')), ("DCMTK's getscu (to files)", getscu),
                          ('ours, DICOMweb (into the database)', lambda: ours('web')), ('curl, WADO-RS (one body)', curl)):
            results = [r for r in (run(), run()) if r]
            if not results:
                print(f'  {name}: failed')
                continue
            images, got, seconds = min(results, key=lambda r: r[2])
            rate(name, images, got, seconds)
        # The first arriving image to the first 3D picture: the window is open, the series dropped on it at once.
        out = host(work, ['cell 1', r'menu &Postprocessing\Vexel 3D\&Create', 'pacs-query LOCAL dimse',
                          'pacs-retrieve LOCAL dimse 0 modality=CT', 'pacs-wait arrived 1 60000', 'browser-drag 0 1',
                          'pacs-wait done 1800000'], profile)
        first = re.search(r'browser-drag 0 1: first paint after (\d+) ms', out)
        if first:
            print(f'  first image to first 3D picture: {first.group(1)} ms (the series dropped on the open 3D window)')
    finally:
        subprocess.run(['/usr/bin/python3', ORTHANC, 'stop', f'{work}/orthanc'])


def main():
    work = tempfile.mkdtemp(prefix='pacs-bench-')
    try:
        if os.path.isdir(CORPUS):
            bench('chest CT', CORPUS, f'{work}/chest')
        if LARGE:
            folder = f'{work}/synthetic'
            subprocess.run([f'{BUILD}/tools/phantom/phantom', '--out', folder, '--size', '512x512x1000'],
                           check=True, capture_output=True)
            bench('synthetic 512 x 512 x 1000', folder, f'{work}/large')
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == '__main__':
    main()
