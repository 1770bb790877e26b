#pragma once

#include <SDL2/SDL.h>

class Game;

// The benchmarks' OpenGL context: a hidden 1280 × 720 window under SDL's offscreen driver,
// which renders with Mesa's llvmpipe, with the entry points and fixed state of start-up.
// Also holds the one Game the frame benchmarks share, loaded once.
class BenchContext {
public:
    // Opens the context on first use; exits the process when none can be had, since no
    // figure would mean anything without it.
    static BenchContext& instance();

    SDL_Window* window() const { return window_; }
    void swap() const;
    // Swaps and waits until the rasteriser has finished: the frame is on screen.
    void present() const;

    // The shared game, initialised on first call and left in whatever state the last
    // benchmark put it in.
    Game& game();

private:
    BenchContext();
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    Game* game_ = nullptr;
};

// Puts the game into its busiest steady state: a run past its recovery, so the bar is
// tested every frame, with all 30 car slots parked on the road clear of the bar's reach.
// The scripted entries then wait at the head of the queue for a free slot.
void startBusyRun(Game& game);

// Milliseconds from a steady clock, for the benchmarks that time parts of one iteration.
double nowMs();
// Milliseconds of processor time used by the whole process, the rasteriser's threads
// included. On a shared machine this counts the work done, where the wall clock also
// counts the time spent waiting for a core.
double processCpuMs();
