// The game's costs, each against what it could at best be: a frame of the busy game beside
// a frame of the reference renderer, the game's own share of its frame, restarts, start-up
// and the pieces that run inside them. Run through scripts/bench.sh, which prints the table.

#include "BenchContext.h"
#include "ReferenceFrame.h"

#include "game/Game.h"
#include "game/PatternFile.h"
#include "math/Camera.h"
#include "math/Collider.h"
#include "render/Collision.h"
#include "render/GlEntryPoints.h"
#include "render/Mesh.h"
#include "render/Road.h"
#include "render/ShaderProgram.h"
#include "render/Sprite.h"
#include "render/Text.h"
#include "render/Texture.h"
#include "support/BusyRun.h"
#include "support/TestFiles.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr float kFrameStep = 1.0f / 60.0f;

void addSpreadStatistics(benchmark::internal::Benchmark* bench) {
    bench->ComputeStatistics("min", [](const std::vector<double>& v) {
        return *std::min_element(v.begin(), v.end());
    });
    bench->ComputeStatistics("max", [](const std::vector<double>& v) {
        return *std::max_element(v.begin(), v.end());
    });
}

// ---- Frames -------------------------------------------------------------------------------

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
    Mesh* carMeshes[Game::kCarSlots];
    for (int k = 0; k < Game::kCarSlots; ++k) {
        carMeshes[k] = game.carSlot(k).body.mesh();
    }
    enum Variant { kAsIs, kQuadCars, kNoCars, kNoCarsNoGrass, kVariants };
    auto setUp = [&](int variant) {
        for (int k = 0; k < Game::kCarSlots; ++k) {
            Sprite& body = game.carSlot(k).body;
            const float x = body.x;
            const float y = body.y;
            body.place(x, y, -1, variant == kQuadCars ? &quad : carMeshes[k],
                       body.texture(), &game.worldCamera());
            body.setSize(2.4f, 4, 1);
            body.setPivot(0.5f, 0.5f);
            game.carSlot(k).active = variant == kAsIs || variant == kQuadCars;
        }
    };
    double cpu[kVariants] = {};
    for (auto _ : state) {
        for (int variant = 0; variant < kVariants; ++variant) {
            setUp(variant);
            game.update(kFrameStep);
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

// ---- Pieces of a frame ----------------------------------------------------------------------

struct CollisionScene {
    Collider collider;
    Sprite car;
    Sprite bar;

    CollisionScene() {
        collider.load("data/meshes/colliders/quadCollider.json");
        car.place(3.0f, 4.0f, -1.0f, nullptr, nullptr, nullptr);
        car.setSize(2.4f, 4.0f, 1.0f);
        car.setPivot(0.5f, 0.5f);
        car.attachCollider(&collider);
        bar.place(0.0f, 0.0f, -1.0f, nullptr, nullptr, nullptr);
        bar.setSize(0.5f, 13.0f, 1.0f);
        bar.setPivot(0.5f, 0.5f);
    }
};

// A car beside the bar's reach: every circle and edge is tested, the common case.
void segmentMisses(benchmark::State& state) {
    CollisionScene scene;
    scene.car.x = 10.5f;
    scene.bar.setRotation(33.0f);
    const float angle = static_cast<float>(33.0 * kDegreesToRadians);
    const Vec2 bottom = localToWorld(scene.bar, 0.5f, 0.0f, std::sin(angle), std::cos(angle));
    const Vec2 top = localToWorld(scene.bar, 0.5f, 1.0f, std::sin(angle), std::cos(angle));
    for (auto _ : state) {
        benchmark::DoNotOptimize(segmentHitsCollider(scene.car, top.x, top.y, bottom.x, bottom.y));
    }
}
BENCHMARK(segmentMisses)->Name("segmentHitsCollider/miss")->Apply(addSpreadStatistics);

// The bar crossing the car: stops at the first edge crossed.
void segmentHits(benchmark::State& state) {
    CollisionScene scene;
    scene.car.x = 2.0f;
    scene.car.y = 2.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(segmentHitsCollider(scene.car, 0.0f, 6.5f, 0.0f, -6.5f) ||
                                 segmentHitsCollider(scene.car, 2.0f, 6.5f, 2.0f, -6.5f));
    }
}
BENCHMARK(segmentHits)->Name("segmentHitsCollider/hit")->Apply(addSpreadStatistics);

// The score text as the game sets it every frame: same length, new digits.
void textSetScore(benchmark::State& state) {
    BenchContext::instance();
    Camera camera;
    Text text;
    text.init("ca marche!", {.x = 310, .y = 35, .z = -35, .size = 90, .red = 0, .blue = 0, .camera = &camera});
    text.setString("1234");
    const char* scores[] = {"1234", "1235"};
    int i = 0;
    int sinceFinish = 0;
    for (auto _ : state) {
        text.setString(scores[i]);
        i ^= 1;
        if (++sinceFinish == 1000) {
            state.PauseTiming();
            glFinish();
            sinceFinish = 0;
            state.ResumeTiming();
        }
    }
}
BENCHMARK(textSetScore)->Name("Text::setString/score")->Apply(addSpreadStatistics);

// The strip built and uploaded by a road's first draw. The camera's matrices are all zero,
// so the driver clips every triangle and only the building is left to measure.
void roadStripBuild(benchmark::State& state) {
    BenchContext::instance();
    Camera camera;
    Texture texture;
    for (auto _ : state) {
        Road road;
        road.draw(camera, texture);
        benchmark::DoNotOptimize(Road::stripMesh().indexCount());
        state.PauseTiming();
        glFinish();
        state.ResumeTiming();
    }
}
BENCHMARK(roadStripBuild)->Name("Road/strip_build")->Unit(benchmark::kMicrosecond)
    ->Apply(addSpreadStatistics);

// ---- The traffic file -------------------------------------------------------------------------

std::string generatedPatternFile() {
    static std::string path;
    if (!path.empty()) {
        return path;
    }
    // 5,000 scripted cars and 1,000 patterns of five: 10,000 car objects in all.
    std::ostringstream out;
    out << "{\n  \"cars\": [\n";
    for (int i = 0; i < 5000; ++i) {
        out << "    {\"x\": " << (i % 23) - 11 << ".5, \"speed\": " << 6 + i % 5
            << ", \"time\": " << 2 + i * 0.75 << "}" << (i + 1 < 5000 ? ",\n" : "\n");
    }
    out << "  ],\n  \"patterns\": [\n";
    for (int p = 0; p < 1000; ++p) {
        out << "    [";
        for (int c = 0; c < 5; ++c) {
            out << "{\"x\": " << (p + c * 7) % 21 - 10 << ", \"speed\": " << 7 + c
                << ".25, \"time\": " << c * 1.5 << "}" << (c < 4 ? ", " : "");
        }
        out << "]" << (p + 1 < 1000 ? ",\n" : "\n");
    }
    out << "  ]\n}\n";
    path = TestFiles::write("cars10000.json", out.str());
    return path;
}

void loadPatterns(benchmark::State& state, const std::string& path, std::size_t expectedCars) {
    std::vector<CarSpawn> queue;
    std::vector<CarPattern> patterns;
    for (auto _ : state) {
        PatternFile::load(path, 0.0f, queue, patterns);
        benchmark::DoNotOptimize(queue.data());
    }
    if (expectedCars != 0 && queue.size() != expectedCars) {
        state.SkipWithError("the generated file did not load whole");
    }
}
BENCHMARK_CAPTURE(loadPatterns, shipped, std::string("data/cars.json"), std::size_t{0})
    ->Name("PatternFile::load/shipped")->Unit(benchmark::kMicrosecond)->Apply(addSpreadStatistics);

void loadGeneratedPatterns(benchmark::State& state) {
    loadPatterns(state, generatedPatternFile(), 5000);
}
BENCHMARK(loadGeneratedPatterns)->Name("PatternFile::load/10000_entries")
    ->Unit(benchmark::kMillisecond)->Apply(addSpreadStatistics);

// ---- Start-up ---------------------------------------------------------------------------------

void initWhole(benchmark::State& state) {
    BenchContext& context = BenchContext::instance();
    for (auto _ : state) {
        state.PauseTiming();
        auto game = std::make_unique<Game>();
        game->resize(1280, 720);
        state.ResumeTiming();
        benchmark::DoNotOptimize(game->init());
        state.PauseTiming();
        game->releaseTextures();
        game.reset();
        glFinish();
        state.ResumeTiming();
    }
    // The shared game's program was replaced while these ran; its next run settles it back.
    BusyRun::start(context.game());
}
BENCHMARK(initWhole)->Name("Game::init/whole")->Unit(benchmark::kMillisecond)->Iterations(20)
    ->Apply(addSpreadStatistics);

// The same files in the same order as init loads them.
void initTextures(benchmark::State& state) {
    BenchContext::instance();
    const char* paths[] = {"data/font.bmp.fnt", "data/road6.png", "data/paroi.bmp",
                           "data/truck.bmp", "data/grass.bmp", "data/whitepixel.bmp",
                           "data/heart.png", "data/title.png"};
    for (auto _ : state) {
        Texture textures[8];
        for (int i = 0; i < 8; ++i) {
            textures[i].load(paths[i]);
        }
        for (Texture& texture : textures) {
            texture.upload();
            texture.releasePixels();
        }
        state.PauseTiming();
        for (Texture& texture : textures) {
            texture.deleteTexture();
        }
        glFinish();
        state.ResumeTiming();
    }
}
BENCHMARK(initTextures)->Name("Game::init/textures")->Unit(benchmark::kMillisecond)
    ->Iterations(20)->Apply(addSpreadStatistics);

void initMeshes(benchmark::State& state) {
    BenchContext::instance();
    const char* paths[] = {"data/quad.json", "data/meshes/display/carBlue.json",
                           "data/meshes/display/carYellow.json", "data/meshes/display/carRed.json",
                           "data/meshes/display/carGreen.json", "data/quadBackground.json"};
    for (auto _ : state) {
        Mesh meshes[6];
        for (int i = 0; i < 6; ++i) {
            meshes[i].load(paths[i]);
            meshes[i].upload();
        }
        state.PauseTiming();
        for (Mesh& mesh : meshes) {
            mesh.releaseBuffers();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(initMeshes)->Name("Game::init/meshes")->Unit(benchmark::kMillisecond)->Iterations(20)
    ->Apply(addSpreadStatistics);

// Mesa keeps compiled shaders in its disk cache: after the first run this is a cache hit,
// as it is for a player's second start.
void initShaders(benchmark::State& state) {
    BenchContext& context = BenchContext::instance();
    for (auto _ : state) {
        auto basic = std::make_unique<ShaderProgram>();
        auto gameOver = std::make_unique<ShaderProgram>();
        basic->load("data/shaders/basic-fixed.vert", "data/shaders/basic-fixed.frag");
        basic->compileAndLink();
        gameOver->load("data/shaders/gameover-fixed.vert", "data/shaders/gameover-fixed.frag");
        gameOver->compileAndLink();
        gameOver->use();
        state.PauseTiming();
        basic.reset();
        gameOver.reset();
        glFinish();
        state.ResumeTiming();
    }
    BusyRun::start(context.game());
}
BENCHMARK(initShaders)->Name("Game::init/shaders")->Unit(benchmark::kMillisecond)->Iterations(20)
    ->Apply(addSpreadStatistics);

// The real executable from exec to its first frame on screen. A preloaded probe returns
// from its first buffer swap only after glFinish and ends the process there, so the wait
// for the child is the time to the first presented frame (plus a process exit). The probe
// also notes when the context was made and when the first frame began to draw.
void processToFirstFrame(benchmark::State& state) {
    std::vector<std::string> inherited;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string variable = *entry;
        if (variable.rfind("LD_PRELOAD=", 0) != 0 && variable.rfind("SDL_VIDEODRIVER=", 0) != 0 &&
            variable.rfind("TAMQ_PROBE_", 0) != 0) {
            inherited.push_back(variable);
        }
    }
    const std::string report = generatedPatternFile() + ".probe";
    char program[] = TAMQ_GAME_EXECUTABLE;
    char* argv[] = {program, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The game's loaders talk on both streams; the figure is the wait, not the words.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    double toContext = 0.0, toFirstClear = 0.0, toPresented = 0.0;
    for (auto _ : state) {
        std::vector<std::string> variables = inherited;
        variables.push_back("LD_PRELOAD=" TAMQ_FIRST_FRAME_PROBE);
        variables.push_back("SDL_VIDEODRIVER=offscreen");
        variables.push_back("TAMQ_PROBE_OUT=" + report);
        timespec spawn{};
        clock_gettime(CLOCK_MONOTONIC, &spawn);
        variables.push_back("TAMQ_PROBE_SPAWN_NS=" +
                            std::to_string(static_cast<long long>(spawn.tv_sec) * 1000000000LL +
                                           spawn.tv_nsec));
        std::vector<char*> envp;
        for (std::string& variable : variables) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);

        const double start = nowMs();
        pid_t child = 0;
        if (posix_spawn(&child, program, &actions, nullptr, argv, envp.data()) != 0) {
            state.SkipWithError("cannot start the game");
            break;
        }
        int status = 0;
        waitpid(child, &status, 0);
        const double end = nowMs();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the game did not reach its first frame");
            break;
        }
        state.SetIterationTime((end - start) / 1000.0);
        double context = 0.0, firstClear = 0.0, presented = 0.0;
        std::ifstream moments(report);
        if (moments >> context >> firstClear >> presented) {
            toContext += context;
            toFirstClear += firstClear;
            toPresented += presented;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    const double n = static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters["to_context_ms"] = toContext / n;
    state.counters["init_and_update_ms"] = (toFirstClear - toContext) / n;
    state.counters["first_render_present_ms"] = (toPresented - toFirstClear) / n;
    state.counters["to_presented_ms"] = toPresented / n;
}
BENCHMARK(processToFirstFrame)->Name("tamq/start_to_first_frame")->UseManualTime()
    ->Unit(benchmark::kMillisecond)->Iterations(10)->Apply(addSpreadStatistics);

}  // namespace

BENCHMARK_MAIN();
