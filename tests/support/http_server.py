#!/usr/bin/python3
"""A local HTTP server for tests, bound to 127.0.0.1 only (Python standard library).

Usage: http_server.py [--root DIR] [--log FILE]

Prints the port it listens on as one line on stdout, then serves until stdin reaches its end
(the test closed its pipe, or died) or the parent process is gone. With --log, the path of every
GET request is appended to FILE as one line when it arrives, so a test can see which URLs were
asked for and in which order.

Test routes (every other path is served from --root when given, else 404):
  /echo...                 200, the request line and headers exactly as received
  /bytes/HEX               200, the bytes given in hexadecimal
  /status/CODE             that status, body "status CODE", no Location header
  /redirect/N              302 to /redirect/N-1; /redirect/0 answers "landed"
  /redirect-to?TARGET      302 to TARGET (percent-decoded)
  /delay/MS/TEXT           200, TEXT after MS milliseconds
  /sized/N                 200 with Content-Length N and N bytes
  /stream/N, /stream/endless  200 without Content-Length, N bytes or bytes without end
  /short                   Content-Length 100, then 10 bytes and the connection closed
  /drip                    Content-Length 1000, then one byte every 200 ms
  /silent                  reads the request and never answers
  /stall/N                 Content-Length N + 1000, then N bytes and silence until the client
                           closes
  /endless-headers         a status line, then header lines without end
  /garbage                 a line that is not HTTP, then the connection closed
"""
import argparse
import functools
import http.server
import os
import select
import sys
import threading
import time
import urllib.parse

CHUNK = 64 * 1024
BLOCK = bytes((i * 7 + 1) % 251 + 1 for i in range(CHUNK))  # never a zero byte


def pattern(size):
    while size > 0:
        piece = BLOCK[:min(size, CHUNK)]
        yield piece
        size -= len(piece)


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    serve_files = False
    request_log = None
    log_lock = threading.Lock()

    def log_message(self, format, *args):
        pass

    def reply(self, code, body=b"", headers=()):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if Handler.request_log:
            with Handler.log_lock, open(Handler.request_log, "a", encoding="utf-8") as log:
                log.write(self.path + "\n")
        path, _, query = self.path.partition("?")
        parts = path.split("/")[1:]
        route = parts[0] if parts else ""
        try:
            if route.startswith("echo"):
                lines = [self.requestline] + [f"{k}: {v}" for k, v in self.headers.items()]
                self.reply(200, ("\r\n".join(lines) + "\r\n").encode("latin-1"))
            elif route == "bytes":
                self.reply(200, bytes.fromhex(parts[1] if len(parts) > 1 else ""))
            elif route == "status":
                code = int(parts[1])
                self.reply(code, f"status {code}".encode())
            elif route == "redirect":
                left = int(parts[1])
                if left > 0:
                    self.reply(302, b"moved", [("Location", f"/redirect/{left - 1}")])
                else:
                    self.reply(200, b"landed")
            elif route == "redirect-to":
                self.reply(302, b"moved", [("Location", urllib.parse.unquote(query))])
            elif route == "delay":
                time.sleep(int(parts[1]) / 1000)
                self.reply(200, "/".join(parts[2:]).encode())
            elif route == "sized":
                size = int(parts[1])
                self.send_response(200)
                self.send_header("Content-Length", str(size))
                self.end_headers()
                for piece in pattern(size):
                    self.wfile.write(piece)
            elif route == "stream":
                self.send_response(200)
                self.end_headers()
                size = 1 << 62 if parts[1] == "endless" else int(parts[1])
                for piece in pattern(size):
                    self.wfile.write(piece)
            elif route == "short":
                self.send_response(200)
                self.send_header("Content-Length", "100")
                self.end_headers()
                self.wfile.write(b"0123456789")
            elif route == "drip":
                self.send_response(200)
                self.send_header("Content-Length", "1000")
                self.end_headers()
                for _ in range(1000):
                    self.wfile.write(b"x")
                    self.wfile.flush()
                    time.sleep(0.2)
            elif route == "stall":
                size = int(parts[1])
                self.send_response(200)
                self.send_header("Content-Length", str(size + 1000))
                self.end_headers()
                for piece in pattern(size):
                    self.wfile.write(piece)
                self.wfile.flush()
                select.select([self.connection], [], [], 120)
            elif route == "silent":
                # Until the client gives up and closes; then leave without a word.
                select.select([self.connection], [], [], 120)
            elif route == "endless-headers":
                self.wfile.write(b"HTTP/1.1 200 OK\r\n")
                number = 0
                while True:
                    self.wfile.write(f"X-Filler-{number}: {'y' * 100}\r\n".encode())
                    number += 1
            elif route == "garbage":
                self.wfile.write(b"this is not an HTTP reply\r\n")
            elif self.serve_files:
                super().do_GET()
            else:
                self.reply(404, b"no such route")
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client stopped reading, as the test wanted


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
    parser.add_argument("--root", help="folder served for paths that are not test routes")
    parser.add_argument("--log", help="file the path of every GET request is appended to")
    args = parser.parse_args()
    Handler.request_log = args.log
    watch_parent(os.getppid())

    handler = Handler
    if args.root:
        handler = functools.partial(Handler, directory=args.root)
        Handler.serve_files = True

    class Server(http.server.ThreadingHTTPServer):
        request_queue_size = 128  # many clients at once must not see dropped SYNs

    server = Server(("127.0.0.1", 0), handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
