// The program's entry point: one window, one game, run until the window closes.

#include "MainLoop.h"
#include "Platform.h"
#include "Window.h"
#include "game/Game.h"
#include "render/GlEntryPoints.h"

#include <cstring>

namespace {

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

} // namespace

int main(int argc, char** argv) {
    Window window;
    Game game;
    StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    for (int i = 1; i < argc; ++i) {
        services.fullscreen = services.fullscreen || std::strcmp(argv[i], "--fullscreen") == 0;
    }
    return runGame(window, game, services);
}
