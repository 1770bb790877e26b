// The board page: a board's season read from the board's API on this origin, a hundred
// entries a page, each with a link that opens the browser build watching that run; with
// ?run=ID, that run's summary above its week's table. Players choose the names shown:
// they reach the page only as text nodes, never as markup.
"use strict";

(() => {
  const PAGE = 100;
  // The deepest page the API serves.
  const MAX_OFFSET = 10000;
  // Earlier weeks offered in the week list.
  const EARLIER_WEEKS = 12;
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
  };
  // The week "current" stood for at the last read, for the list of earlier weeks.
  let thisWeek = null;
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
      const chosen = season === state.season || (season === "current" && state.season === thisWeek);
      button.setAttribute("aria-pressed", String(chosen));
    }
  }

  function fillWeeks() {
    const list = $("week");
    while (list.options.length > 1) {
      list.remove(1);
    }
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
    for (const week of weeks) {
      list.add(new Option(week, week, false, week === state.season));
    }
    if (!weeks.includes(state.season)) {
      list.value = "";
    }
  }

  function row(entry) {
    const line = element("tr");
    if (entry.runId === state.run) {
      line.className = "chosen";
    }
    line.append(element("td", String(entry.rank), "rank number"));
    const name = element("td", undefined, "name");
    const link = element("a", entry.name);
    link.href = runUrl(entry.runId);
    name.append(link);
    line.append(name);
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
    return line;
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
    fillWeeks();
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
    $("run-name").textContent = run.name;
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
    // Its board and week beneath, at the page that holds it.
    state.mode = run.mode;
    state.difficulty = run.difficulty;
    state.season = run.week;
    state.offset = run.weekRank ? Math.floor((run.weekRank - 1) / PAGE) * PAGE : 0;
    return true;
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
  $("previous").addEventListener("click", () => choose(() => { state.offset = Math.max(0, state.offset - PAGE); }));
  $("next").addEventListener("click", () => choose(() => { state.offset += PAGE; }));
  window.addEventListener("popstate", () => window.location.reload());

  (async () => {
    if (state.run !== null) {
      await showRun();
    }
    remember(false);
    showBoard();
  })();
})();
