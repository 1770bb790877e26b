"""The browser build on a real board, in headless Chromium, as a player meets it: a board of
the test's own (PostgreSQL cluster and tamq-board in a temporary folder, allowing the page's
origin), named by the page's address (?board=...).

    board_test.py SITE SHOTS BOARD_EXE DESKTOP_GAME PROJECT_ROOT

Over HTTP, then over HTTPS through nginx with a throwaway certificate authority that this
Chromium is told to trust:
1. The page gets a token and reads the board before SPACE; the HARD run that follows is
   ranked, dies, and its game over asks for a name, typed with the arrows and SPACE.
2. The run is submitted and accepted: the game says "RANK n", the board's own API lists the
   name with the score the game kept as its best, and the game-over screen shows the board.
3. player.json is kept in the site's IndexedDB (the name, the install's key, the board
   score): after a reload the title screen shows the board again and the name is offered
   again.
4. T on the title screen plays the board's best run, fetched from the board; that record,
   made in the browser, is valid for the desktop build.
5. D takes the day's road: a run on the day's token is stored on the day's table alone; the
   next attempt races the day's leader, its record fetched first, and the board's re-play
   accepts it all the same.
And a board whose certificate Chromium does not trust: the game says once that it cannot be
reached and plays on with no board shown.
"""

import json
import os
import subprocess
import sys
import time
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, verdict  # noqa: E402
from devtools import COUNT_FRAMES, Chromium, Site, wait_until  # noqa: E402
from localboard import LocalBoard, TlsProxy  # noqa: E402
from pictures import Picture  # noqa: E402

# The name entry's characters in the order UP turns through them, from the blank.
LETTERS = " ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_"
# The board's red heading ("ONLINE TOP 5") in the grass right of the road, drawn only with
# entries to show.
BOARD_HEADING = (1040, 250, 226, 30)


def red_pixels(picture, x, y, width, height):
    count = 0
    for row in range(y, y + height):
        start = (row * picture.width + x) * 3
        line = picture.rgb[start:start + width * 3]
        # The heading's dark red against the olive grass (red barely above green there).
        count += sum(1 for i in range(0, len(line), 3)
                     if line[i] - line[i + 1] > 25 and line[i] - line[i + 2] > 30)
    return count


def board_shown(picture):
    return red_pixels(picture, *BOARD_HEADING) > 40


def frames(browser, count):
    start = browser.evaluate("window.tamqFrames")
    browser.wait_for(f"window.tamqFrames >= {start + count}", 30, f"{count} frames")


def press(browser, key):
    """Held for two frames and let go for two: the name entry reads one press a frame."""
    browser.key(key, True)
    frames(browser, 2)
    browser.key(key, False)
    frames(browser, 2)


def type_name(browser, name):
    for i, letter in enumerate(name):
        for _ in range(LETTERS.index(letter)):
            press(browser, "Up")
        if i + 1 < len(name):
            press(browser, "Right")
    press(browser, "Space")


def screenshot(browser, shots, name, condition=None, timeout=30):
    """The page after a frame or two; with condition, the first screenshot meeting it."""
    path = os.path.join(shots, f"{name}.png")

    def attempt():
        frames(browser, 2)
        picture = Picture(browser.screenshot(path))
        return picture if condition is None or condition(picture) else None

    try:
        return wait_until(attempt, timeout, name)
    except TimeoutError:
        check(False, f"{name}: never as expected (see {path})")
        return Picture(path)


def open_game(browser, page):
    browser.navigate(page)
    browser.wait_for("window.tamqFrames > 10", 120, "the game running")


def ranked_run(browser, board_url, name, shots, prefix):
    """A fresh visit: token, run, name, submission. The run's score as the game kept it."""
    start = time.monotonic()
    token = f"{board_url}/v1/runs/start"
    try:
        wait_until(lambda: browser.exchanged("POST", token, 200), 60, "a token")
        wait_until(lambda: browser.exchanged("GET", f"{board_url}/v1/boards/normal/hard", 200), 60,
                   "the board read")
    except TimeoutError as error:
        check(False, f"{prefix}: {error}; exchanges {browser.exchanges}")
        return None
    tokens = len(browser.exchanged("POST", token))
    browser.key_action("Space", "state.running", f"{prefix}: the HARD run started")
    # The token was used up by the run: the game asks for the next one at once.
    wait_until(lambda: len(browser.exchanged("POST", token)) > tokens, 30, "the next token")
    # Left alone, a HARD run ends at the first car that reaches the bar.
    browser.wait_state("state.askingName", 600, f"{prefix}: the name asked at game over")
    screenshot(browser, shots, f"{prefix}-name-entry")
    type_name(browser, name)
    try:
        browser.wait_state("state.boardStatus.startsWith('RANK ')", 60, f"{prefix}: the rank")
    except TimeoutError:
        check(False, f"{prefix}: no rank; the status says {browser.evaluate('Module.gameState.boardStatus')!r}, "
                     f"exchanges {browser.exchanged('POST', board_url + '/v1/runs')}")
        return None
    status = browser.evaluate("Module.gameState.boardStatus")
    submitted = browser.exchanged("POST", f"{board_url}/v1/runs", 201)
    check(len([e for e in submitted if e["url"] == f"{board_url}/v1/runs"]) == 1,
          f"{prefix}: submissions {browser.exchanged('POST', board_url + '/v1/runs')}")
    over = screenshot(browser, shots, f"{prefix}-game-over", board_shown)
    check(board_shown(over), f"{prefix}: the game-over screen shows no board")
    best = json.loads(wait_until(lambda: browser.stored_file("best.json"), 30, "best.json"))
    print(f"{prefix}: ranked run named {name}, {status}, score {best['normalHard']}, "
          f"in {time.monotonic() - start:.1f} s")
    return best["normalHard"]


