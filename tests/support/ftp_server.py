#!/usr/bin/python3
"""A local FTP server for tests, bound to 127.0.0.1 only (pyftpdlib).

Usage: ftp_server.py --root DIR [--login USER:PASSWORD]

Serves DIR read-only to anonymous (any password) and, with --login, also to USER with exactly
PASSWORD. Passive mode only, on ports the system picks. Prints the port it listens on as one
line on stdout, then serves until stdin reaches its end (the test closed its pipe, or died) or
the parent process is gone.
"""
import argparse
import logging
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

READ_ONLY = "elr"  # change folder, list, retrieve


def watch_parent(parent):
    def stdin_closed():
        while sys.stdin.buffer.read(4096):
            pass
        os._exit(0)

    def parent_gone():
        while os.getppid() == parent:
            time.sleep(0.5)
        os._exit(0)

    threading.Thread(target=stdin_closed, daemon=True).start()
    threading.Thread(target=parent_gone, daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True, help="folder served to every login")
    parser.add_argument("--login", help="USER:PASSWORD of one more read-only account")
    args = parser.parse_args()
    watch_parent(os.getppid())

    quiet = logging.getLogger("pyftpdlib")
    quiet.addHandler(logging.NullHandler())
    quiet.setLevel(logging.CRITICAL)
    quiet.propagate = False

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(args.root, perm=READ_ONLY)
    if args.login:
        user, _, password = args.login.partition(":")
        authorizer.add_user(user, password, args.root, perm=READ_ONLY)

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.permit_foreign_addresses = False
    Handler.banner = "test FTP server ready"
    Handler.auth_failed_timeout = 0  # a wrong password is answered at once

    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
