// The board page's views beside its tables (page.js): the rows around a run on its table,
// and a player's page, their bests (all time, this week, today on each board) and latest
// runs, each with its watch link. Drawn with the page's own helpers, given once; names
// reach the page only as text nodes.
"use strict";

window.tamqViews = (page) => {
  // Rows above and below a run in its view.
  const AROUND_ROWS = 5;
  const { $, getJson, element, linkCell, row, finishRow, runUrl, boardName, seasonName } = page;

  function list(value) {
    return Array.isArray(value) ? value : [];
  }

  // The rows just above and below a run on its table (a daily run's day, else all time),
  // left out when it has no row there or the board cannot say.
  async function showAround(run) {
    const season = run.day || (run.rank !== null ? "all" : null);
    if (season === null) {
      return;
    }
    const address = new URLSearchParams({ season, run: String(run.runId), rows: String(AROUND_ROWS) });
    let around;
    try {
      around = await getJson(`/v1/boards/${run.mode}/${run.difficulty}/around?${address}`);
    } catch (error) {
      return;
    }
    const entries = list(around.entries);
    $("around-heading").textContent = `${around.rank} of ${around.total} on ${seasonName(around.season)}`;
    $("around").querySelector("tbody").replaceChildren(...entries.map(row));
    $("around").hidden = entries.length === 0;
  }

  // The player's page above the board; false, with a notice, when there is none to show.
  async function showPlayer(playerId) {
    let player;
    try {
      player = await getJson(`/v1/players/${playerId}`);
    } catch (error) {
      $("notice").textContent = error.status === 404 ? "There is no such player on this board."
        : `The player cannot be shown: ${error.message}`;
      return false;
    }
    $("player-name").textContent = player.name;
    const bests = list(player.bests).map((best) => {
      const line = element("tr");
      line.append(linkCell(`${best.rank} of ${best.total}`, runUrl(best.runId), "rank number"));
      line.append(element("td", `${boardName(best.mode, best.difficulty)}, ${seasonName(best.season)}`, "name"));
      return finishRow(line, best);
    });
    $("player-bests").tBodies[0].replaceChildren(...bests);
    const latest = list(player.latest).map((run) => {
      const line = element("tr");
      line.append(linkCell("run", runUrl(run.runId), "rank"));
      const board = boardName(run.mode, run.difficulty);
      line.append(element("td", run.day ? `${board}, day ${run.day}` : board, "name"));
      return finishRow(line, run);
    });
    $("player-latest").tBodies[0].replaceChildren(...latest);
    $("player").hidden = false;
    return true;
  }

  return { showAround, showPlayer };
};
