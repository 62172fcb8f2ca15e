#!/usr/bin/python3
"""A local HTTP server for tests, bound to 127.0.0.1 only (Python standard library).

Usage: http_server.py [--root DIR] [--log FILE] [--tls CERT KEY]

Prints the port it listens on as one line on stdout, then serves until stdin reaches its end
(the test closed its pipe, or died) or the parent process is gone. With --log, the path of every
GET request is appended to FILE as one line when it arrives, so a test can see which URLs were
asked for and in which order. With --tls, it speaks HTTPS with that certificate (PEM) and key.
A request in absolute form ("GET http://host/path", as sent to a proxy) is served as its path.

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

Resources for resumed downloads (ID: any name without "/"):
  /res-set/ID?OPTIONS      (re)defines resource ID and clears its history; answers "ok"
  /res/ID                  the resource; honours "Range: bytes=N-" with If-Range as set
  /res-log/ID              its history, one line per request:
                           "range=<Range or -> if-range=<If-Range or -> status=<code>"
OPTIONS (all optional):
  size=N                   body size (default 0); the bytes are resource_bytes(N, seed)
  seed=S                   content variant (default 0)
  etag=E, lm=TEXT          ETag and Last-Modified headers (none by default)
  ranges=MODE              honour (default), ignore (always 200), 416 (any Range), badstart
                           (206 with the part from one byte later), badtotal (206 with a
                           Content-Range total one byte too large) or noifrange (Range
                           honoured whatever If-Range says)
  status=C,C,...           status of the 1st, 2nd, ... request (0: normal), then normal
  drop=N,N,...             close the connection after N body bytes (-1: do not), per request
  stall=N,N,...            fall silent after N body bytes until the client closes, per request
  delay=MS                 wait before every answer
  rate=BPS                 send the body at about BPS bytes per second
"""
import argparse
import functools
import http.server
import os
import select
import socket
import ssl
import sys
import threading
import time
import urllib.parse

CHUNK = 64 * 1024
BLOCK = bytes((i * 7 + 1) % 251 + 1 for i in range(CHUNK))  # never a zero byte


def resource_bytes(size, seed):
    # Never periodic with a short period: a part written at the wrong offset cannot pass.
    return bytes((((i * 2654435761 + seed * 97) & 0xFFFFFFFF) >> 16) & 0xFF for i in range(size))


