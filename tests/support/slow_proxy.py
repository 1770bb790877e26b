#!/usr/bin/env python3
"""A slow board for the tests: an HTTP proxy on 127.0.0.1 that hands each request to a
server behind it and gives the answer back only after a delay, or never.

    slow_proxy.py --upstream http://127.0.0.1:8080 --delay 3 --port-file FILE [--log FILE]
    slow_proxy.py --upstream http://127.0.0.1:8080 --hold ...

It listens on --port (0, the default, is any free port), writes the port it got to
--port-file once it accepts connections, and serves until it is sent TERM or INT. Each
request is read whole, sent on as it came with "Connection: close", and its answer read
whole; the answer goes back to the client --delay seconds after the request was read, and
the client's connection is then closed. With --hold no answer ever goes back and the
connection stays open: a board that accepted the connection and went silent. Each request
answered (or held) adds a line to --log (standard output by default):

    POST /v1/runs/start 200 request=184 answer=402

with the sizes in bytes of the whole request and the whole answer as they crossed the
proxy (head and body); a held request's status is "held", a request the server behind it
did not answer gets status 502 and the proxy's own short answer.
"""

import argparse
import os
import signal
import socket
import sys
import threading
import time
import urllib.parse

MAX_HEAD = 64 * 1024
MAX_BODY = 16 * 1024 * 1024


class BadRequest(Exception):
    pass


class CountingSocket:
    """A client's socket that counts the bytes read from it: the request's size as sent."""

    def __init__(self, sock):
        self.sock = sock
        self.received = 0

    def recv(self, size):
        chunk = self.sock.recv(size)
        self.received += len(chunk)
        return chunk


def read_until(sock, buffer, marker, limit):
    while marker not in buffer:
        if len(buffer) > limit:
            raise BadRequest("head too large")
        chunk = sock.recv(65536)
        if not chunk:
            raise BadRequest("connection closed")
        buffer += chunk
    return buffer


def read_exactly(sock, buffer, count):
    while len(buffer) < count:
        chunk = sock.recv(65536)
        if not chunk:
            raise BadRequest("connection closed")
        buffer += chunk
    return buffer


def read_chunked(sock, buffer):
    """Reads a chunked body from buffer and the socket; returns (body, rest)."""
    body = b""
    while True:
        buffer = read_until(sock, buffer, b"\r\n", MAX_HEAD)
        line, buffer = buffer.split(b"\r\n", 1)
        size = int(line.split(b";")[0].strip() or b"0", 16)
        if size == 0:
            buffer = read_until(sock, buffer, b"\r\n", MAX_HEAD)
            # Trailers are not kept: none of the game's calls sends any.
            while not buffer.startswith(b"\r\n"):
                buffer = read_until(sock, buffer.split(b"\r\n", 1)[1], b"\r\n", MAX_HEAD)
            return body, buffer[2:]
        if len(body) + size > MAX_BODY:
            raise BadRequest("body too large")
        buffer = read_exactly(sock, buffer, size + 2)
        body += buffer[:size]
        buffer = buffer[size + 2:]


def read_request(sock):
    """The request as (method, target, header lines, body); raises BadRequest."""
    buffer = read_until(sock, b"", b"\r\n\r\n", MAX_HEAD)
    head, buffer = buffer.split(b"\r\n\r\n", 1)
    lines = head.split(b"\r\n")
    parts = lines[0].split(b" ")
    if len(parts) != 3:
        raise BadRequest("bad request line")
    method, target = parts[0].decode("latin-1"), parts[1].decode("latin-1")
    headers = []
    length = 0
    chunked = False
    for line in lines[1:]:
        name, _, value = line.partition(b":")
        key = name.strip().lower()
        if key == b"content-length":
            length = int(value.strip())
        elif key == b"transfer-encoding" and b"chunked" in value.lower():
            chunked = True
            continue
        if key in (b"connection", b"keep-alive", b"proxy-connection"):
            continue
        headers.append(line)
    if chunked:
        body, _ = read_chunked(sock, buffer)
        headers = [h for h in headers if not h.lower().startswith(b"content-length:")]
        headers.append(b"Content-Length: %d" % len(body))
    else:
        if length > MAX_BODY:
            raise BadRequest("body too large")
        body = read_exactly(sock, buffer, length)[:length]
    return method, target, headers, body


