// The program's entry point on Windows: one window, one game, run until the window closes.

#include "MainLoop.h"
#include "Platform.h"
#include "Window.h"
#include "game/Game.h"
#include "render/GlEntryPoints.h"

#include <windows.h>

namespace {

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    Window window(instance);
    Game game;
    const StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    return runGame(window, game, services);
}
