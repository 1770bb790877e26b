#!/usr/bin/env python3
"""The slow board's proxy against a small server of the test's own: what reaches the
server, what comes back, when (never before the delay), the held connection, and the log."""

import http.client
import http.server
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

PROXY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "slow_proxy.py")


class Echo(http.server.BaseHTTPRequestHandler):
    """Answers with the method, the path and the body it received."""

    protocol_version = "HTTP/1.1"

    def answer(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        reply = b"%s %s %s" % (self.command.encode(), self.path.encode(), body)
        self.send_response(201 if self.command == "POST" else 200)
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    do_GET = answer
    do_POST = answer

    def log_message(self, *arguments):
        pass


def start_proxy(folder, upstream, *options):
    port_file = os.path.join(folder, "port")
    log = os.path.join(folder, "proxy.log")
    process = subprocess.Popen([sys.executable, PROXY, "--upstream", upstream, "--port-file", port_file,
                                "--log", log, *options])
    deadline = time.monotonic() + 30
    while not os.path.exists(port_file):
        if process.poll() is not None or time.monotonic() > deadline:
            raise RuntimeError("the proxy did not start")
        time.sleep(0.05)
    with open(port_file) as f:
        return process, int(f.read()), log


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class SlowProxyTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Echo)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.upstream = "http://127.0.0.1:%d" % cls.server.server_address[1]

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()

    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.processes = []

    def tearDown(self):
        for process in self.processes:
            process.terminate()
            process.wait()

    def proxy(self, *options, upstream=None):
        """A new proxy in place of any the test started before."""
        for process in self.processes:
            process.terminate()
            process.wait()
        self.processes = []
        for name in ("port", "proxy.log"):
            if os.path.exists(os.path.join(self.folder, name)):
                os.remove(os.path.join(self.folder, name))
        process, port, log = start_proxy(self.folder, upstream or self.upstream, *options)
        self.processes.append(process)
        return port, log

    def test_answers_pass_through_no_sooner_than_the_delay(self):
        cases = [
            # (delay, method, path, body, headers, status, answer)
            ("0", "GET", "/v1/boards/normal/hard?limit=100", None, {}, 200, b"GET /v1/boards/normal/hard?limit=100 "),
            ("0.5", "POST", "/v1/runs/start", b'{"mode":"normal"}', {}, 201, b'POST /v1/runs/start {"mode":"normal"}'),
            ("0", "POST", "/v1/runs", iter([b'{"token":', b'"t"}']), {"Transfer-Encoding": "chunked"}, 201,
             b'POST /v1/runs {"token":"t"}'),
        ]
        for delay, method, path, body, headers, status, answer in cases:
            with self.subTest(delay=delay, path=path):
                port, _ = self.proxy("--delay", delay)
                connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
                sent = time.monotonic()
                connection.request(method, path, body=body, headers=headers,
                                   encode_chunked="Transfer-Encoding" in headers)
                reply = connection.getresponse()
                self.assertGreaterEqual(time.monotonic() - sent, float(delay))
                self.assertEqual(reply.status, status)
                self.assertEqual(reply.read(), answer)
                connection.close()

    def test_held_request_gets_no_answer_and_is_logged(self):
        port, log = self.proxy("--hold")
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=1)
        connection.request("POST", "/v1/runs/start", body=b"{}")
        with self.assertRaises(socket.timeout):
            connection.getresponse()
        connection.close()
        with open(log) as f:
            self.assertEqual(f.read(), "POST /v1/runs/start held request=%d answer=0\n" % self.request_size(port))

    def request_size(self, port):
        # What http.client sends for a POST of two bytes to this path.
        head = ("POST /v1/runs/start HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nAccept-Encoding: identity\r\n"
                "Content-Length: 2\r\n\r\n" % port)
        return len(head) + 2

    def test_log_gives_status_and_sizes_and_unreachable_server_is_502(self):
        cases = [
            # (upstream, status in the log)
            (None, "200"),
            ("http://127.0.0.1:%d" % free_port(), "502"),
        ]
        for upstream, status in cases:
            with self.subTest(status=status):
                port, log = self.proxy(upstream=upstream)
                connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
                connection.request("GET", "/v1/health")
                reply = connection.getresponse()
                answer = reply.read()
                connection.close()
                self.assertEqual(str(reply.status), status)
                deadline = time.monotonic() + 10
                while os.path.getsize(log) == 0 and time.monotonic() < deadline:
                    time.sleep(0.05)
                with open(log) as f:
                    words = f.read().split()
                self.assertEqual(words[:3], ["GET", "/v1/health", status])
                self.assertEqual(words[3], "request=%d" % (len("GET /v1/health HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n"
                                                                "Accept-Encoding: identity\r\n\r\n" % port)))
                self.assertGreater(int(words[4].split("=")[1]), len(answer))


if __name__ == "__main__":
    unittest.main()
