#include "BenchContext.h"

#include "game/Game.h"
#include "render/GlEntryPoints.h"
#include "support/HeadlessGl.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

BenchContext& BenchContext::instance() {
    static BenchContext context;
    return context;
}

BenchContext::BenchContext() {
    HeadlessGl& context = HeadlessGl::instance();
    if (!context.ok()) {
        std::fprintf(stderr, "bench: no OpenGL context: %s\n", context.error());
        std::exit(1);
    }
    std::fprintf(stderr, "bench: renderer %s, %s\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                 reinterpret_cast<const char*>(glGetString(GL_VERSION)));
}

void BenchContext::present() const { HeadlessGl::instance().present(); }

Game& BenchContext::game() {
    if (game_ == nullptr) {
        // Held for the whole process: its drawables point into it.
        game_ = new Game();
        game_->resize(1280, 720);
        if (!game_->init()) {
            std::fprintf(stderr, "bench: the game did not initialise\n");
            std::exit(1);
        }
    }
    return *game_;
}

double nowMs() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void addSpreadStatistics(benchmark::internal::Benchmark* bench) {
    bench->ComputeStatistics("min", [](const std::vector<double>& v) {
        return *std::min_element(v.begin(), v.end());
    });
    bench->ComputeStatistics("max", [](const std::vector<double>& v) {
        return *std::max_element(v.begin(), v.end());
    });
}
