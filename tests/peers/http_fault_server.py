#!/usr/bin/env python3
"""HTTP server with scripted faults, for what a real server will not do.

Usage: http_fault_server.py PORT FILE [REQUEST_LOG]

Serves FILE on 127.0.0.1:PORT. The first path segment picks the behaviour:
  /ok/...            200 or, for a Range request, a correct 206
  /long-fields/...   as /ok/, with about 5 KB of cookies between
                     Content-Length and Content-Range
  /reset-thrice/...  as /ok/, but the first three answers send a third of
                     what was asked for and then reset the connection
  /slow/...          the same, 32 KiB every 0.2 s
  /ignore-range/...  200 with the whole file even when a range was asked for
  /wrong-start/...   206 whose Content-Range starts at 0 whatever was asked
  /short-206/...     206 for the asked start that stops 100 bytes early
  /stall/...         the header and half the body, then nothing
  /stall-header/...  the status line only, then nothing
  /close-mid/...     the header and half the body, then a close
  /reset-mid/...     the header and half the body, then a reset
  /close-at-once/... a close before any answer
  /no-length/...     200 without Content-Length, the body, then a close
  /chunked/...       200 with the body in chunks of several sizes, an
                     extension and a trailer field
  /chunked-cut-once/... as /chunked/, but the first answer resets after half
  /no-length-cut-once/... as /no-length/, but the first answer resets after half
  /extra/...         the body followed by bytes it did not announce
  /redirect/...      302 to /ok/...
  /long-header/...   Content-Length after more than 1024 header bytes
  /long-header-first/... Content-Length first, then more than 1024 header bytes
  /no-blank/...      a first line without a blank
  /no-colon/...      a header line without a colon among the usual ones
  /not-found-long/... 404 with a header line of 600 bytes
Every request header received is appended to REQUEST_LOG when given.
"""

import re
import socket
import socketserver
import struct
import sys
import threading
import time

PORT = int(sys.argv[1])
with open(sys.argv[2], "rb") as f:
    BODY = f.read()
REQUEST_LOG = sys.argv[3] if len(sys.argv) > 3 else None
LOG_LOCK = threading.Lock()
RESETS_LEFT = {"reset-thrice": 3, "chunked-cut-once": 1, "no-length-cut-once": 1}


def chunked(body):
    out = b""
    sizes = [1, 7, 4096, 300]
    i = 0
    k = 0
    while i < len(body):
        n = sizes[k % len(sizes)]
        k += 1
        piece = body[i:i + n]
        ext = b";name=value" if k == 2 else b""
        out += b"%x%s\r\n" % (len(piece), ext) + piece + b"\r\n"
        i += n
    return out + b"0\r\nX-Trailer: done\r\n\r\n"


def read_request(sock):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(4096)
        if not chunk:
            return None
        data += chunk
    return data.split(b"\r\n\r\n", 1)[0].decode("latin-1") + "\r\n\r\n"


def range_start(request):
    m = re.search(r"^Range: bytes=(\d+)-", request, re.M | re.I)
    return int(m.group(1)) if m else None


