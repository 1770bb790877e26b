"""A board of the browser tests' own: a PostgreSQL cluster in a temporary folder (through
tests/board/pg-cluster.sh, never the machine's clusters) and the real tamq-board in front of it
on a free port of 127.0.0.1, allowing the given browser origins; nginx in front of it for
HTTPS. Also a TCP listener that takes connections and never answers, for the clients'
timeouts.
"""

import json
import os
import shutil
import socket
import ssl
import subprocess
import tempfile
import threading
import urllib.error
import urllib.request

from devtools import wait_until


def free_port():
    # Drawn where no outgoing connection takes its local port (scripts/lib/common.sh).
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    return int(subprocess.check_output(["bash", os.path.join(root, "tests/board/pg-cluster.sh"), "port"]))


class LocalBoard:
    """The cluster and the service; close() stops both and removes the folder."""

    def __init__(self, board_exe, root, origins, extra=()):
        self.root = root
        self.folder = tempfile.mkdtemp(prefix="tamq-web-board-")
        # The server runs as "postgres" when the tests run as root: it must get through.
        os.chmod(self.folder, 0o755)
        self.cluster = os.path.join(self.folder, "postgres")
        os.mkdir(self.cluster)
        self.process = None
        try:
            self.conninfo = subprocess.run(
                ["bash", os.path.join(root, "tests/board/pg-cluster.sh"), "start", self.cluster, str(free_port())],
                check=True, capture_output=True, text=True, timeout=180).stdout.strip().splitlines()[-1]
            secret = os.path.join(self.folder, "secret")
            with open(secret, "w") as out:
                out.write(os.urandom(36).hex())
            self.log = open(os.path.join(self.folder, "board.log"), "w+")
            self.process = subprocess.Popen(
                [board_exe, "--listen", "127.0.0.1:0", "--database", self.conninfo, "--secret-file", secret,
                 "--data", os.path.join(root, "data"), "--allow-origins", ",".join(origins), *extra],
                stdout=subprocess.PIPE, stderr=self.log, text=True)
            line = self.process.stdout.readline()
            if "listening on" not in line:
                self.process.wait(30)
                self.log.seek(0)
                raise RuntimeError(f"tamq-board did not start: {line}{self.log.read()}")
            self.port = int(line.strip().rsplit(":", 1)[1])
            self.url = f"http://127.0.0.1:{self.port}"
            # Its standard output is read on, so the service never blocks on a full pipe.
            threading.Thread(target=self.process.stdout.read, daemon=True).start()
        except BaseException:
            self.close()
            raise

    def call(self, method, path, body=None):
        """The board's status and JSON answer to one call, as any client gets them."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.url + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=30) as reply:
                return reply.status, json.loads(reply.read())
        except urllib.error.HTTPError as refusal:
            return refusal.code, json.loads(refusal.read())

    def psql(self, *arguments):
        """psql on the board's database with the arguments (-c SQL, -v NAME=VALUE, -f FILE);
        its output, unaligned."""
        return subprocess.run(["/usr/lib/postgresql/15/bin/psql", self.conninfo, "-qtAX", "-v", "ON_ERROR_STOP=1",
                               *arguments], check=True, capture_output=True, text=True, timeout=300).stdout

    def close(self):
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if os.path.exists(os.path.join(self.cluster, "data", "postmaster.pid")):
            subprocess.run(["bash", os.path.join(self.root, "tests/board/pg-cluster.sh"), "stop", self.cluster,
                            "immediate"], capture_output=True, timeout=120)
        shutil.rmtree(self.folder, ignore_errors=True)


class NginxScript:
    """nginx run by a bash script that stops it once its standard input closes; the
    script's process and nginx's folder."""

    def close(self):
        if self.process.poll() is None:
            self.process.stdin.close()
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


class TlsProxy(NginxScript):
    """nginx terminating TLS on 127.0.0.1 in front of url, with a throwaway certificate
    authority (scripts/lib/tls.sh) in a folder of its own: url, the https:// address, and
    spki, the pin of the server's key that Chromium is told to trust."""

    # Starts nginx, says where it is, and stops it when told to end (TERM) or when the
    # test's end closes its standard input.
    SCRIPT = """
set -euo pipefail
source "$1/scripts/lib/tls.sh"
trap 'tls_cleanup' EXIT
tls_start_proxy "$2" "$3"
echo "$tls_url $(tls_spki "$2")"
read -r _ || true
"""

    def __init__(self, root, upstream):
        self.folder = tempfile.mkdtemp(prefix="tamq-web-tls-")
        self.process = subprocess.Popen(["bash", "-c", self.SCRIPT, "tls", root, self.folder, upstream],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline().split()
        if len(line) != 2:
            self.close()
            raise RuntimeError("nginx did not start in front of the board")
        self.url, self.spki = line

    def access_log(self):
        """nginx's line a request: method, path, status, request and answer sizes."""
        with open(os.path.join(self.folder, "access.log")) as log:
            return log.read().splitlines()


class Edge(NginxScript):
    """The board's nginx site (deploy/nginx, through scripts/lib/edge.sh) on 127.0.0.1 in
    front of the board at upstream ("127.0.0.1:PORT"): the board page at /, the browser build
    from game_root at /play/, the API beside them. url is its HTTPS address, with a throwaway
    certificate: ca is its authority's PEM file, spki the pin Chromium is told to trust;
    plain is its plain-HTTP address, which only sends players to url."""

    SCRIPT = """
set -euo pipefail
source "$1/scripts/lib/edge.sh"
trap 'tamq_edge_stop "$2"' EXIT
tamq_edge_start "$2" "$3" "$4" "$5"
echo "https://127.0.0.1:$3 http://127.0.0.1:$4 $(tls_spki "$2")"
read -r _ || true
"""

    def __init__(self, root, upstream, game_root, settings=None):
        self.folder = tempfile.mkdtemp(prefix="tamq-web-edge-")
        environment = dict(os.environ, TAMQ_EDGE_GAME_ROOT=game_root, **(settings or {}))
        self.process = subprocess.Popen(
            ["bash", "-c", self.SCRIPT, "edge", root, self.folder, str(free_port()), str(free_port()), upstream],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, env=environment)
        line = self.process.stdout.readline().split()
        if len(line) != 3:
            self.close()
            raise RuntimeError("nginx did not start in front of the board")
        self.url, self.plain, self.spki = line
        self.ca = os.path.join(self.folder, "ca.pem")

    def open(self, url):
        """urlopen of url trusting this edge's certificate (a redirect to it included)."""
        return urllib.request.urlopen(url, timeout=10, context=ssl.create_default_context(cafile=self.ca))

    def trusting_flag(self):
        """Chromium's flag that trusts this edge's certificate."""
        return f"--ignore-certificate-errors-spki-list={self.spki}"


class SilentServer:
    """Takes connections on 127.0.0.1 and never answers; notes when a client hangs up."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.url = f"http://127.0.0.1:{self.listener.getsockname()[1]}"
        self.accepted = 0
        self.closed = 0
        self.lock = threading.Lock()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            with self.lock:
                self.accepted += 1
            threading.Thread(target=self._hold, args=(connection,), daemon=True).start()

    def _hold(self, connection):
        with connection:
            try:
                while connection.recv(65536):
                    pass
            except OSError:
                pass
        with self.lock:
            self.closed += 1

    def counts(self):
        with self.lock:
            return self.accepted, self.closed

    def close(self):
        self.listener.close()


def wait_closed(server, count, timeout, what):
    return wait_until(lambda: server.counts()[1] >= count, timeout, what)
