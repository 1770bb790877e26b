"""The browser build's HttpClient (app/HttpClientFetch.cpp) in headless Chromium, against a
real board on a real PostgreSQL cluster, a silent server and the page's own site.

    http_test.py CHECK_FOLDER BOARD_EXE PROJECT_ROOT

CHECK_FOLDER holds http_check.js and http_check.wasm (tests/web/HttpCheck.cpp). The page
sends through the client while it goes on drawing frames; every answer is checked whole:
status, body bytes, the reason when there is no answer, Retry-After. Requests to the board
cross origins, so the board's CORS answers (preflight, allowed origin, exposed headers) are
what the page can read.
"""

import json
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, verdict  # noqa: E402
from devtools import Chromium, Site, wait_until  # noqa: E402
from localboard import LocalBoard, SilentServer, free_port  # noqa: E402

PAGE = """<!doctype html><meta charset="utf-8"><title>HttpClient</title>
<script>window.Module = { print: console.log, printErr: console.error };</script>
<script src="http_check.js"></script>
"""

# Every byte value, and long enough to arrive in many pieces.
BLOB = bytes(range(256)) * 1200


class Page:
    """The check page in Chromium: sends requests and collects their answers by number."""

    def __init__(self, browser, url):
        self.browser = browser
        self.answers = {}
        browser.navigate(url)
        browser.wait_for("window.Module && Module.checkFrames > 2", 60, "the check page running")

    def send(self, method, url, body="", timeout=5000):
        return self.browser.evaluate(
            "Module.ccall('httpCheckSend', 'number', ['string', 'string', 'string', 'number'], "
            f"{json.dumps([method, url, body, timeout])})")

    def poll(self):
        """One poll of the client: (pending after it, the answer or None)."""
        taken = json.loads(self.browser.evaluate("Module.ccall('httpCheckPoll', 'string', [], [])"))
        if taken["answer"] is not None:
            self.answers[taken["answer"]["id"]] = taken["answer"]
        return taken["pending"], taken["answer"]

    def answer(self, number, timeout=30):
        def taken():
            self.poll()
            return self.answers.pop(number, None)
        return wait_until(taken, timeout, f"the answer to request {number}")

    def frames(self):
        return self.browser.evaluate("Module.checkFrames")

    def renew(self):
        self.browser.evaluate("Module.ccall('httpCheckRenew', null, [], [])")


def body_json(answer):
    try:
        return json.loads(bytes.fromhex(answer["body"]))
    except ValueError:
        return None


def exchanges(page, board, silent, refused, site):
    """A table of requests and what the page must get back."""
    token = {}

    def started(answer):
        body = body_json(answer)
        token.update(body or {})
        return answer["status"] == 200 and body is not None and body.get("mode") == "normal" \
            and body.get("token", "").startswith("1.")

    cases = [
        ("the board's health", "GET", board.url + "/v1/health", "", 5000,
         lambda a: a["status"] == 200 and body_json(a)["status"] == "ok" and a["error"] == ""),
        # A JSON POST from another origin: the browser asks the board first (preflight).
        ("a token", "POST", board.url + "/v1/runs/start", '{"mode": "normal", "difficulty": "hard"}', 5000,
         started),
        ("a refusal's body", "POST", board.url + "/v1/runs/start", '{"mode": "fast"}', 5000,
         lambda a: a["status"] == 400 and body_json(a)["error"] == "malformed"),
        ("no such run", "GET", board.url + "/v1/runs/999999/record", "", 5000,
         lambda a: a["status"] == 404 and body_json(a)["error"] == "not_found"),
        ("binary bytes intact", "GET", site.url + "blob.bin", "", 10000,
         lambda a: a["status"] == 200 and bytes.fromhex(a["body"]) == BLOB),
        ("nobody listening", "GET", refused, "", 5000,
         lambda a: a["status"] == 0 and a["body"] == "" and a["error"].endswith(": not reachable, not trusted or not allowing this page")),
        ("a silent server", "GET", silent.url + "/v1/health", "", 700,
         lambda a: a["status"] == 0 and a["error"] == "no answer within 700 ms"),
    ]
    for name, method, url, body, timeout, expected in cases:
        start = time.monotonic()
        number = page.send(method, url, body, timeout)
        answer = page.answer(number)
        seconds = time.monotonic() - start
        check(expected(answer), f"{name}: {json.dumps(answer)[:300]}")
        print(f"{name}: status {answer['status']}, {len(answer['body']) // 2} bytes"
              f"{', ' + answer['error'] if answer['error'] else ''} ({seconds:.2f} s)")
    return token


