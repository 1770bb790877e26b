"""The board page (deploy/page) in headless Chromium, served by the board's nginx site in
front of a real board (a PostgreSQL cluster and tamq-board of the test's own), with runs
played by the tests' scripted player and submitted through the API:

    page_test.py BOARD_EXE BOARD_SUBMIT_EXE PROJECT_ROOT

this week's and all time's entries in the board's order, paging by a hundred, an earlier
week from the week list, a player's name holding markup shown as text, each row's watch
link to the browser build at /play/, a run's own page (?run=ID) with the rows around it
and a run that is none, a player's page (?player=ID) reached from their name and a player
that is none, and no horizontal scrolling on a 360 px phone.
"""

import datetime
import json
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import check, verdict  # noqa: E402
from devtools import Chromium  # noqa: E402
from localboard import Edge, LocalBoard  # noqa: E402

# Played runs on normal/hard: (name, player, scripted variant).
PLAYED = [("ALPHA", 1, 0), ("BRAVO", 2, 1), ("CHARLIE", 3, 2), ("DELTA", 4, 3)]
# Runs written into the database under the played ones, so that there is a second page.
FILLERS = 120
HOSTILE = "<script>window.tamqInjected=1</script><b>X</b>"
GAME_PAGE = "<!doctype html><title>the browser build</title>"
# The rows as the page shows them.
ROWS = """[...document.querySelectorAll('#table tbody tr')].map((row) => ({
  rank: row.querySelector('.rank').textContent, name: row.querySelector('.name').textContent,
  watch: row.querySelector('.watch a').href, chosen: row.classList.contains('chosen')}))"""


def submit(tool, board, mode, name, player, variant):
    answer = subprocess.run([tool, str(board.port), os.path.join(board.folder, "secret"), mode, "hard", name,
                             str(player), str(variant)], capture_output=True, text=True, timeout=120)
    if answer.returncode != 0:
        raise RuntimeError(f"board_submit {name}: {answer.stdout}{answer.stderr}")
    return json.loads(answer.stdout)


def show(browser, url):
    browser.navigate(url)
    return shown(browser)


def shown(browser):
    browser.wait_for("document.body.dataset.state !== 'loading'", 30, "the board shown")
    return browser.evaluate(ROWS)


def click(browser, selector):
    browser.evaluate("document.body.dataset.state = 'loading';"
                     f"document.querySelector({json.dumps(selector)}).click()")
    return shown(browser)


