"""Board runs watched from a link, in headless Chromium, against a board of the test's own
with ranked runs the game made and named (two players, each a fresh browser):

    watch_test.py SITE SHOTS BOARD_EXE PROJECT_ROOT

1. Each accepted run shows its page address under the picture, {board}/?run=ID; the
   board lists both runs, in order, for this week and for all time.
2. The game page at ?board=...&watch=ID plays that run to its end: its score is the one
   the board gives the run, then the title screen follows. The time from the page's start
   to the run's first frame is printed.
3. A run the board lacks, and a run number that is no number: one line each on the
   console, and the title screen.
"""

import os
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from board_test import on_the_board, open_game, ranked_run  # noqa: E402
from checks import check, verdict  # noqa: E402
from devtools import COUNT_FRAMES, Chromium, Site, wait_until  # noqa: E402
from localboard import LocalBoard  # noqa: E402

# When the watched run's first frame came, on the page's clock (from its navigation).
FIRST_WATCHED_FRAME = """
(() => {
  const look = () => {
    const state = window.Module && Module.gameState;
    if (state && state.watching && window.tamqWatchedAt === undefined) {
      window.tamqWatchedAt = performance.now();
    }
    requestAnimationFrame(look);
  };
  requestAnimationFrame(look);
})();
"""


def fresh_browser():
    browser = Chromium()
    browser.call("Page.addScriptToEvaluateOnNewDocument", source=COUNT_FRAMES)
    browser.call("Page.addScriptToEvaluateOnNewDocument", source=FIRST_WATCHED_FRAME)
    browser.watch_network()
    return browser


def play_and_share(site, board, name, shots):
    """A fresh player's ranked run: its board entry, once its page address is shown."""
    browser = fresh_browser()
    try:
        open_game(browser, f"{site.url}?board={urllib.parse.quote(board.url, safe='')}")
        score = ranked_run(browser, board.url, name, shots, f"run-{name}")
        if score is None:
            return None
        entry = on_the_board(board, name, score, name)
        shared = browser.wait_for("!document.getElementById('share').hidden && "
                                  "document.getElementById('share-link').href", 30, "the run's address shown")
        if entry is not None:
            check(shared == f"{board.url}/?run={entry['runId']}", f"{name}: the page shows {shared!r}")
        check(not browser.problems, f"{name}: browser console: {browser.problems}")
        return entry
    finally:
        browser.close()


def listed_in_order(board, entries):
    for season in ("current", "all"):
        status, answer = board.call("GET", f"/v1/boards/normal/hard?season={season}&limit=100")
        listed = [e["runId"] for e in answer.get("entries", [])]
        ranked = [e["runId"] for e in sorted(entries, key=lambda e: -e["score"])]
        check(status == 200 and [r for r in listed if r in ranked] == ranked,
              f"season {season}: the board lists {listed}, expected {ranked} in that order")


def watched(browser, site, board, entry):
    """The run played to its end from its link, with the board's score; the seconds to its first frame."""
    run = entry["runId"]
    _, summary = board.call("GET", f"/v1/runs/{run}")
    browser.navigate(f"{site.url}?board={urllib.parse.quote(board.url, safe='')}&watch={run}")
    try:
        first = browser.wait_for("window.tamqWatchedAt", 60, f"run {run} shown")
        browser.wait_state(f"state.watching && state.shownScore === {summary['score']}", 600,
                           f"run {run} reaching its score {summary['score']}")
        browser.wait_state("!state.watching", 30, f"run {run} ended")
    except TimeoutError as error:
        check(False, f"{error}; the page said {browser.problems}")
        return None
    check(not browser.evaluate("Module.gameState.running"), f"run {run}: no title screen after it")
    return first / 1000.0


def refused(browser, site, board, run, line, expected=()):
    """A link to a run that cannot be watched: one line, and the title screen. The browser
    itself may also log the refusal it saw (expected)."""
    before = len(browser.problems)
    open_game(browser, f"{site.url}?board={urllib.parse.quote(board.url, safe='')}&watch={urllib.parse.quote(run)}")

    def said():
        return [p for p in browser.problems[before:] if line in p]
    try:
        wait_until(said, 30, f"the line for watch={run}")
    except TimeoutError:
        check(False, f"watch={run}: nothing said; the console has {browser.problems[before:]}")
    start = browser.evaluate("window.tamqFrames")
    browser.wait_for(f"window.tamqFrames >= {start + 60}", 30, "60 frames")
    check(len(said()) == 1, f"watch={run}: said {len(said())} times")
    check(not browser.evaluate("Module.gameState.watching || Module.gameState.running"),
          f"watch={run}: not the title screen")
    others = [p for p in browser.problems[before:] if line not in p and not any(e in p for e in expected)]
    check(not others, f"watch={run}: the console also has {others}")
    del browser.problems[before:]


def main(site_folder, shots, board_exe, root):
    os.makedirs(shots, exist_ok=True)
    site = Site(site_folder)
    board = browser = None
    try:
        board = LocalBoard(board_exe, root, [site.url.rstrip("/")],
                           ["--read-rate", "100000", "--write-rate", "100000"])
        entries = [e for e in (play_and_share(site, board, name, shots) for name in ("ACE", "BOB")) if e]
        check(len(entries) == 2, f"ranked runs made: {len(entries)}")
        listed_in_order(board, entries)
        browser = fresh_browser()
        for entry in entries:
            started = time.monotonic()
            seconds = watched(browser, site, board, entry)
            if seconds is not None:
                print(f"watch link: run {entry['runId']} ({entry['name']}, {int(entry['score'])}): first frame of "
                      f"the run {seconds:.2f} s after the page's start; played to its end in "
                      f"{time.monotonic() - started:.1f} s")
        refused(browser, site, board, "999999", "board: run 999999 cannot be fetched (it answers 404)",
                ["the server responded with a status of 404"])
        refused(browser, site, board, "abc", "board: run abc cannot be watched (no run's number)")
        check(not browser.problems, f"browser console: {browser.problems}")
    finally:
        if browser is not None:
            browser.close()
        if board is not None:
            board.close()
        site.close()
    return verdict("watch", "board runs watched from links passed", shots)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