def never_blocks(page, silent):
    """A request held by the server: send returns at once, frames go on, poll finds nothing."""
    accepted = silent.counts()[0]
    # Long enough that frames come while it is held, however slow the machine draws.
    number = page.send("GET", silent.url + "/held", "", 8000)
    check(number > 0, f"send gave {number}")
    pending, answer = page.poll()
    check(pending == 1 and answer is None, f"right after sending: pending {pending}, answer {answer}")
    wait_until(lambda: silent.counts()[0] > accepted, 10, "the held request at the server")
    frames = page.frames()
    page.browser.wait_for(f"Module.checkFrames >= {frames + 10}", 10, "frames while the request is held")
    pending, answer = page.poll()
    check(pending == 1 and answer is None, f"while held: pending {pending}, answer {answer}")
    answer = page.answer(number, 60)
    check(answer["status"] == 0 and "8000 ms" in answer["error"], f"the held request: {answer}")


def dropped_with_its_client(page, silent):
    """A client dropped with a request in flight hangs up on the server, and its answer
    reaches nobody."""
    accepted, closed = silent.counts()
    page.send("GET", silent.url + "/dropped", "", 60000)
    wait_until(lambda: silent.counts()[0] > accepted, 10, "the request at the server")
    page.renew()
    try:
        wait_until(lambda: silent.counts()[1] > closed, 10, "the server to see the client hang up")
    except TimeoutError:
        check(False, "a dropped client's request stays connected")
    frames = page.frames()
    page.browser.wait_for(f"Module.checkFrames >= {frames + 10}", 10, "frames after the drop")
    pending, answer = page.poll()
    check(pending == 0 and answer is None, f"after the drop: pending {pending}, answer {answer}")


def retry_after_read(page, board):
    """Reads faster than the board allows: its 429 says when to ask again, and the page can
    read it (the board exposes the header to allowed origins)."""
    numbers = [page.send("GET", board.url + "/v1/boards/normal/hard?limit=5") for _ in range(12)]
    answers = [page.answer(number) for number in numbers]
    statuses = [answer["status"] for answer in answers]
    limited = [answer for answer in answers if answer["status"] == 429]
    check(statuses.count(200) >= 1 and limited, f"statuses of a burst of reads: {statuses}")
    check(all(answer["retryAfter"] >= 1 for answer in limited),
          f"Retry-After of the refused reads: {[answer['retryAfter'] for answer in limited]}")
    check(all(answer["retryAfter"] == 0 for answer in answers if answer["status"] == 200),
          "Retry-After read from answers that have none")
    print(f"a burst of reads: {statuses.count(200)} answered, {len(limited)} refused with Retry-After "
          f"{sorted({answer['retryAfter'] for answer in limited})}")


def origin_not_allowed(browser, folder, board):
    """The same page from an origin the board does not allow gets no answer."""
    other = Site(folder)
    try:
        page = Page(browser, other.url)
        answer = page.answer(page.send("GET", board.url + "/v1/health"))
        check(answer["status"] == 0 and answer["body"] == "", f"from an origin not allowed: {answer}")
    finally:
        other.close()


def main(check_folder, board_exe, root):
    folder = tempfile.mkdtemp(prefix="tamq-http-check-")
    for name in ("http_check.js", "http_check.wasm"):
        shutil.copy(os.path.join(check_folder, name), folder)
    with open(os.path.join(folder, "index.html"), "w") as page:
        page.write(PAGE)
    with open(os.path.join(folder, "blob.bin"), "wb") as blob:
        blob.write(BLOB)
    site = Site(folder)
    silent = SilentServer()
    board = browser = None
    try:
        # Reads at one a second after a burst of six: a quick burst of twelve meets the limit.
        board = LocalBoard(board_exe, root, [site.url.rstrip("/")], ["--read-rate", "1:6"])
        browser = Chromium()
        page = Page(browser, site.url)
        exchanges(page, board, silent, f"http://127.0.0.1:{free_port()}/v1/health", site)
        never_blocks(page, silent)
        dropped_with_its_client(page, silent)
        retry_after_read(page, board)
        uncaught = [problem for problem in browser.problems if problem.startswith("uncaught")]
        check(not uncaught, f"the page threw: {uncaught}")
        origin_not_allowed(browser, folder, board)
    finally:
        if browser is not None:
            browser.close()
        if board is not None:
            board.close()
        silent.close()
        site.close()
        shutil.rmtree(folder, ignore_errors=True)
    return verdict("HttpClient", "the browser's HttpClient passed")


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
