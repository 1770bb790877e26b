// The busy game's frame against what it could at best be: the same frame beside the
// reference renderer's, where its fill goes layer by layer, the game's own update and its
// restart. Run through bench/bench.sh, which prints the table.

#include "BenchContext.h"
#include "ReferenceFrame.h"

#include "game/Game.h"
#include "render/GlEntryPoints.h"
#include "render/Mesh.h"
#include "render/Sprite.h"
#include "render/Texture.h"
#include "support/BusyRun.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>

namespace {

constexpr float kFrameStep = 1.0f / 60.0f;

// Times one stretch of work by the wall clock and by the process's processor time.
struct Span {
    double wall = 0.0;
    double cpu = 0.0;

    template <class Work>
    void add(Work&& work) {
        const double wall0 = nowMs();
        const double cpu0 = processCpuMs();
        work();
        cpu += processCpuMs() - cpu0;
        wall += nowMs() - wall0;
    }
};

// Draws a reference frame in the middle of the game's run and hands the game its program back.
void presentReference(BenchContext& context, ReferenceFrame& reference,
                      ReferenceFrame::Content content, Span& issue, Span& whole) {
    GLint gameProgram = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &gameProgram);
    const double wall0 = nowMs();
    const double cpu0 = processCpuMs();
    issue.add([&] { reference.draw(content); });
    context.present();
    whole.cpu += processCpuMs() - cpu0;
    whole.wall += nowMs() - wall0;
    gl.glUseProgram(static_cast<GLuint>(gameProgram));
}

// One iteration is a frame of the busy game, a reference frame of each kind and a restart,
// so that all of them are compared under the same load on a shared machine. The reported
// time is the game's frame: update, render, swap and glFinish.
void frameAgainstReference(benchmark::State& state) {
    BenchContext& context = BenchContext::instance();
    Game& game = context.game();
    static ReferenceFrame reference;
    static bool referenceReady = false;
    if (!referenceReady) {
        reference.init();
        referenceReady = true;
    }
    BusyRun::start(game);
    // Warm up every path: the strip build, the driver's shader variants, the text buffers.
    Span unused;
    for (int i = 0; i < 20; ++i) {
        game.update(kFrameStep);
        game.render();
        context.present();
        presentReference(context, reference, ReferenceFrame::Content::Quads, unused, unused);
        presentReference(context, reference, ReferenceFrame::Content::CarMeshes, unused, unused);
    }

    Span update, render, present, quadsIssue, quadsFrame, carsIssue, carsFrame, restart;
    for (auto _ : state) {
        const double start = nowMs();
        update.add([&] { game.update(kFrameStep); });
        render.add([&] { game.render(); });
        present.add([&] { context.present(); });
        state.SetIterationTime((nowMs() - start) / 1000.0);

        presentReference(context, reference, ReferenceFrame::Content::Quads, quadsIssue, quadsFrame);
        presentReference(context, reference, ReferenceFrame::Content::CarMeshes, carsIssue,
                         carsFrame);

        restart.add([&] { game.restart(); });
        BusyRun::start(game);
    }
    const double n = static_cast<double>(state.iterations());
    const double frameWall = update.wall + render.wall + present.wall;
    const double frameCpu = update.cpu + render.cpu + present.cpu;
    auto& counters = state.counters;
    counters["update_ms"] = update.wall / n;
    counters["render_issue_ms"] = render.wall / n;
    counters["game_work_ms"] = (update.wall + render.wall) / n;
    counters["frame_ms"] = frameWall / n;
    counters["frame_cpu_ms"] = frameCpu / n;
    counters["ref_quads_ms"] = quadsFrame.wall / n;
    counters["ref_quads_cpu_ms"] = quadsFrame.cpu / n;
    counters["ref_quads_issue_ms"] = quadsIssue.wall / n;
    counters["ref_cars_ms"] = carsFrame.wall / n;
    counters["ref_cars_cpu_ms"] = carsFrame.cpu / n;
    counters["restart_ms"] = restart.wall / n;
    counters["frame_over_ref_quads"] = frameWall / quadsFrame.wall;
    counters["frame_over_ref_quads_cpu"] = frameCpu / quadsFrame.cpu;
    counters["frame_over_ref_cars"] = frameWall / carsFrame.wall;
    counters["frame_over_ref_cars_cpu"] = frameCpu / carsFrame.cpu;
    counters["work_share_pct"] = 100.0 * (update.wall + render.wall) / frameWall;
    counters["restart_over_frame"] = restart.wall / frameWall;
}
BENCHMARK(frameAgainstReference)->Name("Frame/game_vs_reference")->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(60)->Apply(addSpreadStatistics);

