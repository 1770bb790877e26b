// The program's entry point: one window, one game, run until the window closes.

#include "MainLoop.h"
#include "Platform.h"
#include "Window.h"
#include "game/Game.h"
#include "render/GlEntryPoints.h"

namespace {

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

} // namespace

int main() {
    Window window;
    Game game;
    const StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    return runGame(window, game, services);
}