def header(status, fields):
    lines = [status] + ["%s: %s" % kv for kv in fields]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def stall_forever(sock):
    # Until the client goes away or the server is stopped.
    try:
        while sock.recv(4096):
            pass
    except OSError:
        pass


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        request = read_request(sock)
        if request is None:
            return
        if REQUEST_LOG:
            with LOG_LOCK, open(REQUEST_LOG, "a", encoding="latin-1") as log:
                log.write(request)
        mode = request.split(" ", 2)[1].lstrip("/").split("/", 1)[0]
        start = range_start(request)
        size = len(BODY)
        half = size // 2
        plain = [("Content-Type", "application/octet-stream")]

        if mode == "reset-thrice":
            with LOG_LOCK:
                reset = RESETS_LEFT[mode] > 0
                RESETS_LEFT[mode] -= 1
            if not reset:
                mode = "ok"
            else:
                s = start or 0
                if start:
                    head = header("HTTP/1.1 206 Partial Content", plain + [
                        ("Content-Length", size - s),
                        ("Content-Range", "bytes %d-%d/%d" % (s, size - 1, size))])
                else:
                    head = header("HTTP/1.1 200 OK", plain + [("Content-Length", size)])
                sock.sendall(head + BODY[s:s + (size - s) // 3])
                time.sleep(0.2)
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                sock.close()
                return
        if mode in ("ok", "slow", "long-fields"):
            cookies = [("Set-Cookie", "s%d=%s" % (i, "c" * 200)) for i in range(24)]
            filler = cookies if mode == "long-fields" else []
            if start:
                head = header("HTTP/1.1 206 Partial Content", plain + [
                    ("Content-Length", size - start)] + filler + [
                    ("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))])
            else:
                head = header("HTTP/1.1 200 OK", plain + [("Content-Length", size)] + filler)
            body = BODY[start or 0:]
            if mode != "slow":
                sock.sendall(head + body)
            else:
                sock.sendall(head)
                for i in range(0, len(body), 32768):
                    time.sleep(0.2)
                    sock.sendall(body[i:i + 32768])
        elif mode in ("chunked", "chunked-cut-once", "no-length-cut-once"):
            with LOG_LOCK:
                cut = RESETS_LEFT.get(mode, 0) > 0
                if cut:
                    RESETS_LEFT[mode] -= 1
            if mode == "no-length-cut-once":
                head, body = header("HTTP/1.1 200 OK", plain), BODY
            else:
                head = header("HTTP/1.1 200 OK", plain + [("Transfer-Encoding", "chunked")])
                body = chunked(BODY)
            if not cut:
                sock.sendall(head)
                for i in range(0, len(body), 50000):
                    sock.sendall(body[i:i + 50000])
                    time.sleep(0.01)
            else:
                sock.sendall(head + body[:len(body) // 2])
                time.sleep(0.2)
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                sock.close()
                return
        elif mode == "ignore-range":
            sock.sendall(header("HTTP/1.1 200 OK", plain + [("Content-Length", size)]) + BODY)
        elif mode == "wrong-start":
            rest = size - (start or 0)
            sock.sendall(header("HTTP/1.1 206 Partial Content", plain + [
                ("Content-Length", rest),
                ("Content-Range", "bytes 0-%d/%d" % (rest - 1, size))]) + BODY[:rest])
        elif mode == "short-206":
            s = start or 0
            last = size - 101
            sock.sendall(header("HTTP/1.1 206 Partial Content", plain + [
                ("Content-Length", last - s + 1),
                ("Content-Range", "bytes %d-%d/%d" % (s, last, size))]) + BODY[s:last + 1])
        elif mode in ("stall", "close-mid", "reset-mid"):
            sock.sendall(header("HTTP/1.1 200 OK", plain + [("Content-Length", size)]) + BODY[:half])
            if mode == "stall":
                stall_forever(sock)
            elif mode == "reset-mid":
                time.sleep(0.2)
                sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                sock.close()
            else:
                time.sleep(0.2)
        elif mode == "stall-header":
            sock.sendall(b"HTTP/1.1 200 OK\r\n")
            stall_forever(sock)
        elif mode == "close-at-once":
            pass
        elif mode == "no-length":
            sock.sendall(header("HTTP/1.1 200 OK", plain) + BODY)
        elif mode == "extra":
            sock.sendall(header("HTTP/1.1 200 OK", plain + [("Content-Length", size)]) + BODY +
                         b"NOT PART OF THE FILE")
        elif mode == "redirect":
            sock.sendall(header("HTTP/1.1 302 Found", [("Location", "/ok/file"), ("Content-Length", 0)]))
        elif mode == "long-header":
            sock.sendall(header("HTTP/1.1 200 OK", plain + [("X-Filler", "x" * 1100),
                                                            ("Content-Length", size)]) + BODY)
        elif mode == "long-header-first":
            sock.sendall(header("HTTP/1.1 200 OK", [("Content-Length", size)] + plain +
                                [("X-Filler", "x" * 1100)]) + BODY)
        elif mode == "no-blank":
            sock.sendall(header("HTTP/1.1", plain + [("Content-Length", size)]) + BODY)
        elif mode == "no-colon":
            sock.sendall(b"HTTP/1.1 200 OK\r\nX-No-Colon-Here\r\nContent-Length: %d\r\n\r\n" % size + BODY)
        elif mode == "not-found-long":
            sock.sendall(header("HTTP/1.1 404 Not Found", [("X-Trace", "t" * 600),
                                                           ("Content-Length", 0)]))
        else:
            sock.sendall(header("HTTP/1.1 404 Not Found", [("Content-Length", 0)]))


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


if __name__ == "__main__":
    with Server(("127.0.0.1", PORT), Handler) as server:
        server.serve_forever()
