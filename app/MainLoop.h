#pragma once

#include "sim/GameKeys.h"

#include <algorithm>
#include <cstdio>
#include <string>

// Start-up, the frame loop and shutdown, written over any window and game type so that
// tests can drive them with fakes; the entry point runs them on the real Window and Game.

inline constexpr int kWindowWidth = 1280;
inline constexpr int kWindowHeight = 720;
inline constexpr int kColourBits = 32;
// The smallest time step the game ever sees: faster frames spin until it has passed.
inline constexpr float kMinimumTimeStep = 0.001f;
// The largest: after a longer stall (a window drag, a slow disk, a debugger) the game
// slows down for one step instead of jumping, so no car passes through the bar untested.
inline constexpr float kMaximumTimeStep = 0.1f;
// How long a paused loop sleeps waiting for a window message: about one display refresh.
inline constexpr int kPausedWaitMilliseconds = 16;

// Printed once, when the first frame is on screen: a player starting the game from a
// terminal sees it came up, and the install checks wait for this line.
inline constexpr const char* kFirstFrameLine = "TAMQ 4 Pelrok: first frame shown";

// What start-up needs from outside the window and the game.
struct StartupServices {
    // Fills the OpenGL entry-point table; returns the missing needed names, empty if none.
    std::string (*loadEntryPoints)();
    void (*applyFixedState)();
    // Shows a start-up failure to the player.
    void (*showError)(const char* text);
    // The platform's keyboard, asked for the game's input before each update.
    KeyQuery keyQuery;
    // Start in fullscreen instead of the 1280 x 720 window.
    bool fullscreen = false;
};

// What follows the game from the shell without taking part in its rules (its sound):
// told the window's state after the messages of every iteration, and the game's after
// every update. This one follows nothing.
struct NoFollower {
    template <class WindowType>
    void followWindow(const WindowType&) {}
    template <class GameType>
    void followFrame(const GameType&) {}
};

// One iteration of the loop. The timer is read in every iteration, paused or not, so a
// pause never becomes one long step. Only a frame drawn in this iteration is presented:
// a paused loop sleeps on the message queue, and draws the frozen scene again only when
// the window shows stale pixels (uncovered, resized). Once the window is closing, no
// further frame is drawn or presented. The game runs the fixed ticks the frame's real
// time calls for; the keys are read just before them, so every tick of the frame sees
// them as they are in it. True when a frame was presented.
template <class WindowType, class GameType, class FollowerType = NoFollower>
bool runFrame(WindowType& window, GameType& game, KeyQuery keyQuery, FollowerType&& follower = FollowerType{}) {
    window.pumpMessages();
    follower.followWindow(window);
    float dt = window.elapsedSeconds();
    if (!window.isRunning()) {
        return false;
    }
    if (window.isActive()) {
        while (dt < kMinimumTimeStep) {
            dt += window.elapsedSeconds();
        }
        // The keys are read once for all the ticks of the frame, and only when one is due.
        const int ticks = game.ticksFor(std::min(dt, kMaximumTimeStep));
        if (ticks > 0) {
            game.input().poll(keyQuery);
        }
        game.runTicks(ticks);
        follower.followFrame(game);
        game.render();
        window.swapBuffers();
        return true;
    }
    const bool redraw = window.needsRedraw();
    if (redraw) {
        game.render();
        window.swapBuffers();
    }
    window.waitForMessages(kPausedWaitMilliseconds);
    return redraw;
}

// One iteration of the program's loop, for runMainLoop and for a shell whose loop belongs
// to someone else (the browser's animation frames): a frame, and the line announcing the
// first one on screen. False, without a frame, once the window has closed.
template <class WindowType, class GameType, class FollowerType = NoFollower>
bool runLoopIteration(WindowType& window, GameType& game, KeyQuery keyQuery, FollowerType&& follower,
                      bool& firstFrameShown) {
    if (!window.isRunning()) {
        return false;
    }
    if (runFrame(window, game, keyQuery, follower) && !firstFrameShown) {
        std::printf("%s\n", kFirstFrameLine);
        std::fflush(stdout);
        firstFrameShown = true;
    }
    return true;
}

template <class WindowType, class GameType, class FollowerType = NoFollower>
void runMainLoop(WindowType& window, GameType& game, KeyQuery keyQuery, FollowerType&& follower = FollowerType{}) {
    bool firstFrameShown = false;
    while (runLoopIteration(window, game, keyQuery, follower, firstFrameShown)) {
    }
}

template <class WindowType>
int failStartup(WindowType& window, const StartupServices& services, const char* text) {
    std::fprintf(stderr, "%s\n", text);
    services.showError(text);
    window.destroy();
    return 1;
}

// Start-up from a constructed window and game: 0 when the loop may run, otherwise the exit
// code, after the failure has been shown.
template <class WindowType, class GameType>
int startGame(WindowType& window, GameType& game, const StartupServices& services) {
    window.setGame(&game);
    if (!window.create(kWindowWidth, kWindowHeight, kColourBits, services.fullscreen)) {
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
    return 0;
}

// Shutdown after the loop has ended.
template <class WindowType, class GameType>
void finishGame(WindowType& window, GameType& game) {
    game.releaseTextures();
    window.destroy();
}

// The whole life of the program from a constructed window and game: the exit code. The
// browser, which drives the loop itself, runs the stages separately (app/GameSession).
template <class WindowType, class GameType, class FollowerType = NoFollower>
int runGame(WindowType& window, GameType& game, const StartupServices& services,
            FollowerType&& follower = FollowerType{}) {
    if (const int failure = startGame(window, game, services); failure != 0) {
        return failure;
    }
    runMainLoop(window, game, services.keyQuery, follower);
    finishGame(window, game);
    return 0;
}
