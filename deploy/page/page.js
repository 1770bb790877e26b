// The board page: a board's season read from the board's API on this origin (all time, a
// week or a day), a hundred entries a page, each with a link that opens the browser build
// watching that run, its rank linking to the run's own view and its name to its player's;
// with ?run=ID, that run's summary and the rows around it above its season's table; with
// ?player=ID, the player's bests and latest runs. Players choose the names shown: they
// reach the page only as text nodes, never as markup.
"use strict";

(() => {
  const PAGE = 100;
  // The deepest page the API serves.
  const MAX_OFFSET = 10000;
  // Earlier weeks offered in the week list.
  const EARLIER_WEEKS = 12;
  // Earlier days offered in the day list.
  const EARLIER_DAYS = 14;
  // Rows above and below a run in its view.
  const AROUND_ROWS = 5;
  const DAY = /^[0-9]{4}-[0-9]{2}-[0-9]{2}$/;
  const DAY_MS = 86400000;
  const BOARD_NAMES = { normal: "Normal", random: "Random", hard: "hard", easy: "easy" };

  const settings = window.tamqPage || {};
  const gameUrl = settings.gameUrl || "/play/";
  const origin = window.location.origin;
  const $ = (id) => document.getElementById(id);

  // What is shown, kept in the address so that it can be shared and reloaded.
  const query = new URLSearchParams(window.location.search);
  const state = {
    mode: oneOf(query.get("mode"), ["normal", "random"], "normal"),
    difficulty: oneOf(query.get("difficulty"), ["hard", "easy"], "hard"),
    season: query.get("season") || "current",
    offset: wholeNumber(query.get("offset"), 0),
    run: wholeNumber(query.get("run"), null),
    player: /^[0-9a-f]{16}$/.test(query.get("player") || "") ? query.get("player") : null,
  };
  // The week "current" stood for at the last read, for the list of earlier weeks.
  let thisWeek = null;
  // The day "day" stood for at the last read of it; until then the browser's own UTC day.
  let thisDay = new Date().toISOString().slice(0, 10);
  // Answers to superseded reads are dropped.
  let reading = 0;

  function oneOf(value, allowed, fallback) {
    return allowed.includes(value) ? value : fallback;
  }

  function wholeNumber(text, fallback) {
    return text !== null && /^[0-9]{1,9}$/.test(text) ? Number(text) : fallback;
  }

  function watchUrl(runId) {
    return `${gameUrl}?board=${origin}&watch=${runId}`;
  }

  function runUrl(runId) {
    return `${origin}/?run=${runId}`;
  }

  function playerUrl(playerId) {
    return `${origin}/?player=${playerId}`;
  }

  // Whole points, as the game shows them.
  function points(value) {
    return String(Math.trunc(value));
  }

  function boardName(mode, difficulty) {
    return `${BOARD_NAMES[mode]} ${BOARD_NAMES[difficulty]}`;
  }

  function seasonName(season) {
    if (season === "all") {
      return "all time";
    }
    if (DAY.test(season)) {
      return season === thisDay ? `today (${season})` : `day ${season}`;
    }
    return season === thisWeek ? `this week (${season})` : `week ${season}`;
  }

  // The Monday 00:00 UTC that starts ISO week "YYYY-Www", in ms.
  function weekStart(name) {
    const year = Number(name.slice(0, 4));
    const week = Number(name.slice(6, 8));
    const january4 = Date.UTC(year, 0, 4);
    const weekday = (new Date(january4).getUTCDay() + 6) % 7;
    return january4 - weekday * DAY_MS + (week - 1) * 7 * DAY_MS;
  }

  // The ISO week holding a Monday: the year is its Thursday's.
  function weekOfMonday(monday) {
    const thursday = new Date(monday + 3 * DAY_MS);
    const year = thursday.getUTCFullYear();
    const week = Math.floor((monday - weekStart(`${year}-W01`)) / (7 * DAY_MS)) + 1;
    return `${year}-W${String(week).padStart(2, "0")}`;
  }

  function element(tag, text, className) {
    const node = document.createElement(tag);
    if (text !== undefined) {
      node.textContent = text;
    }
    if (className) {
      node.className = className;
    }
    return node;
  }

  function watchLink(runId, text) {
    const link = element("a", text, "watch");
    link.href = watchUrl(runId);
    return link;
  }

  async function getJson(path) {
    let reply;
    try {
      reply = await fetch(path, { headers: { Accept: "application/json" } });
    } catch (error) {
      throw new Error("the board cannot be reached; try again shortly");
    }
    let body = null;
    try {
      body = await reply.json();
    } catch (error) {
      body = null;
    }
    if (!reply.ok) {
      const reason = body && typeof body.reason === "string" ? body.reason : `HTTP ${reply.status}`;
      const failure = new Error(reason);
      failure.status = reply.status;
      throw failure;
    }
    return body;
  }

  function remember(push) {
    const shown = new URLSearchParams();
    if (state.run !== null) {
      shown.set("run", state.run);
    }
    if (state.player !== null) {
      shown.set("player", state.player);
    }
    shown.set("mode", state.mode);
    shown.set("difficulty", state.difficulty);
    shown.set("season", state.season);
    if (state.offset > 0) {
      shown.set("offset", state.offset);
    }
    const address = `${window.location.pathname}?${shown}`;
    (push ? history.pushState : history.replaceState).call(history, null, "", address);
  }

  function pressed() {
    for (const button of $("boards").querySelectorAll("button")) {
      const chosen = button.dataset.mode === state.mode && button.dataset.difficulty === state.difficulty;
      button.setAttribute("aria-pressed", String(chosen));
    }
    for (const button of $("seasons").querySelectorAll("button")) {
      const season = button.dataset.season;
      const chosen = season === state.season || (season === "current" && state.season === thisWeek) ||
        (season === "day" && state.season === thisDay);
      button.setAttribute("aria-pressed", String(chosen));
    }
  }

  // A list of earlier seasons, the one shown chosen when it is there.
  function fillList(list, seasons) {
    while (list.options.length > 1) {
      list.remove(1);
    }
    for (const season of seasons) {
      list.add(new Option(season, season, false, season === state.season));
    }
    if (!seasons.includes(state.season)) {
      list.value = "";
    }
  }

  function fillWeeks() {
    const weeks = [];
    if (thisWeek !== null) {
      let monday = weekStart(thisWeek);
      for (let i = 0; i < EARLIER_WEEKS; ++i) {
        monday -= 7 * DAY_MS;
        weeks.push(weekOfMonday(monday));
      }
    }
    // A week named in the address but further back is offered too.
    if (/^[0-9]{4}-W[0-9]{2}$/.test(state.season) && state.season !== thisWeek && !weeks.includes(state.season)) {
      weeks.push(state.season);
    }
    fillList($("week"), weeks);
  }

  // A cell holding a link, or the text alone when there is nowhere to go.
  function linkCell(text, href, className) {
    const cell = element("td", undefined, className);
    if (href) {
      const link = element("a", text);
      link.href = href;
      cell.append(link);
    } else {
      cell.textContent = text;
    }
    return cell;
  }

  function row(entry) {
    const line = element("tr");
    if (entry.runId === state.run) {
      line.className = "chosen";
    }
    line.append(linkCell(String(entry.rank), runUrl(entry.runId), "rank number"));
    line.append(linkCell(entry.name, entry.playerId ? playerUrl(entry.playerId) : null, "name"));
    finishRow(line, entry);
    return line;
  }

  // The cells every table's rows end with: score, distance, date and the watch link.
  function finishRow(line, entry) {
    const score = element("td", points(entry.score), "score number");
    score.dataset.label = "score";
    line.append(score);
    const distance = element("td", `${points(entry.distance)} m`, "distance number");
    distance.dataset.label = "distance";
    line.append(distance);
    const date = element("td", String(entry.date).slice(0, 10), "date");
    date.title = String(entry.date);
    line.append(date);
    const watch = element("td", undefined, "watch");
    watch.append(watchLink(entry.runId, "watch"));
    line.append(watch);
  }

  async function showBoard() {
    const ticket = ++reading;
    document.body.dataset.state = "loading";
    pressed();
    $("status").textContent = "";
    const path = `/v1/boards/${state.mode}/${state.difficulty}?season=${encodeURIComponent(state.season)}` +
      `&limit=${PAGE}&offset=${state.offset}`;
    let page;
    try {
      // The list of earlier weeks counts back from this week, read once with the first page.
      const current = thisWeek === null && state.season !== "current"
        ? getJson(`/v1/boards/${state.mode}/${state.difficulty}?season=current&limit=1`).catch(() => null)
        : null;
      page = await getJson(path);
      const resolved = await current;
      if (resolved && ticket === reading) {
        thisWeek = resolved.season;
      }
    } catch (error) {
      if (ticket === reading) {
        $("status").textContent = `The board cannot be shown: ${error.message}`;
        $("table").tBodies[0].replaceChildren();
        document.body.dataset.state = "error";
      }
      return;
    }
    if (ticket !== reading) {
      return;
    }
    if (state.season === "current") {
      thisWeek = page.season;
    }
    if (state.season === "day") {
      thisDay = page.season;
    }
    fillWeeks();
    fillDays();
    pressed();
    $("heading").textContent = `${boardName(state.mode, state.difficulty)}, ${seasonName(page.season)}`;
    const entries = Array.isArray(page.entries) ? page.entries : [];
    $("table").tBodies[0].replaceChildren(...entries.map(row));
    if (entries.length === 0) {
      $("status").textContent = state.offset > 0 ? "No more entries." : "No runs on this board yet.";
    }
    $("place").textContent = entries.length ? `${state.offset + 1}–${state.offset + entries.length}` : "";
    $("previous").disabled = state.offset === 0;
    $("next").disabled = entries.length < PAGE || state.offset + PAGE > MAX_OFFSET;
    document.body.dataset.state = "ready";
    window.tamqPageReadyMs = performance.now();
  }

  async function showRun() {
    let run;
    try {
      run = await getJson(`/v1/runs/${state.run}`);
    } catch (error) {
      $("notice").textContent = error.status === 404 ? `There is no run ${state.run} on this board.`
        : `The run cannot be shown: ${error.message}`;
      state.run = null;
      return false;
    }
    $("run-id").textContent = String(run.runId);
    $("run-name").replaceChildren(...linkCell(run.name, run.playerId ? playerUrl(run.playerId) : null).childNodes);
    $("run-board").textContent = boardName(run.mode, run.difficulty);
    $("run-score").textContent = points(run.score);
    $("run-distance").textContent = `${points(run.distance)} m`;
    $("run-date").textContent = `${run.date} (week ${run.week})`;
    const places = [];
    if (run.rank !== null) {
      places.push(`${run.rank} of all time`);
    }
    if (run.weekRank !== null) {
      places.push(`${run.weekRank} of week ${run.week}`);
    }
    $("run-rank").textContent = places.length ? places.join(", ") : "not on the board";
    $("run-watch").href = watchUrl(run.runId);
    $("run").hidden = false;
    await showAround(run);
    // Its board and season beneath (a daily run's day, else its week), at the page that holds it.
    const place = run.day ? run.dayRank : run.weekRank;
    state.mode = run.mode;
    state.difficulty = run.difficulty;
    state.season = run.day || run.week;
    state.offset = place ? Math.floor((place - 1) / PAGE) * PAGE : 0;
    return true;
  }

  // The rows just above and below a run on its table (a daily run's day, else all time),
  // left out when it has no row there or the board cannot say.
  async function showAround(run) {
    const season = run.day || (run.rank !== null ? "all" : null);
    if (season === null) {
      return;
    }
    let around;
    try {
      around = await getJson(`/v1/boards/${run.mode}/${run.difficulty}/around?season=${season}` +
        `&run=${run.runId}&rows=${AROUND_ROWS}`);
    } catch (error) {
      return;
    }
    const entries = Array.isArray(around.entries) ? around.entries : [];
    $("around-heading").textContent = `${around.rank} of ${around.total} on ${seasonName(around.season)}`;
    $("around").querySelector("tbody").replaceChildren(...entries.map(row));
    $("around").hidden = entries.length === 0;
  }

  // The days before today offered in the day list, and a day named in the address.
  function fillDays() {
    const days = [];
    for (let i = 1; i <= EARLIER_DAYS; ++i) {
      days.push(new Date(Date.parse(thisDay) - i * DAY_MS).toISOString().slice(0, 10));
    }
    if (DAY.test(state.season) && state.season !== thisDay && !days.includes(state.season)) {
      days.push(state.season);
    }
    fillList($("day"), days);
  }

  // A player's page above the board: their bests (all time, this week, today on each board)
  // and latest runs, each with its watch link.
  async function showPlayer() {
    let player;
    try {
      player = await getJson(`/v1/players/${state.player}`);
    } catch (error) {
      $("notice").textContent = error.status === 404 ? "There is no such player on this board."
        : `The player cannot be shown: ${error.message}`;
      state.player = null;
      return;
    }
    $("player-name").textContent = player.name;
    const bests = (Array.isArray(player.bests) ? player.bests : []).map((best) => {
      const line = element("tr");
      line.append(linkCell(`${best.rank} of ${best.total}`, runUrl(best.runId), "rank number"));
      line.append(element("td", `${boardName(best.mode, best.difficulty)}, ${seasonName(best.season)}`, "name"));
      finishRow(line, best);
      return line;
    });
    $("player-bests").tBodies[0].replaceChildren(...bests);
    const latest = (Array.isArray(player.latest) ? player.latest : []).map((run) => {
      const line = element("tr");
      line.append(linkCell("run", runUrl(run.runId), "rank"));
      const board = boardName(run.mode, run.difficulty);
      line.append(element("td", run.day ? `${board}, day ${run.day}` : board, "name"));
      finishRow(line, run);
      return line;
    });
    $("player-latest").tBodies[0].replaceChildren(...latest);
    $("player").hidden = false;
  }

  function choose(change) {
    change();
    remember(true);
    showBoard();
  }

  $("boards").addEventListener("click", (event) => {
    const button = event.target.closest("button");
    if (button) {
      choose(() => {
        state.mode = button.dataset.mode;
        state.difficulty = button.dataset.difficulty;
        state.offset = 0;
      });
    }
  });
  $("seasons").addEventListener("click", (event) => {
    const button = event.target.closest("button");
    if (button) {
      choose(() => {
        state.season = button.dataset.season;
        state.offset = 0;
      });
    }
  });
  $("week").addEventListener("change", () => {
    if ($("week").value) {
      choose(() => {
        state.season = $("week").value;
        state.offset = 0;
      });
    }
  });
  $("day").addEventListener("change", () => {
    if ($("day").value) {
      choose(() => {
        state.season = $("day").value;
        state.offset = 0;
      });
    }
  });
  $("previous").addEventListener("click", () => choose(() => { state.offset = Math.max(0, state.offset - PAGE); }));
  $("next").addEventListener("click", () => choose(() => { state.offset += PAGE; }));
  window.addEventListener("popstate", () => window.location.reload());

  (async () => {
    if (state.run !== null) {
      await showRun();
    }
    if (state.player !== null) {
      await showPlayer();
    }
    remember(false);
    showBoard();
  })();
})();
