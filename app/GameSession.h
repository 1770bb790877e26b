#pragma once

#include "MainLoop.h"

class Window;

// One run of the program in a made window: the game, with its sound and its best scores,
// from start-up until the window closes. Shared by both entry points.
class GameSession {
public:
    // The process's exit code. Sound starts muted when asked (--mute).
    static int run(Window& window, const StartupServices& services, bool muted);
};