def on_the_board(board, name, score, prefix):
    status, answer = board.call("GET", "/v1/boards/normal/hard?limit=100")
    entries = {entry["name"]: entry for entry in answer.get("entries", [])}
    check(status == 200 and name in entries, f"{prefix}: {name} is not on the board: {status} {answer}")
    if name in entries:
        check(int(entries[name]["score"]) == score,
              f"{prefix}: the board has {entries[name]['score']} for {name}, the game kept {score}")
    return entries.get(name)


def player_file_kept(browser, name, score, prefix):
    text = browser.stored_file("player.json")
    player = json.loads(text) if text else {}
    key = player.get("playerKey", "")
    check(player.get("name") == name, f"{prefix}: player.json remembers {player.get('name')!r}")
    check(len(key) == 43 and key.isalnum() and key.isascii(), f"{prefix}: player key {key!r}")
    check(player.get("boards", {}).get("normal-hard") == score, f"{prefix}: board scores {player.get('boards')}")
    return key


def plain(browser, site, board, game, root, shots):
    page = f"{site.url}?board={urllib.parse.quote(board.url, safe='')}"
    open_game(browser, page)
    score = ranked_run(browser, board.url, "ACE", shots, "http")
    if score is None:
        return
    entry = on_the_board(board, "ACE", score, "http")
    key = player_file_kept(browser, "ACE", score, "http")

    # What lasts: the player file, read back from IndexedDB; the board shown on the title.
    browser.reload()
    browser.wait_for("window.tamqFrames > 10", 120, "the reloaded game running")
    title = screenshot(browser, shots, "http-title-with-board", board_shown, 60)
    check(board_shown(title), "the title screen after a reload shows no board")
    check(player_file_kept(browser, "ACE", score, "after the reload") == key, "the player key changed on reload")

    # T: the board's best run, fetched and watched. (Thirty seconds on the title screen
    # play the local best by itself: any key ends that first.)
    if entry is not None:
        record = f"{board.url}/v1/runs/{entry['runId']}/record"
        def watch_board_run():
            if browser.evaluate("Module.gameState.watching"):
                browser.tap("Left")
                browser.wait_state("!state.watching", 30, "the idle replay ended")
            # The shell reads T's state once a frame: held across frames, as a finger does.
            browser.wait_state("state.keyReady", 30, "the game ready for T")
            press(browser, "T")
            try:
                return wait_until(lambda: browser.exchanged("GET", record, 200), 15, "the record")
            except TimeoutError:
                return None

        try:
            wait_until(watch_board_run, 120, "the board's best run fetched")
            browser.wait_state("state.watching", 30, "the board's best run watched")
        except TimeoutError:
            check(False, f"T fetched no record: {browser.exchanged('GET', board.url + '/v1/runs/')}")
        screenshot(browser, shots, "http-watching")
        verified_on_the_desktop(board, entry["runId"], game, root, shots)
        press(browser, "T")
        browser.wait_state("!state.watching", 30, "the watching ended by T")
    daily_road(browser, board, shots)


def daily_road(browser, board, shots):
    start, runs = f"{board.url}/v1/runs/start", f"{board.url}/v1/runs"

    def accepted():
        return len([e for e in browser.exchanged("POST", runs, 201) if e["url"] == runs])

    def records():
        return len([e for e in browser.exchanged("GET", runs + "/", 200) if e["url"].endswith("/record")])

    tokens, fetched = len(browser.exchanged("POST", start, 200)), records()
    browser.wait_state("state.keyReady && !state.watching", 30, "the game ready for D")
    press(browser, "D")
    wait_until(lambda: len(browser.exchanged("POST", start, 200)) > tokens, 30, "the day's token")
    # The name entry offers the player's name: SPACE keeps it.
    for attempt in (1, 2):
        before = accepted()
        browser.key_action("Space", "state.running", "daily: the run started")
        browser.wait_state("state.askingName", 600, "daily: the name asked at game over")
        press(browser, "Space")
        try:
            wait_until(lambda: accepted() > before, 60, "daily: the run accepted")
        except TimeoutError:
            check(False, f"daily: not accepted: {browser.exchanged('POST', runs)}")
            return
        if attempt == 1:
            day = board.call("GET", "/v1/boards/normal/hard?season=day&limit=100")[1].get("entries", [])
            all_time = board.call("GET", "/v1/boards/normal/hard?limit=100")[1].get("entries", [])
            check([e["name"] for e in day] == ["ACE"], f"daily: the day's table {day}")
            check(not {e["runId"] for e in day} & {e["runId"] for e in all_time},
                  f"daily: on the all-time table {all_time}")
            try:
                wait_until(lambda: records() > fetched, 60, "the day's leader fetched as the ghost")
            except TimeoutError:
                check(False, "daily: the day's leader was not fetched to ride as the ghost")
    screenshot(browser, shots, "http-daily-game-over")
    print(f"daily: two attempts accepted, the second raced against run {day[0]['runId'] if day else '?'}")