// Where the fill of the busy frame goes: the same frame drawn as it is, with each car as one
// quad of the same size, without the cars, and without the cars and the grass. Each variant
// moves only the scene through the game's open pieces; the game's code is unchanged. Timed
// by the process's processor time, the variants interleaved within every iteration.
void frameLayers(benchmark::State& state) {
    BenchContext& context = BenchContext::instance();
    Game& game = context.game();
    static Mesh quad;
    static Texture white;
    if (quad.positionCount() == 0) {
        quad.load("data/quad.json");
        quad.upload();
        white.load("data/whitepixel.bmp");
        white.upload();
    }
    BusyRun::start(game);
    enum Variant { kAsIs, kQuadCars, kNoCars, kNoCarsNoGrass, kVariants };
    auto setUp = [&](int variant) {
        for (int k = 0; k < Game::kCarSlots; ++k) {
            game.simulation().carSlot(k).active = variant == kAsIs || variant == kQuadCars;
        }
    };
    // After the update has placed the cars' sprites, as the game draws them.
    auto quadCars = [&] {
        for (int k = 0; k < Game::kCarSlots; ++k) {
            Sprite& body = game.carBody(k);
            body.place(body.x, body.y, -1, &quad, body.texture(), &game.worldCamera());
            body.setSize(2.4f, 4, 1);
            body.setPivot(0.5f, 0.5f);
        }
    };
    double cpu[kVariants] = {};
    for (auto _ : state) {
        for (int variant = 0; variant < kVariants; ++variant) {
            setUp(variant);
            game.update(kFrameStep);
            if (variant == kQuadCars) {
                quadCars();
            }
            const float grassY = game.background().y;
            if (variant == kNoCarsNoGrass) {
                game.background().y = 5000.0f;  // far off the screen
            }
            const double start = processCpuMs();
            game.render();
            context.present();
            cpu[variant] += processCpuMs() - start;
            game.background().y = grassY;
        }
    }
    setUp(kAsIs);
    const double n = static_cast<double>(state.iterations());
    state.counters["as_is_cpu_ms"] = cpu[kAsIs] / n;
    state.counters["quad_cars_cpu_ms"] = cpu[kQuadCars] / n;
    state.counters["no_cars_cpu_ms"] = cpu[kNoCars] / n;
    state.counters["no_cars_no_grass_cpu_ms"] = cpu[kNoCarsNoGrass] / n;
}
BENCHMARK(frameLayers)->Name("Frame/layers")->Unit(benchmark::kMillisecond)->Iterations(30)
    ->Apply(addSpreadStatistics);

void gameUpdateBusy(benchmark::State& state) {
    BenchContext& context = BenchContext::instance();
    Game& game = context.game();
    BusyRun::start(game);
    int sinceFinish = 0;
    for (auto _ : state) {
        game.update(kFrameStep);
        // The text buffers refilled by update must not pile up in the driver unread.
        if (++sinceFinish == 1000) {
            state.PauseTiming();
            glFinish();
            sinceFinish = 0;
            state.ResumeTiming();
        }
    }
    if (!game.running() || game.gameOver() || game.recoveryTime() < 2.0f) {
        state.SkipWithError("the busy run did not stay in play");
    }
}
BENCHMARK(gameUpdateBusy)->Name("Game::update/busy")->Unit(benchmark::kMicrosecond)
    ->Apply(addSpreadStatistics);

void gameRestart(benchmark::State& state) {
    Game& game = BenchContext::instance().game();
    for (auto _ : state) {
        game.restart();
    }
    BusyRun::start(game);
}
BENCHMARK(gameRestart)->Name("Game::restart")->Unit(benchmark::kMicrosecond)
    ->Apply(addSpreadStatistics);

}  // namespace

// A frame with a ghost riding beside the run against the same frame without: the ghost's
// cost is its record player's tick and two faded sprites. The ghost is a still run of the
// same road, recorded here first; each iteration plays the road once with it and once
// without, 120 frames each (a start needs the key gap to have passed), timing the frames
// in full: update, render, swap and glFinish.
void frameWithGhost(benchmark::State& state) {
    BenchContext& context = BenchContext::instance();
    Game& game = context.game();
    constexpr std::uint32_t kRoad = 20261208;
    constexpr int kFrames = 120;
    auto startRun = [&game] {
        game.simulation().setNextSeed(kRoad);
        game.input().hold(GameKey::Space);
        game.runTicks(1);
        game.input().releaseAll();
    };
    game.stopRacing();
    game.choose(Mode::Normal, Difficulty::Hard);
    game.runTicks(Simulation::kTickRate * 2);
    startRun();
    for (int i = 0; i < 60 * Simulation::kTickRate && !game.gameOver(); ++i) {
        game.runTicks(1);
    }
    const RunRecord ghost = game.recorder().record();
    Span with, without;
    for (auto _ : state) {
        for (Span* span : {&with, &without}) {
            std::string fault;
            if (span == &with && !game.race(ghost, fault)) {
                state.SkipWithError(fault.c_str());
                return;
            }
            if (span == &without) {
                game.stopRacing();
            }
            startRun();
            for (int i = 0; i < kFrames; ++i) {
                span->add([&] {
                    game.update(kFrameStep);
                    game.render();
                    context.present();
                });
            }
            if (span == &with && !game.ghost().riding()) {
                state.SkipWithError("the ghost did not ride");
                return;
            }
        }
        state.SetIterationTime(with.wall / 1000.0);
    }
    const double n = static_cast<double>(state.iterations()) * kFrames;
    state.counters["ghost_frame_ms"] = with.wall / n;
    state.counters["ghost_frame_cpu_ms"] = with.cpu / n;
    state.counters["no_ghost_frame_ms"] = without.wall / n;
    state.counters["no_ghost_frame_cpu_ms"] = without.cpu / n;
}
BENCHMARK(frameWithGhost)->Name("Frame/ghost")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