def main(board_exe, submit_exe, root):
    game = tempfile.mkdtemp(prefix="tamq-page-game-")
    os.chmod(game, 0o755)
    with open(os.path.join(game, "index.html"), "w") as page:
        page.write(GAME_PAGE)
    board = edge = browser = None
    try:
        board = LocalBoard(board_exe, root, [], ["--write-rate", "100:200"])
        played = [submit(submit_exe, board, "normal", *run) | {"name": run[0]} for run in PLAYED]
        other = submit(submit_exe, board, "random", "ECHO", 5, 4)
        board.psql("-v", "tag=FILL", "-v", f"count={FILLERS}", "-v", "top=0", "-v", "age=0 days",
                   "-f", os.path.join(root, "tests/lib/board-seed.sql"))
        board.psql("-v", "tag=OLD", "-v", "count=1", "-v", "top=1000000", "-v", "age=14 days",
                   "-f", os.path.join(root, "tests/lib/board-seed.sql"))
        old_week = board.psql("-c", "SELECT week FROM runs WHERE name = 'OLD1'").strip()
        hostile = played[1]["runId"]
        board.psql("-c", f"UPDATE runs SET name = $${HOSTILE}$$ WHERE id = {hostile};"
                   f"UPDATE best_runs SET name = $${HOSTILE}$$ WHERE run_id = {hostile}")
        for run in played:
            run["shown"] = HOSTILE if run["runId"] == hostile else run["name"]
        played.sort(key=lambda run: (-run["score"], run["runId"]))
        week = [run["shown"] for run in played] + [f"FILL{n}" for n in range(1, FILLERS + 1)]

        edge = Edge(root, f"127.0.0.1:{board.port}", game, {"TAMQ_EDGE_READ_RATE": "1000r/s"})
        # The board's address is a query value, encoded as one.
        watch = f"{edge.url}/play/?{urllib.parse.urlencode({'board': edge.url, 'watch': ''})}"
        browser = Chromium(flags=[edge.trusting_flag()])

        rows = show(browser, edge.url + "/")
        check([row["name"] for row in rows] == week[:100], f"this week's first page: {[r['name'] for r in rows]}")
        check([row["rank"] for row in rows] == [str(n) for n in range(1, 101)], "ranks 1 to 100 on the first page")
        check(all(row["watch"] == watch + str(run["runId"]) for row, run in zip(rows, played)),
              f"watch links: {[row['watch'] for row in rows[:len(played)]]}")
        check(browser.evaluate("document.querySelector('#previous').disabled"), "no page before the first")
        check(browser.evaluate("window.tamqInjected === undefined && !document.querySelector('tbody script, tbody b')"),
              "a name's markup ran or was drawn")
        rows = click(browser, "#next")
        check([row["name"] for row in rows] == week[100:], f"the second page: {[r['name'] for r in rows]}")
        check(rows and rows[0]["rank"] == "101", "the second page starts at 101")
        check(browser.evaluate("document.querySelector('#next').disabled"), "no page after the last")
        check("offset=100" in browser.evaluate("location.search"), "the page's address keeps its offset")

        rows = click(browser, "#seasons button[data-season='all']")
        check([row["name"] for row in rows[:len(week) + 1]] == (["OLD1"] + week)[:100],
              f"all time: {[r['name'] for r in rows[:6]]}")
        check(browser.evaluate("document.querySelector('#heading').textContent").endswith("all time"), "heading")
        rows = click(browser, "#boards button[data-mode='random'][data-difficulty='hard']")
        check([row["name"] for row in rows] == ["ECHO"], f"the random hard board: {rows}")
        rows = show(browser, f"{edge.url}/?season={old_week}")
        check([row["name"] for row in rows] == ["OLD1"], f"week {old_week}: {rows}")
        check(browser.evaluate("document.querySelector('#week').value") == old_week, "the week list names it")
        this_monday = datetime.datetime.now(datetime.timezone.utc).date()
        this_monday -= datetime.timedelta(days=this_monday.weekday())
        earlier = [(this_monday - datetime.timedelta(weeks=n)).isocalendar() for n in range(1, 13)]
        listed = browser.evaluate("[...document.querySelectorAll('#week option')].slice(1).map((o) => o.value)")
        check(listed == [f"{year}-W{week:02d}" for year, week, _ in earlier], f"the earlier weeks listed: {listed}")

        # A run's own page: its summary, its watch link, and its row in its week's table.
        chosen = played[0]
        rows = show(browser, f"{edge.url}/?run={chosen['runId']}")
        summary = browser.evaluate("({name: document.querySelector('#run-name').textContent,"
                                   " score: document.querySelector('#run-score').textContent,"
                                   " rank: document.querySelector('#run-rank').textContent,"
                                   " watch: document.querySelector('#run-watch').href,"
                                   " hidden: document.querySelector('#run').hidden})")
        check(not summary["hidden"] and summary["name"] == chosen["shown"], f"the run's summary: {summary}")
        check(summary["score"] == str(int(chosen["score"])), f"whole points: {summary} of {chosen['score']}")
        check(summary["rank"].startswith("2 of all time, 1 of week"), f"its places: {summary['rank']}")
        check(summary["watch"] == watch + str(chosen["runId"]), f"its watch link: {summary['watch']}")
        check([row["name"] for row in rows if row["chosen"]] == [chosen["shown"]], "its row marked")
        # The rows around it, as the board answers them.
        with edge.open(f"{edge.url}/v1/boards/normal/hard/around?season=all&run={chosen['runId']}&rows=5") as reply:
            around = [entry["name"] for entry in json.load(reply)["entries"]]
        shown_around = browser.evaluate("[...document.querySelectorAll('#around:not([hidden]) tbody .name')]"
                                        ".map((cell) => cell.textContent)")
        check(shown_around == around and chosen["shown"] in around,
              f"the rows around the run: {shown_around}, the board's {around}")
        with edge.open(summary["watch"]) as reply:
            check(reply.read().decode() == GAME_PAGE, "the watch link opens the browser build")
        # A link someone wrote with http:// lands on the same page over HTTPS, told to stay.
        with edge.open(f"{edge.plain}/?run={chosen['runId']}") as reply:
            check(reply.url == f"{edge.url}/?run={chosen['runId']}" and "max-age" in reply.headers["Strict-Transport-Security"],
                  f"plain HTTP's page: {reply.url}, {reply.headers}")
        before = len(browser.problems)
        show(browser, f"{edge.url}/?run=999999")
        check(browser.evaluate("document.querySelector('#notice').textContent") == "There is no run 999999 on this board.",
              "a run that is none says so")
        # The browser notes the 404 it was answered, as it does any.
        expected = [p for p in browser.problems[before:] if "status of 404" in p]
        check(len(expected) == 1, f"one 404 for the run that is none: {browser.problems[before:]}")
        for problem in expected:
            browser.problems.remove(problem)
        check(browser.evaluate("document.querySelector('#run').hidden"), "no summary for it")
        check(other["runId"] > 0, "the random board's run stored")

        # A player's page from their name: bests with their places, latest runs, watch links.
        show(browser, edge.url + "/")
        player_link = browser.evaluate("document.querySelector('#table tbody .name a').href")
        check(player_link.startswith(f"{edge.url}/?player="), f"the name links to its player: {player_link}")
        show(browser, player_link)
        page = browser.evaluate("""({name: document.querySelector('#player-name').textContent,
          bests: [...document.querySelectorAll('#player-bests tbody .rank')].map((cell) => cell.textContent),
          watch: [...document.querySelectorAll('#player tbody .watch a')].map((link) => link.href)})""")
        check(page["name"] == chosen["shown"], f"the player's name: {page}")
        fillers = FILLERS + len(PLAYED)
        check(page["bests"] == [f"1 of {fillers}", f"2 of {fillers + 1}"], f"this week's and all time's: {page}")
        check(page["watch"] == [watch + str(chosen["runId"])] * 3, f"each run's watch link: {page['watch']}")
        show(browser, browser.evaluate("[...document.querySelectorAll('#table .name a')]"
                                       f".find((link) => link.textContent === {json.dumps(HOSTILE)}).href"))
        check(browser.evaluate("document.querySelector('#player-name').textContent") == HOSTILE and
              browser.evaluate("window.tamqInjected === undefined"), "a player's markup ran or was drawn")
        before = len(browser.problems)
        show(browser, f"{edge.url}/?player=0123456789abcdef")
        check(browser.evaluate("document.querySelector('#notice').textContent") ==
              "There is no such player on this board.", "a player that is none says so")
        expected = [p for p in browser.problems[before:] if "status of 404" in p]
        check(len(expected) == 1, f"one 404 for the player that is none: {browser.problems[before:]}")
        for problem in expected:
            browser.problems.remove(problem)

        browser.call("Emulation.setDeviceMetricsOverride", width=360, height=740, deviceScaleFactor=2, mobile=True)
        show(browser, edge.url + "/")
        width = browser.evaluate("document.documentElement.scrollWidth")
        check(width <= 360, f"the page is {width} px wide on a 360 px phone")
        problems = browser.problems
    finally:
        for part in (browser, edge, board):
            if part is not None:
                part.close()
        shutil.rmtree(game, ignore_errors=True)
    return verdict("board page", "the board page passed", problems=problems)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
