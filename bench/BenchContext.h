#pragma once

#include <benchmark/benchmark.h>

class Game;

// What the benchmarks share: the headless OpenGL context of the tests (HeadlessGl, with
// Mesa's llvmpipe under SDL's offscreen driver), which they cannot do without, and the
// one Game the frame benchmarks share, loaded once.
class BenchContext {
public:
    // Opens the context on first use; exits the process when none can be had, since no
    // figure would mean anything without it.
    static BenchContext& instance();

    // Swaps and waits until the rasteriser has finished: the frame is on screen.
    void present() const;

    // The shared game, initialised on first call and left in whatever state the last
    // benchmark put it in.
    Game& game();

private:
    BenchContext();
    Game* game_ = nullptr;
};

// Milliseconds from a steady clock, for the benchmarks that time parts of one iteration.
double nowMs();
// Milliseconds of processor time used by the whole process, the rasteriser's threads
// included. On a shared machine this counts the work done, where the wall clock also
// counts the time spent waiting for a core.
double processCpuMs();
// Adds the fastest and the slowest repetition to a benchmark's mean and spread.
void addSpreadStatistics(benchmark::internal::Benchmark* bench);
