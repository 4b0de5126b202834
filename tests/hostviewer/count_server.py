#!/usr/bin/python3
# A loopback HTTP server that answers 404 to everything and appends one line
# per request to a log file; it writes its port to a file once listening and
# stops by itself after a while so that a failed test leaves nothing behind.
import http.server
import sys
import threading

port_file, log_file, lifetime = sys.argv[1], sys.argv[2], float(sys.argv[3])


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log_file, "a") as log:
            log.write("GET %s\n" % self.path)
        self.send_error(404)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
open(log_file, "a").close()
with open(port_file + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
import os
os.rename(port_file + ".tmp", port_file)
threading.Timer(lifetime, server.shutdown).start()
server.serve_forever()
