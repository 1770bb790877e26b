// The board page: a board's season read from the board's API on this origin (all time, a
// week or a day of the daily road), a page of entries at a time, each with a link that
// opens the browser build watching that run, its rank linking to the run's own view and its
// name to its player's; with ?run=ID, that run's summary and the rows around it above its
// season's table; with ?player=ID, the player's bests and latest runs (views.js draws
// those two). The page's size, the deepest offset, a run number's digits and the weeks and
// days offered are the board's (GET /v1/rules), read first. Players choose the names
// shown: they reach the page only as text nodes, never as markup.
"use strict";

(() => {
  const DAY = /^[0-9]{4}-[0-9]{2}-[0-9]{2}$/;
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
    offset: /^[0-9]{1,9}$/.test(query.get("offset")) ? Number(query.get("offset")) : 0,
    run: null,
    player: /^[0-9a-f]{16}$/.test(query.get("player") || "") ? query.get("player") : null,
  };
  // The board's rules; weeks[0] is this week, days[0] today.
  let rules = null;
  let thisWeek = null;
  let thisDay = null;
  // Answers to superseded reads are dropped.
  let reading = 0;

  function oneOf(value, allowed, fallback) {
    return allowed.includes(value) ? value : fallback;
  }

  // A run's number as text: as many digits as the board's numbers have, which can be
  // more than a JavaScript number holds exactly.
  function runNumber(text) {
    const digits = new RegExp(`^[0-9]{1,${rules.runIdDigits}}$`);
    return text !== null && digits.test(text) ? BigInt(text).toString() : null;
  }

  function watchUrl(runId) {
    const address = new URLSearchParams({ board: origin, watch: String(runId) });
    return `${gameUrl}?${address}`;
  }

  function runUrl(runId) {
    return `${origin}/?${new URLSearchParams({ run: String(runId) })}`;
  }

  function playerUrl(playerId) {
    return `${origin}/?${new URLSearchParams({ player: playerId })}`;
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

  // The earlier seasons of a list (the board's, less the current one), a season of that
  // kind named in the address but further back, and the one shown chosen when it is there.
  function fillList(list, seasons, current, kind) {
    while (list.options.length > 1) {
      list.remove(1);
    }
    const offered = seasons.slice(1);
    if (kind.test(state.season) && state.season !== current && !offered.includes(state.season)) {
      offered.push(state.season);
    }
    for (const season of offered) {
      list.add(new Option(season, season, false, season === state.season));
    }
    if (!offered.includes(state.season)) {
      list.value = "";
    }
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
    if (String(entry.runId) === state.run) {
      line.className = "chosen";
    }
    line.append(linkCell(String(entry.rank), runUrl(entry.runId), "rank number"));
    line.append(linkCell(entry.name, entry.playerId ? playerUrl(entry.playerId) : null, "name"));
    return finishRow(line, entry);
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
    return line;
  }

  async function showBoard() {
    const ticket = ++reading;
    document.body.dataset.state = "loading";
    pressed();
    $("status").textContent = "";
    const path = `/v1/boards/${state.mode}/${state.difficulty}?season=${encodeURIComponent(state.season)}` +
      `&limit=${rules.pageSize}&offset=${state.offset}`;
    let page;
    try {
      page = await getJson(path);
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
    // A page left open over a Monday midnight follows the board's week.
    if (state.season === "current") {
      thisWeek = page.season;
    }
    if (state.season === "day") {
      thisDay = page.season;
    }
    fillList($("week"), rules.weeks, thisWeek, /^[0-9]{4}-W[0-9]{2}$/);
    fillList($("day"), rules.days, thisDay, DAY);
    pressed();
    $("heading").textContent = `${boardName(state.mode, state.difficulty)}, ${seasonName(page.season)}`;
    const entries = Array.isArray(page.entries) ? page.entries : [];
    $("table").tBodies[0].replaceChildren(...entries.map(row));
    if (entries.length === 0) {
      $("status").textContent = state.offset > 0 ? "No more entries." : "No runs on this board yet.";
    }
    $("place").textContent = entries.length ? `${state.offset + 1}–${state.offset + entries.length}` : "";
    $("previous").disabled = state.offset === 0;
    $("next").disabled = entries.length < rules.pageSize || state.offset + rules.pageSize > rules.maxOffset;
    document.body.dataset.state = "ready";
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
    $("run-date").textContent = `${run.date} (${run.day ? `day ${run.day}` : `week ${run.week}`})`;
    const places = [];
    if (run.rank !== null) {
      places.push(`${run.rank} of all time`);
    }
    if (run.weekRank !== null) {
      places.push(`${run.weekRank} of week ${run.week}`);
    }
    if (run.day && run.dayRank !== null) {
      places.push(`${run.dayRank} of day ${run.day}`);
    }
    $("run-rank").textContent = places.length ? places.join(", ") : "not on the board";
    $("run-watch").href = watchUrl(run.runId);
    $("run").hidden = false;
    await views.showAround(run);
    // Its board and season beneath (a daily run's day, else its week), at the page that holds it.
    const place = run.day ? run.dayRank : run.weekRank;
    state.mode = run.mode;
    state.difficulty = run.difficulty;
    state.season = run.day || run.week;
    state.offset = place ? Math.floor((place - 1) / rules.pageSize) * rules.pageSize : 0;
    return true;
  }

  // The run's and the player's views, drawn with the board's own rows.
  const views = window.tamqViews({ $, getJson, element, linkCell, row, finishRow, runUrl, boardName, seasonName });

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
  $("previous").addEventListener("click", () => choose(() => { state.offset = Math.max(0, state.offset - rules.pageSize); }));
  $("next").addEventListener("click", () => choose(() => { state.offset += rules.pageSize; }));
  window.addEventListener("popstate", () => window.location.reload());

  (async () => {
    try {
      rules = await getJson("/v1/rules");
    } catch (error) {
      $("status").textContent = `The board cannot be shown: ${error.message}`;
      document.body.dataset.state = "error";
      return;
    }
    thisWeek = rules.weeks[0];
    thisDay = rules.days[0];
    state.run = runNumber(query.get("run"));
    if (state.run !== null) {
      await showRun();
    }
    if (state.player !== null && !(await views.showPlayer(state.player))) {
      state.player = null;
    }
    remember(false);
    showBoard();
  })();
})();
