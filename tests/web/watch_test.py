"""Board runs watched from the board page's links, in headless Chromium: the board's nginx
site over HTTPS (the page at /, the browser build at /play/, the API beside them) in front of a board
of the test's own, with ranked runs the game made and named (two players, each a fresh
browser):

    watch_test.py SITE SHOTS BOARD_EXE PROJECT_ROOT

1. Each accepted run shows its page address under the picture, {board}/?run=ID; the page
   lists both runs, in the board's order, for this week and for all time.
2. A row's watch link opens the game page, which plays that run to its end: its score is
   the one the page shows, then the title screen follows. The time from the click to the
   run's first frame is printed.
3. On the game's title screen, PAGE DOWN and T watch the table's second row, all time and
   (W) this week.
4. A run the board lacks, and a run number that is no number: one line each on the
   console, and the title screen.
"""

import os
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from board_test import on_the_board, open_game, ranked_run  # noqa: E402
from checks import check, verdict  # noqa: E402
from devtools import COUNT_FRAMES, Chromium, wait_until  # noqa: E402
from localboard import Edge, LocalBoard  # noqa: E402
from page_test import click, show  # noqa: E402

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


def fresh_browser(edge):
    browser = Chromium(flags=[edge.trusting_flag()])
    browser.call("Page.addScriptToEvaluateOnNewDocument", source=COUNT_FRAMES)
    browser.call("Page.addScriptToEvaluateOnNewDocument", source=FIRST_WATCHED_FRAME)
    browser.watch_network()
    return browser


def game_page(edge, watch=None):
    page = f"{edge.url}/play/?board={urllib.parse.quote(edge.url, safe='')}"
    return page if watch is None else f"{page}&watch={urllib.parse.quote(watch)}"


def play_and_share(edge, board, name, shots):
    """A fresh player's ranked run: its board entry, once its page address is shown."""
    browser = fresh_browser(edge)
    try:
        open_game(browser, game_page(edge))
        score = ranked_run(browser, edge.url, name, shots, f"run-{name}")
        if score is None:
            return None
        entry = on_the_board(board, name, score, name)
        shared = browser.wait_for("!document.getElementById('share').hidden && "
                                  "document.getElementById('share-link').href", 30, "the run's address shown")
        if entry is not None:
            check(shared == f"{edge.url}/?run={entry['runId']}", f"{name}: the page shows {shared!r}")
        check(not browser.problems, f"{name}: browser console: {browser.problems}")
        return entry
    finally:
        browser.close()


def listed_in_order(browser, edge, entries):
    ranked = [e["name"] for e in sorted(entries, key=lambda e: (-int(e["score"]), e["runId"]))]
    rows = show(browser, edge.url + "/")
    check([row["name"] for row in rows] == ranked, f"this week on the page: {rows}")
    rows = click(browser, "#seasons button[data-season='all']")
    check([row["name"] for row in rows] == ranked, f"all time on the page: {rows}")


def watched(browser, edge, entry):
    """The run's watch link followed from the page and played to its end with the page's
    score; the seconds from the click to its first frame."""
    run = entry["runId"]
    show(browser, f"{edge.url}/?run={run}")
    score = browser.evaluate("document.querySelector('#run-score').textContent")
    try:
        browser.follow("#run-watch")
        first = browser.wait_for("window.tamqWatchedAt", 60, f"run {run} shown")
        browser.wait_state(f"state.watching && state.shownScore === {int(score)}", 600,
                           f"run {run} reaching the page's score {score}")
        browser.wait_state("!state.watching", 30, f"run {run} ended")
    except (TimeoutError, ValueError) as error:
        check(False, f"{error}; the page said {browser.problems}")
        return None
    check(not browser.evaluate("Module.gameState.running"), f"run {run}: no title screen after it")
    return first / 1000.0


def browsed(browser, edge, entries, shots):
    """On the title screen, PAGE DOWN moves the table's highlight to the second row, and T
    watches that run rather than the board's best; W shows this week, where it is too."""
    from board_test import press  # noqa: E402
    second = entries[1]["runId"]
    for season in ("all", "current"):
        open_game(browser, game_page(edge))
        browser.wait_for(f"performance.getEntriesByType('resource').some((e) => e.name.includes("
                         f"'/v1/boards/normal/hard?season=all'))", 30, "the table read")
        if season == "current":
            press(browser, "W")
            browser.wait_for("performance.getEntriesByType('resource').some((e) => e.name.includes("
                             "'season=current'))", 30, "this week's table read")
        for _ in range(2):
            press(browser, "PageDown")
        browser.screenshot(os.path.join(shots, f"browsed-{season}.png"))
        press(browser, "T")
        try:
            browser.wait_state("state.watching", 60, f"the second row watched ({season})")
        except TimeoutError:
            check(False, f"{season}: T on the second row watched nothing; {browser.problems}")
            continue
        fetched = [e["url"] for e in browser.exchanged("GET", f"{edge.url}/v1/runs/")]
        check(fetched and fetched[-1].endswith(f"/v1/runs/{second}/record"),
              f"{season}: the second row's run {second} was not the one fetched: {fetched}")
        press(browser, "T")
        browser.wait_state("!state.watching", 30, "the watching ended by T")


def refused(browser, edge, run, line, expected=()):
    """A link to a run that cannot be watched: one line, and the title screen. The browser
    itself may also log the refusal it saw (expected)."""
    before = len(browser.problems)
    open_game(browser, game_page(edge, run))

    def said():
        # The console's events come in with the answers to calls.
        browser.evaluate("0")
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
    board = edge = browser = None
    try:
        board = LocalBoard(board_exe, root, [], ["--read-rate", "100000", "--write-rate", "100000"])
        edge = Edge(root, f"127.0.0.1:{board.port}", os.path.abspath(site_folder),
                    {"TAMQ_EDGE_READ_RATE": "1000r/s", "TAMQ_EDGE_WRITE_RATE": "100r/s"})
        entries = [e for e in (play_and_share(edge, board, name, shots) for name in ("ACE", "BOB")) if e]
        check(len(entries) == 2, f"ranked runs made: {len(entries)}")
        browser = fresh_browser(edge)
        listed_in_order(browser, edge, entries)
        for entry in entries:
            started = time.monotonic()
            seconds = watched(browser, edge, entry)
            if seconds is not None:
                print(f"watch link: run {entry['runId']} ({entry['name']}, {int(entry['score'])}): first frame of "
                      f"the run {seconds:.2f} s after the click; played to its end in "
                      f"{time.monotonic() - started:.1f} s")
        browsed(browser, edge, entries, shots)
        refused(browser, edge, "999999", "board: run 999999 cannot be fetched (it answers 404 not_found: no run 999999)",
                ["the server responded with a status of 404"])
        refused(browser, edge, "abc", "board: run abc cannot be watched (no run's number)")
        check(not browser.problems, f"browser console: {browser.problems}")
    finally:
        for part in (browser, edge, board):
            if part is not None:
                part.close()
    return verdict("watch", "board runs watched from the page's links passed", shots)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
