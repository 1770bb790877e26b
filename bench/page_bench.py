"""The board page's figures (bench/board-figures.sh page), against a running board on
127.0.0.1 whose normal/hard board holds the runs to list:

- the page's files, as served and gzipped;
- a read of 100 entries of this week and of all time from the API, straight from the
  service and through the board's nginx site (median and slowest of 50);
- the page in headless Chromium through that site: navigation to the 100 rows shown, the
  API read inside it, and the rows' drawing after its answer (median of 10 loads).

    page_bench.py PROJECT_ROOT BOARD_PORT
"""

import gzip
import os
import statistics
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from devtools import Chromium  # noqa: E402
from localboard import Edge  # noqa: E402

FILES = ("index.html", "page.css", "page.js", "views.js", "config.js")
READS = 50
LOADS = 10
# The page ships no timing of its own: this notes when it marks itself ready.
READY_HOOK = """new MutationObserver(() => {
  if (window.tamqPageReadyMs === undefined && document.body && document.body.dataset.state === 'ready') {
    window.tamqPageReadyMs = performance.now();
  }
}).observe(document, {subtree: true, attributes: true, attributeFilter: ['data-state']});"""
# Where the page's own read of the board ended and its rows were shown, in ms after navigation.
TIMES = """(() => {
  const read = performance.getEntriesByType('resource').find((entry) => entry.name.includes('/v1/boards/'));
  return {shown: window.tamqPageReadyMs, start: read.startTime, answered: read.responseEnd,
          rows: document.querySelectorAll('#table tbody tr').length};
})()"""


def sizes(root):
    total = total_gzipped = 0
    for name in FILES:
        with open(os.path.join(root, "deploy", "page", name), "rb") as file:
            data = file.read()
        gzipped = len(gzip.compress(data, 6))
        print(f"page file {name}: {len(data)} bytes, {gzipped} gzipped")
        total += len(data)
        total_gzipped += gzipped
    print(f"the board page: {total} bytes, {total_gzipped} gzipped (gzip -6)")


def read_times(url, edge=None):
    times = []
    for _ in range(READS):
        start = time.perf_counter()
        with (edge.open(url) if edge else urllib.request.urlopen(url, timeout=30)) as reply:
            reply.read()
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times), max(times)


def main(root, port):
    sizes(root)
    game = tempfile.mkdtemp(prefix="tamq-page-bench-")
    edge = Edge(root, f"127.0.0.1:{port}", game, {"TAMQ_EDGE_READ_RATE": "100000r/s"})
    browser = None
    try:
        for season in ("current", "all"):
            path = f"/v1/boards/normal/hard?season={season}&limit=100"
            for where, base, over in (("service", f"http://127.0.0.1:{port}", None), ("nginx over HTTPS", edge.url, edge)):
                median, slowest = read_times(base + path, over)
                print(f"API read of 100 entries, season={season}, {where}: median {median:.1f} ms, "
                      f"slowest {slowest:.1f} ms of {READS}")
        browser = Chromium(flags=[edge.trusting_flag()])
        browser.call("Page.addScriptToEvaluateOnNewDocument", source=READY_HOOK)
        loads = []
        for _ in range(LOADS):
            browser.navigate(edge.url + "/?season=current&mode=normal&difficulty=hard")
            browser.wait_for("document.body.dataset.state === 'ready'", 60, "the rows shown")
            loads.append(browser.evaluate(TIMES))
        rows = ", ".join(str(count) for count in sorted({load["rows"] for load in loads}))
        shown = statistics.median(load["shown"] for load in loads)
        read = statistics.median(load["answered"] - load["start"] for load in loads)
        drawn = statistics.median(load["shown"] - load["answered"] for load in loads)
        print(f"page in Chromium, {rows} rows of this week: shown {shown:.1f} ms after navigation, "
              f"its API read {read:.1f} ms, rows drawn {drawn:.1f} ms after the answer (medians of {LOADS})")
    finally:
        if browser is not None:
            browser.close()
        edge.close()
        os.rmdir(game)
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
