#!/usr/bin/python3
"""Serves a folder on loopback for the installer's tests.

Binds a free port and writes it to --port-file once listening; appends
"METHOD PATH STATUS" to --log for every request answered. Speaks HTTP/1.1,
so a connection stays open unless the client asks to close it.
--no-length drops Content-Length (the body then ends when the connection
closes); --extra-length announces more bytes than are sent; --cert/--key
serve TLS. --fault NAME=MODE[:ARG] misbehaves for one file:
  stall        reads the request and never answers
  stall-body   sends the headers and the first 100 bytes, then goes quiet
  drip[:N]     sends the headers, then N bytes a second (default 1)
  reset        sends the headers and half the body, then resets the connection
  excess:N     announces N bytes fewer than it sends
  chunked-cut  sends half the body chunked, then closes without the last chunk
  redirect:URL answers 302 to URL
  delay:S      waits S seconds, then answers normally
"""
import argparse
import functools
import http.server
import os
import socket
import ssl
import struct
import time

QUIET_SECONDS = 120


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    omit_length = False
    extra_length = 0
    log_path = None
    faults = {}
    announce_less = 0

    def send_header(self, keyword, value):
        if keyword.lower() == "content-length":
            if self.omit_length:
                return
            value = str(int(value) + self.extra_length - self.announce_less)
        super().send_header(keyword, value)

    def log_request(self, code="-", size="-"):
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(f"{self.command} {self.path} {int(code)}\n")

    def log_message(self, format, *args):
        pass

    def body_of(self):
        with open(self.translate_path(self.path), "rb") as f:
            return f.read()

    def start_body(self, length):
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.flush()

    def do_GET(self):
        name = self.path.rsplit("/", 1)[-1]
        fault = self.faults.get(name)
        if not fault:
            return super().do_GET()
        mode, _, arg = fault.partition(":")
        self.close_connection = True
        if mode == "stall":
            self.log_request(0)
            time.sleep(QUIET_SECONDS)
        elif mode in ("stall-body", "reset", "drip"):
            body = self.body_of()
            self.start_body(len(body))
            if mode == "drip":
                rate = int(arg or 1)
                for start in range(0, len(body), rate):
                    self.wfile.write(body[start:start + rate])
                    self.wfile.flush()
                    time.sleep(1)
                return
            if mode == "stall-body":
                self.wfile.write(body[:100])
                self.wfile.flush()
                time.sleep(QUIET_SECONDS)
                return
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
        elif mode == "excess":
            self.announce_less = int(arg)
            body = self.body_of()
            self.start_body(len(body))
            self.wfile.write(body)
        elif mode == "chunked-cut":
            whole = self.body_of()
            body = whole[: len(whole) // 2]
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            self.wfile.write(b"%x\r\n%s\r\n" % (len(body), body))
            self.wfile.flush()
        elif mode == "redirect":
            self.send_response(302)
            self.send_header("Location", arg)
            self.send_header("Content-Length", "0")
            self.end_headers()
        elif mode == "delay":
            time.sleep(float(arg))
            return super().do_GET()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--no-length", action="store_true")
    parser.add_argument("--extra-length", type=int, default=0)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--fault", action="append", default=[])
    args = parser.parse_args()

    Handler.omit_length = args.no_length
    Handler.extra_length = args.extra_length
    Handler.log_path = args.log
    Handler.faults = dict(f.split("=", 1) for f in args.fault)
    open(args.log, "a").close()
    handler = functools.partial(Handler, directory=args.root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    # Written whole, then renamed: the reader never sees half a number.
    partial = args.port_file + ".part"
    with open(partial, "w", encoding="ascii") as out:
        out.write(str(server.server_address[1]))
    os.replace(partial, args.port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
