#!/usr/bin/env python3
"""RTMPT gateway for tests: the HTTP side of the RTMP tunnel in front of a
plain RTMP server.

Clients POST to
  /open/1                  a new session; the body of the answer is "<id>\\n"
  /send/<id>/<seq>         the body goes to the RTMP server
  /idle/<id>/<seq>         nothing to send, only asking for data
  /close/<id>/<seq>        ends the session
and every answer but the one to /open starts with a polling-hint byte,
followed by whatever the RTMP server sent since the last answer. The hint
grows while a session's answers stay empty and drops back once data flows.

Options for faults:
  --cut-after N[,N...]
                  the i-th session opened is dropped (its HTTP connection
                  in the middle of an answer, and its RTMP connection) once
                  the i-th count of RTMP data bytes has gone to the client;
                  a count of -1, and sessions beyond the list, run normally
  --log FILE      one line per request and per answer
"""

import argparse
import os
import socket
import sys
import threading
import time

CONTENT_TYPE = "application/x-fcs"
MAX_HEADER = 16384


class Session:
    def __init__(self, sid, rtmp_sock):
        self.sid = sid
        self.sock = rtmp_sock
        self.lock = threading.Lock()
        self.data = bytearray()
        self.closed = False
        self.empty_answers = 0
        self.sent_to_client = 0
        self.cut_after = None
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        while True:
            try:
                chunk = self.sock.recv(65536)
            except OSError:
                chunk = b""
            with self.lock:
                if not chunk:
                    self.closed = True
                    return
                self.data.extend(chunk)

    def take(self, limit):
        with self.lock:
            out = bytes(self.data[:limit])
            del self.data[:limit]
            return out, self.closed

    def close(self):
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.sock.close()


class Gateway:
    def __init__(self, args):
        self.args = args
        self.sessions = {}
        self.lock = threading.Lock()
        self.next_id = 1
        self.cuts = [int(n) for n in args.cut_after.split(",")] if args.cut_after else []
        self.log_file = open(args.log, "a", buffering=1) if args.log else None

    def log(self, text):
        if self.log_file:
            with self.lock:
                self.log_file.write(text + "\n")

    def serve(self):
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", self.args.port))
        listener.listen(16)
        while True:
            conn, _ = listener.accept()
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=self.client, args=(conn,), daemon=True).start()

    # ------------------------------------------------------------ HTTP side

    def client(self, conn):
        pending = bytearray()
        try:
            while True:
                request = self.read_request(conn, pending)
                if request is None:
                    break
                method, path, body = request
                self.log("REQ %s %s %d %s" % (method, path, len(body), body[:16].hex()))
                if not self.handle(conn, method, path, body):
                    break
        except OSError:
            pass
        finally:
            try:
                conn.close()
            except OSError:
                pass

    def read_request(self, conn, pending):
        while b"\r\n\r\n" not in pending:
            if len(pending) > MAX_HEADER:
                return None
            chunk = conn.recv(65536)
            if not chunk:
                return None
            pending.extend(chunk)
        end = pending.index(b"\r\n\r\n")
        head = pending[:end].decode("latin-1")
        del pending[:end + 4]
        lines = head.split("\r\n")
        parts = lines[0].split(" ")
        if len(parts) != 3:
            return None
        length = 0
        for line in lines[1:]:
            name, _, value = line.partition(":")
            if name.strip().lower() == "content-length":
                length = int(value.strip())
        while len(pending) < length:
            chunk = conn.recv(65536)
            if not chunk:
                return None
            pending.extend(chunk)
        body = bytes(pending[:length])
        del pending[:length]
        return parts[0], parts[1], body

    def answer(self, conn, status, body, partial=None):
        reason = {200: "OK", 400: "Bad Request", 404: "Not Found"}[status]
        head = ("HTTP/1.1 %d %s\r\n"
                "Content-Type: %s\r\n"
                "Content-Length: %d\r\n"
                "Connection: Keep-Alive\r\n"
                "Cache-Control: no-cache\r\n"
                "Server: rtmpt-test-gateway\r\n"
                "\r\n" % (status, reason, CONTENT_TYPE, len(body)))
        self.log("RESP %d %d %s" % (status, len(body), body[:1].hex()))
        if partial is not None:
            body = body[:partial]
        conn.sendall(head.encode("latin-1") + body)

    def handle(self, conn, method, path, body):
        parts = path.strip("/").split("/")
        if method != "POST" or not parts:
            self.answer(conn, 404, b"")
            return True
        command = parts[0]
        if command == "open" and len(parts) == 2:
            return self.open(conn)
        if command in ("send", "idle", "close") and len(parts) == 3:
            with self.lock:
                session = self.sessions.get(parts[1])
            if session is None:
                self.answer(conn, 404, b"")
                return True
            if command == "close":
                with self.lock:
                    self.sessions.pop(session.sid, None)
                session.close()
                self.answer(conn, 200, b"\x00")
                return True
            if command == "send" and body:
                try:
                    session.sock.sendall(body)
                except OSError:
                    pass
            return self.relay(conn, session)
        self.answer(conn, 404, b"")
        return True

    def open(self, conn):
        try:
            rtmp = socket.create_connection(("127.0.0.1", self.args.rtmp_port))
        except OSError:
            self.answer(conn, 404, b"")
            return True
        rtmp.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        with self.lock:
            sid = "%d%08X" % (self.next_id, int.from_bytes(os.urandom(4), "big"))
            index = self.next_id - 1
            self.next_id += 1
            session = Session(sid, rtmp)
            if index < len(self.cuts) and self.cuts[index] >= 0:
                session.cut_after = self.cuts[index]
            self.sessions[sid] = session
        self.answer(conn, 200, (sid + "\n").encode("ascii"))
        return True

    def relay(self, conn, session):
        # Give the RTMP server a moment to answer what was just sent, so that
        # not every reply to a send comes back empty.
        deadline = time.monotonic() + self.args.wait_ms / 1000.0
        while True:
            with session.lock:
                ready = bool(session.data) or session.closed
            if ready or time.monotonic() >= deadline:
                break
            time.sleep(0.002)
        data, closed = session.take(self.args.max_body)
        if not data and closed:
            with self.lock:
                self.sessions.pop(session.sid, None)
            session.close()
            self.answer(conn, 404, b"")
            return True
        if session.cut_after is not None:
            if session.sent_to_client + len(data) >= session.cut_after:
                # The connection breaks in the middle of this answer: its
                # header promises all the data, but only the bytes up to the
                # cut get through.
                keep = max(0, session.cut_after - session.sent_to_client)
                self.log("CUT %s after %d bytes" % (session.sid, session.sent_to_client + keep))
                with self.lock:
                    self.sessions.pop(session.sid, None)
                session.close()
                try:
                    self.answer(conn, 200, b"\x01" + data, partial=1 + keep)
                    conn.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                return False
        session.sent_to_client += len(data)
        if data:
            session.empty_answers = 0
            hint = 1
        else:
            session.empty_answers += 1
            hint = min(1 + session.empty_answers, self.args.max_hint)
        self.answer(conn, 200, bytes([hint]) + data)
        return True


def main():
    parser = argparse.ArgumentParser(description="RTMPT gateway in front of an RTMP server")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--rtmp-port", type=int, required=True)
    parser.add_argument("--cut-after", default=None)
    parser.add_argument("--max-body", type=int, default=65536)
    parser.add_argument("--max-hint", type=int, default=8)
    parser.add_argument("--wait-ms", type=int, default=20)
    parser.add_argument("--log", default=None)
    args = parser.parse_args()
    try:
        Gateway(args).serve()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
