// The program's entry point on Windows: one window, one game, run until the window closes.

#include "MainLoop.h"
#include "Platform.h"
#include "Window.h"
#include "game/Game.h"
#include "render/GlEntryPoints.h"

#include <windows.h>

#include <cstring>

namespace {

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    Window window(instance);
    Game game;
    StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    services.fullscreen = commandLine != nullptr && std::strstr(commandLine, "--fullscreen") != nullptr;
    return runGame(window, game, services);
}