class Resources:
    lock = threading.Lock()
    table = {}

    @staticmethod
    def define(rid, query):
        options = urllib.parse.parse_qs(query, keep_blank_values=True)

        def text(name, default=""):
            return options[name][0] if name in options else default

        def numbers(name):
            return [int(v) for v in text(name).split(",") if v.strip()]

        size = int(text("size", "0"))
        seed = int(text("seed", "0"))
        resource = {
            "data": resource_bytes(size, seed),
            "etag": text("etag"),
            "lm": text("lm"),
            "ranges": text("ranges", "honour"),
            "status": numbers("status"),
            "drop": numbers("drop"),
            "stall": numbers("stall"),
            "delay": int(text("delay", "0")),
            "rate": int(text("rate", "0")),
            "log": [],
        }
        with Resources.lock:
            Resources.table[rid] = resource


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

    tls = False

    def log_message(self, format, *args):
        pass

    def setup(self):
        if Handler.tls:
            # In the connection's own thread: a client that never completes the handshake
            # holds up no one else.
            self.request.settimeout(30)
            self.request.do_handshake()
            self.request.settimeout(None)
        super().setup()

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
        target = self.path
        if target.lower().startswith("http://"):
            # Absolute form: this server stands in as the proxy.
            target = "/" + target[len("http://"):].partition("/")[2]
        path, _, query = target.partition("?")
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
            elif route == "res-set" and len(parts) > 1:
                Resources.define(parts[1], query)
                self.reply(200, b"ok")
            elif route == "res-log" and len(parts) > 1:
                with Resources.lock:
                    resource = Resources.table.get(parts[1])
                    lines = list(resource["log"]) if resource else []
                self.reply(200, "".join(line + "\n" for line in lines).encode("latin-1"))
            elif route == "res" and len(parts) > 1:
                self.serve_resource(parts[1])
            elif self.serve_files:
                super().do_GET()
            else:
                self.reply(404, b"no such route")
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client stopped reading, as the test wanted


    def serve_resource(self, rid):
        with Resources.lock:
            resource = Resources.table.get(rid)
            if resource is None:
                self.reply(404, b"no such resource")
                return
            number = len(resource["log"])
            entry = {
                "range": self.headers.get("Range", "-"),
                "if-range": self.headers.get("If-Range", "-"),
            }

            def nth(name, normal):
                values = resource[name]
                return values[number] if number < len(values) else normal

            forced = nth("status", 0)
            drop = nth("drop", -1)
            stall = nth("stall", -1)
            data = resource["data"]
            etag, lm, mode = resource["etag"], resource["lm"], resource["ranges"]
            size = len(data)
            code, start, content_range = 200, 0, None
            wanted = entry["range"]
            if forced:
                code = forced
            elif wanted != "-" and wanted.startswith("bytes=") and wanted.endswith("-") \
                    and wanted[6:-1].isdigit() and mode != "ignore":
                first = int(wanted[6:-1])
                condition = entry["if-range"]
                current = condition == "-" or (etag and not etag.startswith("W/")
                                               and condition == etag) or (lm and condition == lm)
                if mode == "416":
                    code, content_range = 416, f"bytes */{size}"
                elif not current and mode != "noifrange":
                    code = 200
                elif first >= size:
                    code, content_range = 416, f"bytes */{size}"
                else:
                    # badstart: a consistent part, but not the one asked for.
                    code, start = 206, first + 1 if mode == "badstart" else first
                    shown_total = size + 1 if mode == "badtotal" else size
                    content_range = f"bytes {start}-{size - 1}/{shown_total}"
            entry["status"] = str(code)
            resource["log"].append(
                f"range={entry['range']} if-range={entry['if-range']} status={code}")
            delay, rate = resource["delay"], resource["rate"]

        if delay:
            time.sleep(delay / 1000)
        if code not in (200, 206):
            headers = [("Content-Range", content_range)] if content_range else []
            self.reply(code, f"status {code}".encode(), headers)
            return
        body = data[start:]
        self.send_response(code)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Accept-Ranges", "bytes")
        if etag:
            self.send_header("ETag", etag)
        if lm:
            self.send_header("Last-Modified", lm)
        if content_range:
            self.send_header("Content-Range", content_range)
        self.end_headers()
        limit = len(body) if drop < 0 else min(drop, len(body))
        step = max(1, rate // 20) if rate else CHUNK
        sent = 0
        while sent < limit:
            if 0 <= stall <= sent:
                break
            end = min(sent + step, limit)
            if 0 <= stall < end:
                end = stall
            self.wfile.write(body[sent:end])
            self.wfile.flush()
            sent = end
            if rate:
                time.sleep(0.05)
        if 0 <= stall < len(body) and sent >= stall:
            self.wfile.flush()
            select.select([self.connection], [], [], 120)
        self.close_connection = True


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
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"), help="serve HTTPS")
    args = parser.parse_args()
    Handler.request_log = args.log
    watch_parent(os.getppid())

    handler = Handler
    if args.root:
        handler = functools.partial(Handler, directory=args.root)
        Handler.serve_files = True

    class Server(http.server.ThreadingHTTPServer):
        request_queue_size = 128  # many clients at once must not see dropped SYNs

        def handle_error(self, request, client_address):
            # Clients that reject the certificate or hang up are what some tests want.
            if not isinstance(sys.exc_info()[1], OSError):
                super().handle_error(request, client_address)

    server = Server(("127.0.0.1", 0), handler)
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        server.socket = context.wrap_socket(server.socket, server_side=True,
                                            do_handshake_on_connect=False)
        Handler.tls = True
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
