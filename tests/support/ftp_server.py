#!/usr/bin/python3
"""A local FTP server for tests, bound to 127.0.0.1 only (pyftpdlib).

Usage: ftp_server.py --root DIR [--login USER:PASSWORD] [--log FILE] [--drop-after N]

Serves DIR read-only to anonymous (any password) and, with --login, also to USER with exactly
PASSWORD. Passive mode only, on ports the system picks. Prints the port it listens on as one
line on stdout, then serves until stdin reaches its end (the test closed its pipe, or died) or
the parent process is gone. With --log, every command received is appended to FILE as one line
("PASS" without its argument). With --drop-after, the first RETR of each file sends only N bytes
(from the REST offset) and then reports the transfer complete, as a broken link would leave it.
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
    parser.add_argument("--log", help="file every command received is appended to")
    parser.add_argument("--drop-after", type=int, help="bytes sent by the first RETR of a file")
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

    log_lock = threading.Lock()
    cut_files = set()

    class Handler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            if args.log:
                shown = "PASS" if cmd == "PASS" else line
                with log_lock, open(args.log, "a", encoding="utf-8") as log:
                    log.write(shown + "\n")
            super().pre_process_command(line, cmd, arg)

        def ftp_RETR(self, file):
            if args.drop_after is None or file in cut_files:
                return super().ftp_RETR(file)
            cut_files.add(file)
            offset = self._restart_position
            self._restart_position = 0
            try:
                with open(file, "rb") as source:
                    source.seek(offset)
                    part = source.read(args.drop_after)
            except OSError as error:
                self.respond("550 %s." % error.strerror)
                return None
            self.push_dtp_data(part, isproducer=False, cmd="RETR")
            return file

    Handler.authorizer = authorizer
    Handler.permit_foreign_addresses = False
    Handler.banner = "test FTP server ready"
    Handler.auth_failed_timeout = 0  # a wrong password is answered at once

    server = FTPServer(("127.0.0.1", 0), Handler)
    print(server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
