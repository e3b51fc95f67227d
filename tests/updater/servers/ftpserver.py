#!/usr/bin/python3
"""Serves a folder over FTP on 127.0.0.1 with one user, for the updater's
tests, optionally sending files slowly (a fourth argument in bytes a second). Prints the port it listens on, then serves until terminated."""
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password = sys.argv[1:4]
    # An optional fourth argument: send files at that many bytes a second.
    if len(sys.argv) > 4:
        ThrottledDTPHandler.write_limit = int(sys.argv[4])
        FTPHandler.dtp_handler = ThrottledDTPHandler
    logging.disable(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elr")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.masquerade_address = "127.0.0.1"
    handler.banner = "vela test server ready"
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