def verified_on_the_desktop(board, run, game, root, shots):
    """The board's copy of the run played in the browser is valid for the desktop build."""
    with urllib.request.urlopen(f"{board.url}/v1/runs/{run}/record", timeout=30) as reply:
        data = reply.read()
    path = os.path.join(shots, "browser-board-run.rec")
    with open(path, "wb") as out:
        out.write(data)
    verdict = subprocess.run([game, "--verify", path], cwd=root, capture_output=True, text=True, timeout=120)
    check(verdict.returncode == 0 and '"valid":true' in verdict.stdout,
          f"the desktop build does not verify the browser's board run: {verdict.stdout} {verdict.stderr}")
    print(f"the browser's board run verified by the desktop build: {verdict.stdout.strip()} ({len(data)} bytes)")


def untrusted(browser, site, tls, shots):
    """A board whose certificate this Chromium does not trust: one line, no board, play on."""
    lines_before = [p for p in browser.problems if "board: " in p]
    open_game(browser, f"{site.url}?board={urllib.parse.quote(tls.url, safe='')}")
    unreachable = f"board: {tls.url} cannot be reached"

    def said():
        return [p for p in browser.problems if unreachable in p]
    try:
        wait_until(said, 60, "the board said unreachable")
    except TimeoutError:
        check(False, f"no line for an untrusted board; the page said {browser.problems}")
    browser.key_action("Space", "state.running", "a run without the board")
    title = screenshot(browser, shots, "untrusted-run")
    check(not board_shown(title), "a board is shown though it cannot be reached")
    # A few more frames, and still one line.
    frames(browser, 60)
    check(len(said()) == 1, f"the unreachable board was said {len(said())} times")
    new = [p for p in browser.problems if "board: " in p and p not in lines_before]
    print(f"an untrusted board: {new[0] if new else 'nothing said'}")


def over_tls(site, board, tls, game, root, shots):
    browser = Chromium(flags=[f"--ignore-certificate-errors-spki-list={tls.spki}"])
    try:
        browser.call("Page.addScriptToEvaluateOnNewDocument", source=COUNT_FRAMES)
        browser.watch_network()
        open_game(browser, f"{site.url}?board={urllib.parse.quote(tls.url, safe='')}")
        score = ranked_run(browser, tls.url, "TLS", shots, "https")
        if score is not None:
            on_the_board(board, "TLS", score, "https")
            player_file_kept(browser, "TLS", score, "https")
        log = tls.access_log()
        check(any(line.startswith("POST /v1/runs 201 ") for line in log), f"nginx saw no accepted run: {log}")
        print("over HTTPS: " + "; ".join(line for line in log if line.startswith(("POST", "GET /v1/runs/"))))
        check(not browser.problems, f"browser console over HTTPS: {browser.problems}")
    finally:
        browser.close()


def main(site_folder, shots, board_exe, game, root):
    os.makedirs(shots, exist_ok=True)
    site = Site(site_folder)
    board = tls = browser = None
    try:
        board = LocalBoard(board_exe, root, [site.url.rstrip("/")],
                           ["--read-rate", "100000", "--write-rate", "100000"])
        tls = TlsProxy(root, board.url)
        browser = Chromium()
        browser.call("Page.addScriptToEvaluateOnNewDocument", source=COUNT_FRAMES)
        browser.watch_network()
        plain(browser, site, board, game, root, shots)
        # A player with no row yet on the table shown (the day's, before its first run) is
        # told so by a 404 of the place read, which the browser logs; any other 404 is a fault.
        not_found = [e["url"] for e in browser.exchanged("GET", board.url, 404)]
        told = all("/around?" in url and "player=" in url for url in not_found)
        problems = [p for p in browser.problems if not (told and "status of 404" in p)]
        check(not problems, f"browser console over HTTP: {problems}")
        browser.problems.clear()
        untrusted(browser, site, tls, shots)
        browser.close()
        browser = None
        over_tls(site, board, tls, game, root, shots)
    finally:
        if browser is not None:
            browser.close()
        if tls is not None:
            tls.close()
        if board is not None:
            board.close()
        site.close()
    return verdict("board", "the browser build on a board passed", shots)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:6]))
