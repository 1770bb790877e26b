// The program's entry point in a web browser. The browser owns the loop: start-up runs in
// main, then the browser calls one loop iteration per animation frame, and main returns
// while the game goes on. The window and the game therefore live on the heap, for as long
// as the page does.

#include "GameFollower.h"
#include "MainLoop.h"
#include "Platform.h"
#include "Window.h"
#include "game/Game.h"
#include "render/GlEntryPoints.h"

#include <emscripten.h>

namespace {

struct BrowserSession {
    Window window;
    Game game;
    AudioPlayer audio;
    // In the page's memory only: a browser keeps no file between visits.
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
    runFrame(session->window, session->game, isGameKeyDown, session->follower);
}

} // namespace

int main() {
    auto* session = new BrowserSession;
    const StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    session->audio.init();
    session->game.bestScores().setScores(session->bestFile.load());
    if (const int failure = startGame(session->window, session->game, services); failure != 0) {
        return failure;
    }
    // Frames come from the browser's requestAnimationFrame, in step with the display.
    emscripten_set_main_loop_arg(browserFrame, session, 0, false);
    return 0;
}
