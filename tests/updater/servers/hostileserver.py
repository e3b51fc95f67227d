#!/usr/bin/python3
"""A hostile update server on 127.0.0.1 for the updater's tests.

Serves a folder like httpserver.py and, besides, under
  /endless/...          a body that never ends (no length; stops after 64 MB),
  /drip/...             a 100 MB length sent 2 bytes a second,
  /redirect/HOST/...    a redirect to http://HOST:<this port>/...
Every request path is appended to <root>/requests.log. Prints the port it
listens on, then serves until terminated or for five minutes at most.
"""
import functools
import http.server
import os
import sys
import threading
import time

ENDLESS_LIMIT = 64 * 1024 * 1024
DRIP_SECONDS = 120
LIFETIME_SECONDS = 300


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(os.path.join(self.directory, "requests.log"), "a") as log:
            log.write(self.path + "\n")
        try:
            if self.path.startswith("/endless/"):
                self.endless()
            elif self.path.startswith("/drip/"):
                self.drip()
            elif self.path.startswith("/redirect/"):
                host, _, rest = self.path[len("/redirect/"):].partition("/")
                port = self.server.server_address[1]
                self.send_response(302)
                self.send_header("Location", "http://%s:%d/%s" % (host, port, rest))
                self.send_header("Content-Length", "0")
                self.end_headers()
            else:
                super().do_GET()
        except (BrokenPipeError, ConnectionResetError):
            pass

    def endless(self):
        self.send_response(200)
        self.end_headers()
        piece = b"\xa5" * 65536
        for _ in range(ENDLESS_LIMIT // len(piece)):
            self.wfile.write(piece)

    def drip(self):
        self.send_response(200)
        self.send_header("Content-Length", str(100 * 1024 * 1024))
        self.end_headers()
        for _ in range(DRIP_SECONDS):
            self.wfile.write(b"ab")
            self.wfile.flush()
            time.sleep(1)


def main():
    root = sys.argv[1]
    handler = functools.partial(Handler, directory=root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    threading.Timer(LIFETIME_SECONDS, server.shutdown).start()
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
