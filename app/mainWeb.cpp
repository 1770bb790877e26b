// The program's entry point in a web browser. The browser owns the loop: start-up runs in
// main, then the browser calls one loop iteration per animation frame, and main returns
// while the game goes on. The window and the game therefore live on the heap, for as long
// as the page does. The best-score folder is kept in the site's IndexedDB: it is read back
// into memory before the game starts, and written out after each save (io/AtomicFile).

#include "GameFollower.h"
#include "MainLoop.h"
#include "Platform.h"
#include "TouchControls.h"
#include "Window.h"
#include "game/Game.h"
#include "render/GlEntryPoints.h"

#include <emscripten.h>

namespace {

struct BrowserSession {
    Window window;
    Game game;
    AudioPlayer audio;
    BestScoreFile bestFile{BestScoreFile::defaultFolder()};
    GameFollower follower{audio, bestFile};
};

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

void browserFrame(void* argument) {
    auto* session = static_cast<BrowserSession*>(argument);
    if (!session->window.isRunning()) {
        emscripten_cancel_main_loop();
        finishGame(session->window, session->game);
        return;
    }
    TouchControls::beginFrame(session->game.running() && !session->game.gameOver(), !session->window.isActive());
    runFrame(session->window, session->game, isGameKeyDown, session->follower);
}

} // namespace

// Called by the page once the saved folder has been read (or could not be: the game then
// plays with the bests of this visit only). A start-up failure is already on the page.
extern "C" EMSCRIPTEN_KEEPALIVE void tamqStartWithSaves(void* argument) {
    auto* session = static_cast<BrowserSession*>(argument);
    const StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    // Emscripten's OpenAL makes the page's audio context here, suspended: it resumes it
    // with the player's first key press or click, the gesture a browser waits for.
    session->audio.init();
    session->game.bestScores().setScores(session->bestFile.load());
    if (startGame(session->window, session->game, services) != 0) {
        return;
    }
    // Frames come from the browser's requestAnimationFrame, in step with the display.
    emscripten_set_main_loop_arg(browserFrame, session, 0, false);
}

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

int main() {
    auto* session = new BrowserSession;
    const std::string folder = BestScoreFile::defaultFolder();
    readSavesThenStart(folder.c_str(), session);
    return 0;
}
