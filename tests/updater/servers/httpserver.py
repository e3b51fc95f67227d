#!/usr/bin/python3
"""Serves a folder over HTTP (or HTTPS) on 127.0.0.1 for the updater's tests.

Prints the port it listens on, then serves until terminated. Paths under
/slow/ are the same files sent 512 bytes at a time with a pause between
pieces, so that a test can stop a download that is still running.
"""
import argparse
import functools
import http.server
import os
import ssl
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        if not self.path.startswith("/slow/"):
            return super().do_GET()
        path = self.translate_path(self.path[len("/slow"):])
        if not os.path.isfile(path):
            self.send_error(404)
            return
        size = os.path.getsize(path)
        self.send_response(200)
        self.send_header("Content-Length", str(size))
        self.end_headers()
        try:
            with open(path, "rb") as f:
                while True:
                    piece = f.read(512)
                    if not piece:
                        break
                    self.wfile.write(piece)
                    self.wfile.flush()
                    time.sleep(0.05)
        except (BrokenPipeError, ConnectionResetError):
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()
    handler = functools.partial(Handler, directory=args.root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
