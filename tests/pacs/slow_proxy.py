#!/usr/bin/python3
"""A TCP relay between the host and the test PACS that behaves like a slow
or failing network: it passes the server's bytes at RATE bytes a second and,
with --stall-after N, stops passing them (keeping the connection open) once
N bytes of an answer have gone through.

With --tls CERT_AND_KEY_PEM it is the HTTPS end in front of the server.

usage: slow_proxy.py LISTEN_PORT TARGET_PORT RATE [--stall-after N] [--tls PEM]
Prints "ready" once listening; runs until killed.
"""
import socket
import sys
import threading
import time


def pipe(src, dst, rate, stall_after):
    sent = 0
    try:
        while True:
            data = src.recv(16384)
            if not data:
                break
            if stall_after is not None and sent + len(data) > stall_after:
                dst.sendall(data[:max(0, stall_after - sent)])
                while True:  # a server that stops sending mid-answer
                    time.sleep(3600)
            if rate:
                for i in range(0, len(data), 4096):
                    chunk = data[i:i + 4096]
                    dst.sendall(chunk)
                    time.sleep(len(chunk) / rate)
            else:
                dst.sendall(data)
            sent += len(data)
    except OSError:
        pass
    for s in (src, dst):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def main():
    listen, target, rate = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
    options = dict(zip(sys.argv[4::2], sys.argv[5::2]))
    stall = int(options['--stall-after']) if '--stall-after' in options else None
    tls = None
    if '--tls' in options:
        import ssl
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(options['--tls'])
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(('127.0.0.1', listen))
    server.listen(16)
    print('ready', flush=True)
    while True:
        client, _ = server.accept()
        if tls:
            try:
                client = tls.wrap_socket(client, server_side=True)
            except (OSError, ValueError):
                client.close()  # a client that does not trust the certificate
                continue
        upstream = socket.create_connection(('127.0.0.1', target))
        threading.Thread(target=pipe, args=(client, upstream, 0, None), daemon=True).start()
        threading.Thread(target=pipe, args=(upstream, client, rate, stall), daemon=True).start()


if __name__ == '__main__':
    main()
