// The program's entry point in a web browser. The browser owns the loop: start-up runs in
// main, then the browser calls one loop iteration per animation frame, and main returns
// while the game goes on; the session therefore lives on the heap, for as long as the page
// does. The best-score folder is kept in the site's IndexedDB: it is read back into memory
// before the game starts, and written out after each save. The page's address may name the
// online board, ?board=URL, as --board does elsewhere.

#include "CommandLine.h"
#include "GameSession.h"
#include "TouchControls.h"

#include <emscripten.h>

#include <algorithm>
#include <iostream>

namespace {

// Where the game stands after a frame, kept on the page's Module for whoever drives the
// page (the browser tests): a key is only worth pressing once the game will take it, and
// that follows the game's clock, not the page's. Read-only: the game never looks at it.
// clang-format off
EM_JS(void, pageShowState, (int running, int gameOver, int paused, int keyReady, int easy, int random,
                            int askingName, int watching, const char* boardStatus), {
    const state = Module.gameState || (Module.gameState = {});
    state.running = running !== 0;
    state.gameOver = gameOver !== 0;
    state.paused = paused !== 0;
    state.keyReady = keyReady !== 0;
    state.easy = easy !== 0;
    state.random = random !== 0;
    state.askingName = askingName !== 0;
    state.watching = watching !== 0;
    state.boardStatus = UTF8ToString(boardStatus);
});
// clang-format on

// The score the shown run has reached (the watched run's while one is watched), for the
// browser tests of a watch link.
// clang-format off
EM_JS(void, pageShowScore, (int score), {
    (Module.gameState || (Module.gameState = {})).shownScore = score;
});
// clang-format on

void showState(GameSession& session) {
    pageShowScore(static_cast<int>(session.game().shown().run().score));
    const Game& game = session.game();
    pageShowState(game.running(), game.gameOver(), !session.window().isActive(),
                  game.simulation().run().keyActionAllowed(), game.difficulty() == Difficulty::Easy,
                  game.mode() == Mode::Random, game.askingName(), game.watching(),
                  session.board() != nullptr ? session.board()->status().c_str() : "");
}

void browserFrame(void* argument) {
    auto* session = static_cast<GameSession*>(argument);
    TouchControls::beginFrame(session->game().running() && !session->game().gameOver(),
                              !session->window().isActive(), session->board() != nullptr);
    if (!session->frame()) {
        emscripten_cancel_main_loop();
        return;
    }
    showState(*session);
}

} // namespace

// Called by the page once the saved folder has been read (or could not be: the game then
// plays with the bests of this visit only). A start-up failure is already on the page.
extern "C" EMSCRIPTEN_KEEPALIVE void tamqStartWithSaves(void* argument) {
    // Emscripten's OpenAL makes the page's audio context in start, suspended: it resumes
    // it with the player's first key press or click, the gesture a browser waits for.
    if (!static_cast<GameSession*>(argument)->start()) {
        return;
    }
    // Frames come from the browser's requestAnimationFrame, in step with the display.
    emscripten_set_main_loop_arg(browserFrame, argument, 0, false);
}

// What lasts of a save is the copy in the site's IndexedDB, written in the background. A
// failure there is the only word the player gets.
// clang-format off
EM_JS(void, saveToBrowserStorage, (const char* path), {
    // One sync copies the whole folder, and two at once step on each other (a best score
    // and its run are saved together): a save during a sync asks for one more after it.
    const name = UTF8ToString(path);
    if (Module.tamqSyncing) {
        Module.tamqSyncAgain = name;
        return;
    }
    const sync = function(what) {
        Module.tamqSyncing = true;
        FS.syncfs(false, function(error) {
            if (error) {
                err(what + ": cannot be kept in the browser's storage (" + error + ")");
            }
            const again = Module.tamqSyncAgain;
            Module.tamqSyncAgain = null;
            Module.tamqSyncing = false;
            if (again) {
                sync(again);
            }
        });
    };
    sync(name);
});
// clang-format on

void keepInBrowserStorage(const std::string& path) { saveToBrowserStorage(path.c_str()); }

// Mounts the folder over the site's IndexedDB and reads it back; the game starts after.
// clang-format off
EM_JS(void, readSavesThenStart, (const char* path, void* session), {
    const folder = UTF8ToString(path);
    FS.mkdirTree(folder);
    FS.mount(IDBFS, {}, folder);
    FS.syncfs(true, function(error) {
        if (error) {
            err(folder + ": the browser's storage cannot be read (" + error +
                "); the best score lasts as long as the page");
        }
        _tamqStartWithSaves(session);
    });
});
// clang-format on

// The page's address, ?board=URL: its length in bytes, -1 without one; then its bytes.
// clang-format off
EM_JS(int, pageBoardLength, (), {
    const board = new URLSearchParams(window.location.search).get("board");
    return board === null ? -1 : lengthBytesUTF8(board);
});
EM_JS(void, pageBoardCopy, (char* out, int size), {
    stringToUTF8(new URLSearchParams(window.location.search).get("board"), out, size);
});
// ?watch=RUNID, the same way.
EM_JS(int, pageWatchLength, (), {
    const run = new URLSearchParams(window.location.search).get("watch");
    return run === null ? -1 : lengthBytesUTF8(run);
});
EM_JS(void, pageWatchCopy, (char* out, int size), {
    stringToUTF8(new URLSearchParams(window.location.search).get("watch"), out, size);
});
// clang-format on

int main(int argc, char** argv) {
    auto* session = new GameSession;
    session->setSavedHook(keepInBrowserStorage);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const int length = pageBoardLength();
    std::string board(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    if (length >= 0) {
        pageBoardCopy(board.data(), static_cast<int>(board.size()));
        board.pop_back();
    }
    std::string note;
    for (std::string& argument : CommandLine::pageArguments(length >= 0, board, TAMQ_BOARD_URL, note)) {
        arguments.push_back(std::move(argument));
    }
    if (!note.empty()) {
        std::cerr << note << "\n";
    }
    const int watchLength = pageWatchLength();
    if (watchLength > 0) {
        std::string run(static_cast<std::size_t>(watchLength) + 1, '\0');
        pageWatchCopy(run.data(), static_cast<int>(run.size()));
        run.pop_back();
        for (std::string& argument : CommandLine::pageWatchArguments(run, arguments, TAMQ_BOARD_URL, note)) {
            arguments.push_back(std::move(argument));
        }
        if (!note.empty()) {
            std::cerr << note << "\n";
        }
    }
    if (!session->prepare(arguments)) {
        return session->exitCode();
    }
    readSavesThenStart(session->saveFolder().c_str(), session);
    return 0;
}