def forward(upstream, method, target, headers, body):
    """The server's whole answer to the request, as bytes; None when it gave none."""
    head = "%s %s HTTP/1.1\r\n" % (method, target)
    request = head.encode("latin-1") + b"\r\n".join(headers + [b"Connection: close"]) + b"\r\n\r\n" + body
    try:
        with socket.create_connection(upstream, timeout=120) as server:
            server.sendall(request)
            answer = b""
            while True:
                chunk = server.recv(65536)
                if not chunk:
                    return answer or None
                answer += chunk
    except OSError:
        return None


def status_of(answer):
    parts = answer.split(b"\r\n", 1)[0].split(b" ")
    return parts[1].decode("latin-1") if len(parts) > 1 else "?"


class Proxy:
    def __init__(self, arguments):
        url = urllib.parse.urlsplit(arguments.upstream)
        if url.scheme != "http" or not url.hostname:
            raise SystemExit("slow_proxy: --upstream is http://HOST:PORT")
        self.upstream = (url.hostname, url.port or 80)
        self.delay = arguments.delay
        self.hold = arguments.hold
        self.log = open(arguments.log, "a", buffering=1) if arguments.log else sys.stdout
        self.log_lock = threading.Lock()
        self.held = []

    def note(self, method, target, status, request_size, answer_size):
        with self.log_lock:
            self.log.write("%s %s %s request=%d answer=%d\n" % (method, target, status, request_size, answer_size))
            self.log.flush()

    def serve(self, client):
        counting = CountingSocket(client)
        try:
            method, target, headers, body = read_request(counting)
        except (BadRequest, ValueError, OSError):
            client.close()
            return
        request_size = counting.received
        path = urllib.parse.urlsplit(target).path
        if self.hold:
            # Kept open and unanswered until the proxy ends.
            self.held.append(client)
            self.note(method, path, "held", request_size, 0)
            return
        ready = time.monotonic() + self.delay
        answer = forward(self.upstream, method, target, headers, body)
        if answer is None:
            answer = (b"HTTP/1.1 502 Bad Gateway\r\nContent-Type: application/json\r\nContent-Length: 24\r\n"
                      b"Connection: close\r\n\r\n{\"error\":\"unreachable\"}\n")
        time.sleep(max(0.0, ready - time.monotonic()))
        try:
            client.sendall(answer)
        except OSError:
            pass
        finally:
            client.close()
        self.note(method, path, status_of(answer), request_size, len(answer))


def main():
    parser = argparse.ArgumentParser(description="An HTTP proxy that answers late, or never.")
    parser.add_argument("--upstream", required=True, help="http://HOST:PORT of the server behind it")
    parser.add_argument("--port", type=int, default=0, help="the port on 127.0.0.1 (0: any free one)")
    parser.add_argument("--port-file", help="where the port goes once it listens")
    parser.add_argument("--delay", type=float, default=0.0, help="seconds before each answer goes back")
    parser.add_argument("--hold", action="store_true", help="never answer; keep every connection open")
    parser.add_argument("--log", help="a line per request here instead of standard output")
    arguments = parser.parse_args()
    if arguments.delay < 0:
        parser.error("--delay is 0 or more seconds")
    proxy = Proxy(arguments)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", arguments.port))
    listener.listen(64)
    port = listener.getsockname()[1]
    if arguments.port_file:
        # Written whole under another name first, so a reader never sees half a number.
        temporary = arguments.port_file + ".tmp"
        with open(temporary, "w") as f:
            f.write("%d\n" % port)
        os.replace(temporary, arguments.port_file)

    def stop(signum, frame):
        raise SystemExit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=proxy.serve, args=(client,), daemon=True).start()


if __name__ == "__main__":
    main()
