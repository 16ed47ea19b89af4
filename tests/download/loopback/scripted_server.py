#!/usr/bin/env python3
"""Scripted HTTP replies on 127.0.0.1 for the Windows transport's tests, which run under wine and
cannot start the Linux test server themselves. Prints the port on the first line, then serves
until it is killed. Each connection gets its own thread, so a stalled reply holds up no other."""

import socket
import socketserver
import sys
import time


def pattern_bytes(size):
    # The same bytes as the tests' PatternBytes: byte I is a function of I alone.
    return bytes((i * 131 + i // 251) & 0xFF for i in range(size))


def head(status, headers):
    lines = ["HTTP/1.1 %d Scripted" % status] + headers
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def full(status, body, content_type="application/octet-stream"):
    return head(status, ["Content-Length: %d" % len(body), "Content-Type: " + content_type,
                         "Connection: close"]) + body


BIG = pattern_bytes(300000)

# Path -> list of (bytes to send, seconds to wait afterwards).
REPLIES = {
    "/big.bin": [(full(200, BIG), 0)],
    "/missing": [(full(404, b"<html>missing</html>", "text/html"), 0)],
    "/moved": [(head(302, ["Location: /big.bin", "Content-Length: 0", "Connection: close"]), 0)],
    "/cut": [(head(200, ["Content-Length: 1000", "Connection: close"]) + b"x" * 300, 0)],
    "/stall": [(head(200, ["Content-Length: 1000"]) + b"s" * 600, 30)],
    "/silent": [(b"", 30)],
    "/odd-length": [(head(200, ["Content-Length: many", "Connection: close"]) + b"abc", 0)],
}


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        self.request.settimeout(10)
        received = b""
        try:
            while b"\r\n\r\n" not in received and len(received) < 65536:
                data = self.request.recv(4096)
                if not data:
                    return
                received += data
        except OSError:
            return
        request_head = received.split(b"\r\n\r\n", 1)[0] + b"\r\n\r\n"
        target = request_head.split(b" ")[1].decode("latin-1") if b" " in request_head else ""
        if target == "/echo":
            steps = [(full(200, request_head, "text/plain"), 0)]
        else:
            steps = REPLIES.get(target, [(full(404, b"no script for this path\n", "text/plain"), 0)])
        try:
            for data, pause in steps:
                self.request.sendall(data)
                if pause:
                    time.sleep(pause)
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    with Server(("127.0.0.1", 0), Handler) as server:
        print(server.server_address[1], flush=True)
        server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
