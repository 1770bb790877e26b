// Start-up: the game's init whole and in its parts (textures, meshes, shaders), and the
// real executable from exec to its first frame on screen.

#include "BenchContext.h"

#include "game/Game.h"
#include "render/GlEntryPoints.h"
#include "render/Mesh.h"
#include "render/ShaderProgram.h"
#include "render/Texture.h"
#include "support/BusyRun.h"
#include "support/TestFiles.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

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
    const std::string report = TestFiles::folder() + "/first_frame.probe";
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
