#!/usr/bin/python3
"""Serves a folder on loopback for the installer's tests.

Binds a free port and writes it to --port-file once listening; appends
"METHOD PATH STATUS" to --log for every request answered. --no-length
drops Content-Length (the body then ends when the connection closes);
--extra-length announces more bytes than are sent; --cert/--key serve TLS.
"""
import argparse
import functools
import http.server
import os
import ssl


class Handler(http.server.SimpleHTTPRequestHandler):
    omit_length = False
    extra_length = 0
    log_path = None

    def send_header(self, keyword, value):
        if keyword.lower() == "content-length":
            if self.omit_length:
                return
            value = str(int(value) + self.extra_length)
        super().send_header(keyword, value)

    def log_request(self, code="-", size="-"):
        with open(self.log_path, "a", encoding="utf-8") as log:
            log.write(f"{self.command} {self.path} {int(code)}\n")

    def log_message(self, format, *args):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--no-length", action="store_true")
    parser.add_argument("--extra-length", type=int, default=0)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()

    Handler.omit_length = args.no_length
    Handler.extra_length = args.extra_length
    Handler.log_path = args.log
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
