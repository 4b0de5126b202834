#!/usr/bin/python3
"""A real PACS for the tests: Orthanc from Debian on loopback, with a fresh
configuration and storage in a folder of the test, its DICOMweb plugin, a
user with a password, and DIMSE on its own port. Loaded with DICOM files
over its REST interface.

usage: orthanc_server.py start WORKDIR [--tls] [FILE_OR_FOLDER ...]   prints "http HTTP_PORT dimse DIMSE_PORT ..."
       (--dimse-tls: DIMSE over TLS with that certificate; implies --tls)
       (--tls: a test certificate authority and a certificate for 127.0.0.1 made here, printed as
        "ca FILE cert FILE"; the HTTPS side is slow_proxy.py --tls, as this Orthanc fails on HTTPS requests)
       orthanc_server.py stop WORKDIR
Exit 77 (a skip for CTest) when Orthanc or its DICOMweb plugin is not installed.
"""
import base64
import json
import os
import signal
import socket
import subprocess
import sys
import time
import urllib.request

ORTHANC = '/usr/sbin/Orthanc'
DICOMWEB = '/usr/share/orthanc/plugins/libOrthancDicomWeb.so'
USER, PASSWORD = 'reader', 'secret-pw'
AET = 'TESTPACS'


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def test_authority(work):
    """A certificate authority and a server certificate for 127.0.0.1 signed by it."""
    def openssl(*args):
        subprocess.run(['openssl', *args], check=True, capture_output=True)
    openssl('req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2', '-subj', '/CN=Quarvia Test CA',
            '-keyout', f'{work}/ca.key', '-out', f'{work}/ca.pem')
    openssl('req', '-newkey', 'rsa:2048', '-nodes', '-subj', '/CN=127.0.0.1', '-keyout', f'{work}/server.key',
            '-out', f'{work}/server.csr')
    with open(f'{work}/san.cnf', 'w') as f:
        f.write('subjectAltName=IP:127.0.0.1,DNS:localhost\n')
    openssl('x509', '-req', '-in', f'{work}/server.csr', '-CA', f'{work}/ca.pem', '-CAkey', f'{work}/ca.key',
            '-CAcreateserial', '-days', '2', '-extfile', f'{work}/san.cnf', '-out', f'{work}/server.pem')
    with open(f'{work}/server-bundle.pem', 'w') as out:
        out.write(open(f'{work}/server.pem').read() + open(f'{work}/server.key').read())
    return f'{work}/server-bundle.pem', f'{work}/ca.pem'


def request(http, path, data=None, method=None):
    req = urllib.request.Request(f'http://127.0.0.1:{http}{path}', data=data, method=method)
    token = base64.b64encode(f'{USER}:{PASSWORD}'.encode()).decode()
    req.add_header('Authorization', 'Basic ' + token)
    with urllib.request.urlopen(req, timeout=30) as r:
        return r.read()


def start(work, paths):
    tls = '--tls' in paths or '--dimse-tls' in paths
    dimse_tls = '--dimse-tls' in paths
    paths = [p for p in paths if p not in ('--tls', '--dimse-tls')]
    if not (os.path.exists(ORTHANC) and os.path.exists(DICOMWEB)):
        print('Orthanc or its DICOMweb plugin is not installed: skipped')
        sys.exit(77)
    os.makedirs(work, exist_ok=True)
    http, dimse = free_port(), free_port()
    config = {
        'Name': 'test-pacs', 'StorageDirectory': f'{work}/storage', 'IndexDirectory': f'{work}/index',
        'HttpPort': http, 'DicomPort': dimse, 'DicomAet': AET, 'RemoteAccessAllowed': False,
        'AuthenticationEnabled': True, 'RegisteredUsers': {USER: PASSWORD}, 'DicomCheckCalledAet': True,
        'DicomAlwaysAllowEcho': True, 'DicomAlwaysAllowStore': True, 'DicomAlwaysAllowFind': True,
        'DicomAlwaysAllowGet': True, 'UnknownSopClassAccepted': True, 'StorageCompression': False,
        'Plugins': [DICOMWEB], 'DicomWeb': {'Enable': True, 'Root': '/dicom-web/', 'EnableWado': True},
        'HttpServerEnabled': True, 'SslEnabled': False, 'ConcurrentJobs': 2,
    }
    ca = bundle = None
    if tls:
        bundle, ca = test_authority(work)
    if dimse_tls:
        config.update({'DicomTlsEnabled': True, 'DicomTlsCertificate': f'{work}/server.pem',
                       'DicomTlsPrivateKey': f'{work}/server.key', 'DicomTlsTrustedCertificates': ca,
                       'DicomTlsRemoteCertificateRequired': False})
    with open(f'{work}/orthanc.json', 'w') as f:
        json.dump(config, f, indent=1)
    log = open(f'{work}/orthanc.log', 'w')
    proc = subprocess.Popen([ORTHANC, f'{work}/orthanc.json'], stdout=log, stderr=log, start_new_session=True)
    with open(f'{work}/orthanc.pid', 'w') as f:
        f.write(str(proc.pid))
    for _ in range(200):
        try:
            request(http, '/system')
            break
        except Exception:
            if proc.poll() is not None:
                print('Orthanc did not start: see ' + f'{work}/orthanc.log')
                sys.exit(77)
            time.sleep(0.05)
    else:
        print('Orthanc did not answer: skipped')
        sys.exit(77)
    files = []
    for p in paths:
        if os.path.isdir(p):
            files += sorted(os.path.join(p, n) for n in os.listdir(p) if n.endswith('.dcm'))
        else:
            files.append(p)
    for name in files:
        with open(name, 'rb') as f:
            request(http, '/instances', f.read(), 'POST')
    print(f'http {http} dimse {dimse} pid {proc.pid} aet {AET} user {USER} password {PASSWORD} files {len(files)}'
          + (f' ca {ca} cert {bundle}' if ca else ''))


def stop(work):
    try:
        pid = int(open(f'{work}/orthanc.pid').read())
        os.killpg(pid, signal.SIGTERM)
    except (OSError, ValueError):
        pass


if __name__ == '__main__':
    if sys.argv[1] == 'start':
        start(sys.argv[2], sys.argv[3:])
    else:
        stop(sys.argv[2])
