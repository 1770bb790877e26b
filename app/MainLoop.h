#pragma once

#include "game/GameKeys.h"

#include <cstdio>
#include <string>

// Start-up, the frame loop and shutdown, written over any window and game type so that
// tests can drive them with fakes; the entry point runs them on the real Window and Game.

inline constexpr int kWindowWidth = 1280;
inline constexpr int kWindowHeight = 720;
inline constexpr int kColourBits = 32;
inline constexpr bool kFullscreen = false;
// The smallest time step the game ever sees: faster frames spin until it has passed.
inline constexpr float kMinimumTimeStep = 0.001f;

// What start-up needs from outside the window and the game.
struct StartupServices {
    // Fills the OpenGL entry-point table; returns the missing needed names, empty if none.
    std::string (*loadEntryPoints)();
    void (*applyFixedState)();
    // Shows a start-up failure to the player.
    void (*showError)(const char* text);
    // The platform's keyboard, asked for the game's input before each update.
    KeyQuery keyQuery;
};

// One iteration after another while the window runs. Buffers are swapped and the timer
// read in every iteration, paused or not, so a pause never becomes one long step. The
// keys are read just before each update, so the game sees them as they are in its frame.
template <class WindowType, class GameType>
void runMainLoop(WindowType& window, GameType& game, KeyQuery keyQuery) {
    while (window.isRunning()) {
        window.pumpMessages();
        float dt = window.elapsedSeconds();
        if (window.isActive()) {
            while (dt < kMinimumTimeStep) {
                dt += window.elapsedSeconds();
            }
            game.input().poll(keyQuery);
            game.update(dt);
            game.render();
        }
        window.swapBuffers();
    }
}

template <class WindowType>
int failStartup(WindowType& window, const StartupServices& services, const char* text) {
    std::fprintf(stderr, "%s\n", text);
    services.showError(text);
    window.destroy();
    return 1;
}

// The whole life of the program from a constructed window and game: the exit code.
template <class WindowType, class GameType>
int runGame(WindowType& window, GameType& game, const StartupServices& services) {
    window.setGame(&game);
    if (!window.create(kWindowWidth, kWindowHeight, kColourBits, kFullscreen)) {
        return failStartup(window, services, "Unable to create the OpenGL Window");
    }
    const std::string missing = services.loadEntryPoints();
    if (!missing.empty()) {
        std::fprintf(stderr, "Missing OpenGL functions: %s\n", missing.c_str());
        return failStartup(window, services, "Could not initialize the application");
    }
    services.applyFixedState();
    if (!game.init()) {
        return failStartup(window, services, "Could not initialize the application");
    }
    // Loading time must not become the first time step.
    window.elapsedSeconds();
    runMainLoop(window, game, services.keyQuery);
    game.releaseTextures();
    window.destroy();
    return 0;
}
