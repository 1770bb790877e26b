// The program's entry point: the options and the content folder first, then one window,
// one game, run until the window closes.

#include "GameSession.h"
#include "Launch.h"
#include "Platform.h"
#include "Window.h"
#include "render/GlEntryPoints.h"

namespace {

std::string loadGlEntryPoints() { return gl.load(glProcAddress); }

} // namespace

int main(int argc, char** argv) {
    Launch launch;
    if (!launch.prepare(std::vector<std::string>(argv + 1, argv + argc), executableFolder(), showErrorBox)) {
        return launch.exitCode;
    }
    Window window;
    StartupServices services{loadGlEntryPoints, applyFixedGlState, showErrorBox, isGameKeyDown};
    services.fullscreen = launch.options.fullscreen;
    return GameSession::run(window, services, launch.options.mute);
}
